#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "fakes/fake_serial_port.h"
#include "link/qt/qt_serial_port.h"
#include "pty.h"

namespace dalmora {
namespace {

using testing::hexBytes;
using testing::kPatience;
using testing::PseudoTerminal;

const auto* const kApplication = ::testing::AddGlobalTestEnvironment(new testing::QtApplicationEnvironment);

// The number the engine sees when the call throws, 0 when it does not.
template <typename Call>
int errorNumberOf(Call call) {
    try {
        call();
    } catch (const Error& error) {
        return error.number();
    }
    return 0;
}

// A program folder whose COM7 leads to a fresh pseudo-terminal, and the port of that folder.
class PseudoTerminalPort : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QFile::link(QString::fromStdString(pty.slavePath()), folder.filePath("COM7")));
    }

    // Everything the port hands out until `count` bytes came, as the engine's ticks would.
    Bytes readFromPort(std::size_t count) {
        Bytes bytes;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            const Bytes chunk = port.readAll();
            bytes.insert(bytes.end(), chunk.begin(), chunk.end());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return bytes;
    }

    PseudoTerminal pty;
    QTemporaryDir folder;
    QtSerialPort port{folder.path()};
};

TEST_F(PseudoTerminalPort, carriesEveryByteValueBothWaysWithoutTheEventLoop) {
    port.open(7, "19200,N,8,2");
    ASSERT_TRUE(port.isOpen());

    const Bytes request = hexBytes("01 03 00 00 00 01 84 0A");
    port.write(request);
    EXPECT_EQ(pty.readMaster(request.size()), request);

    // Line ends, XON/XOFF, interrupt and end-of-file characters must pass as plain data.
    Bytes everyValue;
    for (int value = 0; value < 256; ++value) everyValue.push_back(static_cast<std::uint8_t>(value));
    pty.writeMaster(everyValue);
    EXPECT_EQ(readFromPort(everyValue.size()), everyValue);
    EXPECT_TRUE(port.readAll().empty());  // what was read is forgotten
}

TEST_F(PseudoTerminalPort, readAllTakesWhatTheEventLoopAlreadyCollectedInOrder) {
    port.open(7, "9600,N,8,1");
    pty.writeMaster(hexBytes("01 03 02"));
    ASSERT_TRUE(pty.awaitAtSlave(3));
    QCoreApplication::processEvents();  // the port's notifier moves these into Qt's buffer
    pty.writeMaster(hexBytes("00 2A 39 9B"));
    ASSERT_TRUE(pty.awaitAtSlave(4));
    EXPECT_EQ(port.readAll(), hexBytes("01 03 02 00 2A 39 9B"));
}

struct LineCase {
    const char* settings;
    speed_t speed;
    bool twoStopBits;
    tcflag_t parityKind;  // PARODD and CMSPAR as Linux leaves them on a pseudo-terminal
};

// Linux keeps a pseudo-terminal at 8 data bits without parity enable whatever is asked; the
// speed, the stop bits and the kind of parity stay visible from the master side.
TEST_F(PseudoTerminalPort, appliesTheLineSettingsToTheDevice) {
    const LineCase cases[] = {
        {"2400,N,8,1", B2400, false, 0},
        {"9600,N,8,1.5", B9600, true, 0},  // one and a half runs as two here
        {"4800,E,7,1", B4800, false, 0},
        {"9600,O,8,2", B9600, true, PARODD},
        {"19200,M,8,1", B19200, false, PARODD | CMSPAR},
        {"38400,S,7,2", B38400, true, CMSPAR},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.settings);
        ASSERT_EQ(errorNumberOf([&] { port.open(7, c.settings); }), 0);
        EXPECT_TRUE(port.isOpen());
        termios line{};
        ASSERT_EQ(::tcgetattr(pty.master(), &line), 0);
        EXPECT_EQ(::cfgetospeed(&line), c.speed);
        EXPECT_EQ((line.c_cflag & CSTOPB) != 0, c.twoStopBits);
        EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR), c.parityKind);
    }
}

TEST_F(PseudoTerminalPort, settingsOfAnotherShapeLeaveThePortClosed) {
    port.open(7, "9600,N,8,1");
    for (const char* settings : {"9600,Q,8,1", "9600,N,8", "fast,N,8,1"}) {
        EXPECT_EQ(errorNumberOf([&] { port.open(7, settings); }), error_number::kDeviceControlBlock);
        EXPECT_FALSE(port.isOpen());
    }
    // Nothing was left behind: the device opens at once with good settings.
    EXPECT_EQ(errorNumberOf([&] { port.open(7, "9600,N,8,1"); }), 0);
    EXPECT_TRUE(port.isOpen());
}

TEST_F(PseudoTerminalPort, aPortThatIsNotThereIsAnInvalidPortNumber) {
    ASSERT_TRUE(QFile::link(folder.filePath("nothing-here"), folder.filePath("COM5")));
    for (const int number : {9, 5, 0, -1}) {
        SCOPED_TRACE(number);
        EXPECT_EQ(errorNumberOf([&] { port.open(number, "9600,N,8,1"); }), error_number::kInvalidPortNumber);
        EXPECT_FALSE(port.isOpen());
    }
}

TEST_F(PseudoTerminalPort, aClosedPortRefusesReadAndWriteAndClosesQuietly) {
    EXPECT_EQ(errorNumberOf([&] { port.write(hexBytes("01")); }), error_number::kPortNotOpen);
    EXPECT_EQ(errorNumberOf([&] { (void)port.readAll(); }), error_number::kPortNotOpen);
    EXPECT_EQ(errorNumberOf([&] { port.close(); }), 0);

    port.open(7, "9600,N,8,1");
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(errorNumberOf([&] { port.write(hexBytes("01")); }), error_number::kPortNotOpen);
}

TEST_F(PseudoTerminalPort, reopeningAnOpenPortAppliesTheNewSettings) {
    port.open(7, "9600,N,8,1");
    port.open(7, "19200,N,8,2");
    ASSERT_TRUE(port.isOpen());
    termios line{};
    ASSERT_EQ(::tcgetattr(pty.master(), &line), 0);
    EXPECT_EQ(::cfgetospeed(&line), B19200);
    port.write(hexBytes("AA"));
    EXPECT_EQ(pty.readMaster(1), hexBytes("AA"));
}

// Nobody takes the bytes at the far end (a stalled bridge): the write fails, but the line is
// not lost, and it carries frames again once the far end reads.
TEST_F(PseudoTerminalPort, aLineThatTakesNoMoreOutputIsNoLostDevice) {
    port.open(7, "9600,N,8,1");
    const Bytes frame = hexBytes("01 03 00 00 00 01 84 0A");
    int failure = 0;
    for (int i = 0; i < 100000 && failure == 0; ++i) {
        failure = errorNumberOf([&] { port.write(frame); });
    }
    EXPECT_EQ(failure, kOtherPortErrorBase + QSerialPort::ResourceError);
    EXPECT_TRUE(port.isOpen());

    pty.drainMaster();
    EXPECT_EQ(errorNumberOf([&] { port.write(frame); }), 0);
    EXPECT_EQ(errorNumberOf([&] { (void)port.readAll(); }), 0);
}

// The device goes away between two ticks (the far end of the pseudo-terminal closes, as an
// unplugged adapter would): the next read reports it once and leaves the port closed, so that
// the engine's recovery opens it again.
TEST_F(PseudoTerminalPort, aVanishedDeviceIsAReadErrorAndClosesThePort) {
    port.open(7, "9600,N,8,1");
    pty.closeMaster();
    EXPECT_EQ(errorNumberOf([&] { (void)port.readAll(); }), error_number::kReadError);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(errorNumberOf([&] { (void)port.readAll(); }), error_number::kPortNotOpen);
}

TEST_F(PseudoTerminalPort, aDeviceThatVanishesWhileTheEventLoopRunsIsStillReportedOnce) {
    port.open(7, "9600,N,8,1");
    pty.closeMaster();
    // The port's notifier sees the hang-up first; the port then closes itself rather than
    // being woken again and again until the next tick.
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (port.isOpen() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(errorNumberOf([&] { port.write(hexBytes("01")); }), error_number::kReadError);
    EXPECT_EQ(errorNumberOf([&] { (void)port.readAll(); }), error_number::kReadError);
    EXPECT_EQ(errorNumberOf([&] { (void)port.readAll(); }), error_number::kPortNotOpen);
}

TEST_F(PseudoTerminalPort, theDeviceListNumbersFolderLinksInPlaceOfDevices) {
    ASSERT_TRUE(QFile::link(folder.filePath("nothing-here"), folder.filePath("COM2")));
    const std::vector<SerialDevice> devices = serialDeviceList(folder.path());
    int previous = 0;
    bool sawLink = false;
    for (const SerialDevice& device : devices) {
        EXPECT_GT(device.number, previous);  // one entry per number, in order
        previous = device.number;
        EXPECT_NE(device.number, 2) << "a link to nothing hides the second device";
        if (device.number == 7) {
            sawLink = true;
            EXPECT_EQ(device.location.toStdString(), pty.slavePath());
        }
    }
    EXPECT_TRUE(sawLink);
}

}  // namespace
}  // namespace dalmora
