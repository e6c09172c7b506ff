// The link's frames against an independent Modbus RTU implementation: libmodbus serves as the
// meter on the far end of a pair of pseudo-terminals, and the requests go out and the answers
// come back through the console's own serial port.

#include <QFile>
#include <QTemporaryDir>

#include <modbus/modbus.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "link/modbus.h"
#include "link/qt/qt_serial_port.h"
#include "pty.h"

namespace dalmora {
namespace {

using testing::PseudoTerminal;

const auto* const kApplication = ::testing::AddGlobalTestEnvironment(new testing::QtApplicationEnvironment);

constexpr int kStation = 1;
constexpr int kHoldingCount = 140;  // the parameters, from register 0
constexpr int kFirstInput = 4096;
constexpr int kModelCodeRegister = 7936;
constexpr int kInputCount = kModelCodeRegister - kFirstInput + 1;

// Copies bytes between two pseudo-terminal masters: a null-modem cable between the console's
// device and the meter's.
class Cable {
public:
    Cable(int a, int b) : a_(a), b_(b), thread_([this] { run(); }) {}
    ~Cable() {
        stop_ = true;
        thread_.join();
    }
    Cable(const Cable&) = delete;
    Cable& operator=(const Cable&) = delete;

private:
    void run() {
        while (!stop_) {
            pollfd ends[2] = {{a_, POLLIN, 0}, {b_, POLLIN, 0}};
            if (::poll(ends, 2, 20) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if ((ends[i].revents & POLLIN) == 0) continue;
                std::uint8_t chunk[512];
                const ssize_t n = ::read(ends[i].fd, chunk, sizeof chunk);
                if (n > 0) pass(ends[1 - i].fd, chunk, static_cast<std::size_t>(n));
            }
        }
    }
    void pass(int to, const std::uint8_t* bytes, std::size_t size) {
        std::size_t done = 0;
        while (done < size && !stop_) {
            const ssize_t n = ::write(to, bytes + done, size - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            else std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    int a_;
    int b_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A libmodbus RTU server: holding registers 0 to 139, input registers 4096 to 7936.
class LibmodbusMeter {
public:
    explicit LibmodbusMeter(const std::string& device) {
        context_ = modbus_new_rtu(device.c_str(), 19200, 'N', 8, 1);
        map_ = modbus_mapping_new_start_address(0, 0, 0, 0, 0, kHoldingCount, kFirstInput, kInputCount);
        if (context_ == nullptr || map_ == nullptr) throw std::runtime_error("libmodbus set-up");
        modbus_set_slave(context_, kStation);
        modbus_set_indication_timeout(context_, 0, 100000);  // lets the loop see the stop flag
        if (modbus_connect(context_) != 0) {
            throw std::runtime_error(std::string("libmodbus connect: ") + modbus_strerror(errno));
        }
        for (int r = 0; r < kHoldingCount; ++r) map_->tab_registers[r] = static_cast<std::uint16_t>(0x0100 + r);
        for (int r = 0; r < kInputCount; ++r) map_->tab_input_registers[r] = static_cast<std::uint16_t>(0x8000 + r);
        map_->tab_input_registers[kModelCodeRegister - kFirstInput] = 0x0033;
        thread_ = std::thread([this] { serve(); });
    }
    ~LibmodbusMeter() {
        stop_ = true;
        thread_.join();
        modbus_close(context_);
        modbus_mapping_free(map_);
        modbus_free(context_);
    }
    LibmodbusMeter(const LibmodbusMeter&) = delete;
    LibmodbusMeter& operator=(const LibmodbusMeter&) = delete;

    std::uint16_t holding(int reg) {
        const std::lock_guard lock(mutex_);
        return map_->tab_registers[reg];
    }
    static std::uint16_t inputValue(int reg) {
        return reg == kModelCodeRegister ? 0x0033 : static_cast<std::uint16_t>(0x8000 + reg - kFirstInput);
    }

private:
    void serve() {
        std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop_) {
            const int length = modbus_receive(context_, query);
            if (length > 0) {
                const std::lock_guard lock(mutex_);
                modbus_reply(context_, query, length, map_);
            }
        }
    }

    modbus_t* context_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class LibmodbusInterop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QFile::link(QString::fromStdString(consoleSide.slavePath()), folder.filePath("COM3")));
        port.open(3, "19200,N,8,1");
        ASSERT_TRUE(port.isOpen());
    }

    // Waits, as the engine's timer does, until the meter's answer is complete, then judges it
    // with the one read the engine makes.
    ResponseResult answerTo(std::size_t expectedLength) {
        EXPECT_TRUE(consoleSide.awaitAtSlave(static_cast<int>(expectedLength))) << "no answer in time";
        return Check_Response(port, buffers);
    }

    PseudoTerminal consoleSide;
    PseudoTerminal meterSide;
    Cable cable{consoleSide.master(), meterSide.master()};
    LibmodbusMeter meter{meterSide.slavePath()};
    QTemporaryDir folder;
    QtSerialPort port{folder.path()};
    LinkBuffers buffers;
};

struct ReadCase {
    const char* name;
    std::int16_t reg;
    std::int32_t count;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name; }

class LibmodbusReads : public LibmodbusInterop, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(LibmodbusReads, areAcceptedWithTheServedRegisters) {
    const ReadCase& c = GetParam();
    Send_Read_Request(port, buffers, kStation, c.reg, c.count);
    const auto count = static_cast<std::size_t>(c.count);
    ASSERT_EQ(answerTo(5 + 2 * count), ResponseResult::Accepted);
    ASSERT_EQ(buffers.Receive_Buffer.size(), 5 + 2 * count);
    EXPECT_EQ(byteAt(buffers.Receive_Buffer, 1), c.reg < kFirstInput ? 0x03 : 0x04);
    for (std::size_t k = 0; k < count; ++k) {
        const int reg = c.reg + static_cast<int>(k);
        const std::uint16_t expected =
            reg < kFirstInput ? static_cast<std::uint16_t>(0x0100 + reg) : LibmodbusMeter::inputValue(reg);
        EXPECT_EQ(registerAt(buffers.Receive_Buffer, k), expected) << "register " << reg;
    }
}

INSTANTIATE_TEST_SUITE_P(Interop, LibmodbusReads,
                         ::testing::Values(ReadCase{"oneParameter", 0, 1},
                                           ReadCase{"parameterBlock", 0, 100},
                                           ReadCase{"liveValueBlock", 4096, 22},
                                           ReadCase{"modelCode", 7936, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LibmodbusInterop, aWriteChangesTheServersRegisterAndReadsBack) {
    const std::pair<std::int16_t, std::int32_t> writes[] = {{1, 100}, {1, 65536 - 5}, {139, 0}};
    for (const auto& [reg, value] : writes) {
        SCOPED_TRACE(reg);
        Send_Write_Request(port, buffers, kStation, reg, value);
        ASSERT_EQ(answerTo(8), ResponseResult::Accepted);
        // The meter echoes a write single register request.
        EXPECT_EQ(buffers.Receive_Buffer, Bytes(buffers.Send_Buffer.begin(), buffers.Send_Buffer.end()));
        EXPECT_EQ(meter.holding(reg), value);

        Send_Read_Request(port, buffers, kStation, reg, 1);
        ASSERT_EQ(answerTo(7), ResponseResult::Accepted);
        EXPECT_EQ(registerAt(buffers.Receive_Buffer, 0), value);
    }
}

TEST_F(LibmodbusInterop, exceptionAnswersAreJudgedByTheirCode) {
    Send_Read_Request(port, buffers, kStation, 200, 1);  // no such parameter
    EXPECT_EQ(answerTo(5), ResponseResult::IllegalAddress);
    EXPECT_EQ(buffers.Receive_Buffer.size(), 5U);

    Send_Write_Request(port, buffers, kStation, 500, 1);
    EXPECT_EQ(answerTo(5), ResponseResult::IllegalAddress);

    Send_Read_Request(port, buffers, kStation, 0, 126);  // more than one answer can carry
    EXPECT_EQ(answerTo(5), ResponseResult::IllegalValue);
}

TEST_F(LibmodbusInterop, anotherStationsRequestGoesUnanswered) {
    Send_Read_Request(port, buffers, 2, 0, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Check_Response(port, buffers), ResponseResult::NoResponse);
    EXPECT_TRUE(buffers.Receive_Buffer.empty());
}

// An answer that came after its tick must not be judged as the answer to the next request.
TEST_F(LibmodbusInterop, aLateAnswerIsDroppedBeforeTheNextRequest) {
    Send_Read_Request(port, buffers, kStation, 0, 10);
    ASSERT_TRUE(consoleSide.awaitAtSlave(25));
    Send_Read_Request(port, buffers, kStation, 7936, 1);
    ASSERT_EQ(answerTo(7), ResponseResult::Accepted);
    ASSERT_EQ(buffers.Receive_Buffer.size(), 7U);
    EXPECT_EQ(registerAt(buffers.Receive_Buffer, 0), 0x0033);
}

}  // namespace
}  // namespace dalmora
