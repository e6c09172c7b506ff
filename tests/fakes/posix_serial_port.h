#pragma once

// A SerialPort over a POSIX terminal device: "COMn" is the file COMn in a given folder (a link
// to a pseudo-terminal of the meter simulator). Enough of a real port for end-to-end tests of the
// link layer; it maps the operating system's failures onto the console's port error numbers.

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace dalmora::testing {

class PosixSerialPort : public SerialPort {
public:
    explicit PosixSerialPort(std::string folder) : folder_(std::move(folder)) {}
    ~PosixSerialPort() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // settings: "19200,N,8,2".
    void open(int number, const std::string& settings) override {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        const std::string path = folder_ + "/COM" + std::to_string(number);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            throw Error(error_number::kInvalidPortNumber, "Invalid port number");
        }
        termios t{};
        if (::tcgetattr(fd, &t) != 0 || !applySettings(t, settings) || ::tcsetattr(fd, TCSANOW, &t) != 0) {
            ::close(fd);
            throw Error(error_number::kDeviceControlBlock,
                        "Internal error retrieving the device control block for the port");
        }
        ::tcflush(fd, TCIOFLUSH);
        fd_ = fd;
    }

    void close() override {
        if (fd_ < 0) {
            throw Error(error_number::kPortNotOpen, "Operation valid only when the port is open");
        }
        ::close(fd_);
        fd_ = -1;
    }

    [[nodiscard]] bool isOpen() const override { return fd_ >= 0; }

    void write(const Bytes& bytes) override {
        requireOpen();
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                throw Error(error_number::kPortNotOpenDevice, "The device is not open");
            }
            done += static_cast<std::size_t>(n);
        }
    }

    [[nodiscard]] Bytes readAll() override {
        requireOpen();
        Bytes bytes;
        std::array<std::uint8_t, 512> chunk{};
        while (true) {
            const ssize_t n = ::read(fd_, chunk.data(), chunk.size());
            if (n > 0) {
                bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return bytes;
            }
            // End of file on a terminal or EIO: the other side of the line has gone.
            throw Error(error_number::kReadError, "Error reading the device");
        }
    }

private:
    void requireOpen() const {
        if (fd_ < 0) {
            throw Error(error_number::kPortNotOpen, "Operation valid only when the port is open");
        }
    }

    static bool applySettings(termios& t, const std::string& settings) {
        std::vector<std::string> items;
        std::stringstream stream(settings);
        for (std::string item; std::getline(stream, item, ',');) {
            items.push_back(item);
        }
        if (items.size() != 4) {
            return false;
        }
        speed_t speed = B0;
        const int baud = std::atoi(items[0].c_str());
        switch (baud) {
            case 2400: speed = B2400; break;
            case 4800: speed = B4800; break;
            case 9600: speed = B9600; break;
            case 19200: speed = B19200; break;
            case 38400: speed = B38400; break;
            default: return false;
        }
        ::cfmakeraw(&t);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        t.c_cflag |= CLOCAL | CREAD;
        switch (items[1].empty() ? 'N' : items[1][0]) {
            case 'N': break;
            case 'E': t.c_cflag |= PARENB; break;
            case 'O': t.c_cflag |= PARENB | PARODD; break;
            case 'M': t.c_cflag |= PARENB | CMSPAR | PARODD; break;
            case 'S': t.c_cflag |= PARENB | CMSPAR; break;
            default: return false;
        }
        switch (std::atoi(items[2].c_str())) {
            case 5: t.c_cflag |= CS5; break;
            case 6: t.c_cflag |= CS6; break;
            case 7: t.c_cflag |= CS7; break;
            case 8: t.c_cflag |= CS8; break;
            default: return false;
        }
        if (items[3] == "2") {
            t.c_cflag |= CSTOPB;
        }
        t.c_cc[VMIN] = 1;  // with O_NONBLOCK: EAGAIN when empty, 0 only when the line hung up
        t.c_cc[VTIME] = 0;
        return ::cfsetispeed(&t, speed) == 0 && ::cfsetospeed(&t, speed) == 0;
    }

    std::string folder_;
    int fd_ = -1;
};

}  // namespace dalmora::testing
