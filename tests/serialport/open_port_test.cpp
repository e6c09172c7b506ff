#include <gtest/gtest.h>

#include "console/port_control.h"
#include "fakes/fake_serial_port.h"

namespace dalmora {
namespace {

using testing::FakeSerialPort;

SerialSettings settings(std::string port, std::string baud, std::string parity, std::string data,
                        std::string stop) {
    return SerialSettings{.Port_Name = std::move(port),
                          .Baud_Rate = std::move(baud),
                          .Stop_Bits = std::move(stop),
                          .Data_Bits = std::move(data),
                          .Parity_Name = std::move(parity)};
}

TEST(OpenPort, closeLeavesThePortAsItIsOpenOrClosed) {
    for (const bool wasOpen : {true, false}) {
        FakeSerialPort port;
        port.setOpen(wasOpen);
        Open_Port(port, settings("CLOSE", "9600", "None", "8", "1"));
        EXPECT_EQ(port.isOpen(), wasOpen);
        EXPECT_EQ(port.closeCount, 0);
        EXPECT_TRUE(port.opened.empty());
    }
}

struct OpenCase {
    const char* name;
    SerialSettings serial;
    int number;
    const char* settings;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const OpenCase& c, std::ostream* out) { *out << c.name; }

class OpenPortRows : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenPortRows, opensTheNumberedPortWithTheSettingsText) {
    const OpenCase& c = GetParam();
    FakeSerialPort port;
    Open_Port(port, c.serial);
    ASSERT_EQ(port.opened.size(), 1U);
    EXPECT_EQ(port.opened[0].number, c.number);
    EXPECT_EQ(port.opened[0].settings, c.settings);
}

INSTANTIATE_TEST_SUITE_P(
    Port, OpenPortRows,
    ::testing::Values(
        OpenCase{"com3EvenSevenOne", settings("COM3", "9600", "Even", "7", "1"), 3, "9600,E,7,1"},
        OpenCase{"blanksAroundTheName", settings(" COM12 ", "19200", "None", "8", "2"), 12, "19200,N,8,2"},
        OpenCase{"parityWordIsTrimmed", settings("COM1", "2400", "  Odd", "8", "1"), 1, "2400,O,8,1"},
        OpenCase{"highestComboEntry", settings("COM32", "57600", "Space", "8", "1"), 32, "57600,S,8,1"},
        // Only the exact word closes the line; anything else is a port name without a number.
        OpenCase{"lowerCaseCloseIsNoPortNumber", settings("close", "9600", "Mark", "8", "1"), 0, "9600,M,8,1"},
        OpenCase{"tooShortForANumber", settings("CO", "4800", "None", "8", "1"), 0, "4800,N,8,1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenPort, reopensAnOpenPortWithTheNewSettings) {
    FakeSerialPort port;
    port.setOpen(true);
    Open_Port(port, settings("COM2", "4800", "None", "8", "2"));
    EXPECT_EQ(port.closeCount, 1);
    ASSERT_EQ(port.opened.size(), 1U);
    EXPECT_TRUE(port.isOpen());
}

TEST(OpenPort, aPortThatDoesNotOpenStaysClosedWithoutAReport) {
    for (const bool wasOpen : {true, false}) {
        FakeSerialPort port;
        port.setOpen(wasOpen);
        port.openError = error_number::kInvalidPortNumber;
        EXPECT_NO_THROW(Open_Port(port, settings("COM9", "9600", "None", "8", "1")));
        EXPECT_FALSE(port.isOpen());
    }
}

TEST(OpenPort, aFailingCloseDoesNotKeepThePortFromOpening) {
    FakeSerialPort port;
    port.setOpen(true);
    port.closeError = error_number::kPortNotOpenDevice;
    EXPECT_NO_THROW(Open_Port(port, settings("COM4", "19200", "None", "8", "1")));
    ASSERT_EQ(port.opened.size(), 1U);
    EXPECT_EQ(port.opened[0].number, 4);
}

class RecordingTimer : public IntervalTimer {
public:
    void setInterval(int milliseconds) override { interval = milliseconds; }
    int interval = 100;  // the engine timer's design value
};

struct IntervalCase {
    const char* baud;
    TimingRow row;
    int interval;
};

TEST(SetPollInterval, picksTheRowsValueForTheBaudAndKeepsItForOtherRates) {
    const IntervalCase cases[] = {
        {"2400", kProbeRow, 110},    {"4800", kProbeRow, 60},     {"9600", kProbeRow, 40},
        {"19200", kProbeRow, 30},    {"2400", kPollRow, 600},     {"9600", kPollRow, 200},
        {"19200", kPollRow, 100},    {"2400", kReadAllRow, 3200}, {"4800", kReadAllRow, 1600},
        {"19200", kReadAllRow, 400}, {"2400", kWriteRow, 160},    {"9600", kWriteRow, 120},
        // Rates without a row, and texts that are not exactly a rate, keep the interval.
        {"38400", kPollRow, 100},    {"57600", kReadAllRow, 100}, {" 9600", kPollRow, 100},
        {"", kWriteRow, 100},
    };
    for (const IntervalCase& c : cases) {
        RecordingTimer timer;
        Set_Poll_Interval(timer, c.baud, c.row);
        EXPECT_EQ(timer.interval, c.interval) << "baud \"" << c.baud << "\"";
    }
}

}  // namespace
}  // namespace dalmora
