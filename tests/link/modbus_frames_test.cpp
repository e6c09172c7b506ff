#include <gtest/gtest.h>

#include "fakes/fake_serial_port.h"
#include "link/crc.h"
#include "link/modbus.h"

namespace dalmora {
namespace {

using testing::FakeSerialPort;
using testing::hexBytes;

// Appends the CRC, low byte first, as a meter does.
Bytes withCrc(Bytes bytes) {
    const std::uint16_t crc = crc16(bytes);
    bytes.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    return bytes;
}

struct FrameCase {
    const char* name;
    bool write;
    std::uint8_t station;
    std::int16_t reg;
    std::int32_t word;
    const char* frame;
};

class RequestFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(RequestFrames, matchTheWireByteForByte) {
    const FrameCase& c = GetParam();
    FakeSerialPort port;
    port.setOpen(true);
    LinkBuffers buffers;
    if (c.write) {
        Send_Write_Request(port, buffers, c.station, c.reg, c.word);
    } else {
        Send_Read_Request(port, buffers, c.station, c.reg, c.word);
    }
    ASSERT_EQ(port.written.size(), 1U);
    EXPECT_EQ(port.written[0], hexBytes(c.frame));
}

INSTANTIATE_TEST_SUITE_P(
    Link, RequestFrames,
    ::testing::Values(FrameCase{"readParameter0", false, 1, 0, 1, "01 03 00 00 00 01 84 0A"},
                      FrameCase{"readLiveBlock", false, 1, 4096, 22, "01 04 10 00 00 16 75 04"},
                      FrameCase{"readModelCode", false, 1, 7936, 1, "01 04 1F 00 00 01 36 1E"},
                      FrameCase{"writeRegister1", true, 1, 1, 100, "01 06 00 01 00 64 D9 E1"},
                      FrameCase{"register4095IsAParameter", false, 1, 4095, 1, "01 03 0F FF 00 01 B7 2E"},
                      FrameCase{"writeLargestValue", true, 255, 0, 65535, "FF 06 00 00 FF FF 9D A4"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Requests, wordThatDoesNotFitTwoBytesSendsNothing) {
    for (std::int32_t word : {-1, 65536, 100000}) {
        FakeSerialPort port;
        port.setOpen(true);
        LinkBuffers buffers;
        Send_Read_Request(port, buffers, 1, 0, word);
        Send_Write_Request(port, buffers, 1, 0, word);
        EXPECT_TRUE(port.written.empty()) << word;
    }
}

TEST(Requests, dropLeftoversOfALateAnswerBeforeSending) {
    FakeSerialPort port;
    port.setOpen(true);
    port.queue(hexBytes("01 04 02 00 01"));
    LinkBuffers buffers;
    buffers.Receive_Buffer = hexBytes("AA BB");
    Send_Read_Request(port, buffers, 1, 4096, 22);
    EXPECT_TRUE(buffers.Receive_Buffer.empty());
    EXPECT_TRUE(port.incoming.empty());
    EXPECT_EQ(Check_Response(port, buffers), ResponseResult::NoResponse);
}

TEST(Requests, closedPortSendsNothingAndRaisesNothing) {
    FakeSerialPort port;
    LinkBuffers buffers;
    EXPECT_NO_THROW(Send_Read_Request(port, buffers, 1, 0, 1));
    EXPECT_NO_THROW(Send_Write_Request(port, buffers, 1, 0, 1));
    EXPECT_TRUE(port.written.empty());
}

struct ResponseCase {
    const char* name;
    Bytes answer;
    ResponseResult expected;
};

class Responses : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(Responses, areJudgedByLengthCrcAndExceptionCode) {
    FakeSerialPort port;
    port.setOpen(true);
    port.queue(GetParam().answer);
    LinkBuffers buffers;
    EXPECT_EQ(Check_Response(port, buffers), GetParam().expected);
    EXPECT_EQ(buffers.Receive_Buffer, GetParam().answer);
}

Bytes corrupted(Bytes bytes) {
    bytes.back() ^= 0x01;
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Link, Responses,
    ::testing::Values(
        ResponseCase{"nothing", {}, ResponseResult::NoResponse},
        ResponseCase{"threeBytes", hexBytes("01 03 02"), ResponseResult::Other},
        ResponseCase{"sixBytesWithoutCrcTest", hexBytes("01 03 02 00 01 00"), ResponseResult::Other},
        ResponseCase{"oneRegister", withCrc(hexBytes("01 03 02 00 64")), ResponseResult::Accepted},
        ResponseCase{"anyFunctionOrStation", withCrc(hexBytes("09 10 02 12 34")), ResponseResult::Accepted},
        ResponseCase{"longBlock", withCrc(hexBytes("01 04 2C" + std::string(88, '0'))), ResponseResult::Accepted},
        ResponseCase{"badCrcLong", corrupted(withCrc(hexBytes("01 03 02 00 64"))), ResponseResult::CrcError},
        ResponseCase{"badCrcFive", corrupted(withCrc(hexBytes("01 83 02"))), ResponseResult::CrcError},
        ResponseCase{"exception1", withCrc(hexBytes("01 83 01")), ResponseResult::IllegalFunction},
        ResponseCase{"exception2", withCrc(hexBytes("01 83 02")), ResponseResult::IllegalAddress},
        ResponseCase{"exception3", withCrc(hexBytes("01 84 03")), ResponseResult::IllegalValue},
        ResponseCase{"exception4", withCrc(hexBytes("01 83 04")), ResponseResult::Other},
        ResponseCase{"fiveBytesNoException", withCrc(hexBytes("01 03 02")), ResponseResult::Other},
        ResponseCase{"exceptionOfWrite", withCrc(hexBytes("01 86 02")), ResponseResult::IllegalAddress}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Responses, portFailureWhileReadingReachesTheCaller) {
    FakeSerialPort port;
    LinkBuffers buffers;
    try {
        (void)Check_Response(port, buffers);
        FAIL() << "expected a port error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), error_number::kPortNotOpen);
    }
}

TEST(Results, haveTheEngineWording) {
    EXPECT_EQ(resultWord(ResponseResult::Accepted), "CRC Ok !");
    EXPECT_EQ(resultWord(ResponseResult::CrcError), "CRC Error !");
    EXPECT_EQ(resultWord(ResponseResult::IllegalFunction), "Function Error !");
    EXPECT_EQ(resultWord(ResponseResult::IllegalAddress), "Address Error !");
    EXPECT_EQ(resultWord(ResponseResult::IllegalValue), "Data Error !");
    EXPECT_EQ(resultWord(ResponseResult::Other), "??? Error !");
    EXPECT_EQ(resultWord(ResponseResult::NoResponse), "No Response !");
}

TEST(PadHexDigit, padsOneUpperCaseDigitAndTrims) {
    const std::pair<std::string, std::string> cases[] = {
        {" 7 ", "07"}, {"1F", "1F"}, {"a", "a"}, {"A", "0A"}, {"", ""}, {"  ", ""}, {"F", "0F"}, {"G", "G"}};
    for (auto [in, out] : cases) {
        std::string text = in;
        Pad_Hex_Digit(text);
        EXPECT_EQ(text, out) << "'" << in << "'";
    }
}

TEST(Crc, checkValueAndByteOrder) {
    const Bytes text{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc16(text), 0x4B37);
}

}  // namespace
}  // namespace dalmora
