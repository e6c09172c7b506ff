#pragma once

#include <QCoreApplication>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "link/bytes.h"

namespace dalmora::testing {

// Generous: the machine that runs the tests may be busy with other builds.
inline constexpr std::chrono::seconds kPatience{5};

// QSerialPort watches its device with socket notifiers, which want an application object.
class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "serialport_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QCoreApplication> app_;
};

// A pseudo-terminal: the master stays with the test, the slave is the "device" under test.
// A second descriptor on the slave, opened here, keeps the master from seeing a hang-up while
// no one else has the slave open, and lets the test count the bytes waiting at the slave.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        slavePath_ = ::ptsname(master_);
        keeper_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (keeper_ < 0) throw std::runtime_error("cannot open " + slavePath_);
        termios raw{};
        ::tcgetattr(keeper_, &raw);
        ::cfmakeraw(&raw);  // no echo of early bytes before the port under test sets up
        ::tcsetattr(keeper_, TCSANOW, &raw);
    }
    ~PseudoTerminal() {
        if (keeper_ >= 0) ::close(keeper_);
        closeMaster();
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    [[nodiscard]] int master() const { return master_; }
    [[nodiscard]] const std::string& slavePath() const { return slavePath_; }

    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    // Waits until at least `count` bytes wait at the slave for its reader; false on timeout.
    [[nodiscard]] bool awaitAtSlave(int count) const {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        int waiting = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::ioctl(keeper_, FIONREAD, &waiting) == 0 && waiting >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    void writeMaster(const Bytes& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            else std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Reads `count` bytes that the port wrote, or what came before the deadline.
    [[nodiscard]] Bytes readMaster(std::size_t count) const {
        Bytes bytes;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd ready{master_, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0) continue;
            std::uint8_t chunk[256];
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n > 0) bytes.insert(bytes.end(), chunk, chunk + n);
        }
        return bytes;
    }

    // Takes whatever the port wrote until the line has been quiet for a moment.
    void drainMaster() const {
        pollfd ready{master_, POLLIN, 0};
        while (::poll(&ready, 1, 100) > 0) {
            std::uint8_t chunk[4096];
            if (::read(master_, chunk, sizeof chunk) <= 0) return;
        }
    }

private:
    int master_ = -1;
    int keeper_ = -1;
    std::string slavePath_;
};

}  // namespace dalmora::testing
