#include "sim/pty_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace dalmora::sim {

namespace {

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

int baudOfSpeed(speed_t speed) {
    struct Row {
        speed_t speed;
        int baud;
    };
    constexpr std::array<Row, 12> kSpeeds{{
        {B300, 300}, {B600, 600}, {B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600},
        {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
        {B230400, 230400}, {B460800, 460800},
    }};
    for (const Row& row : kSpeeds) {
        if (row.speed == speed) {
            return row.baud;
        }
    }
    return 0;
}

}  // namespace

LineSettings settingsOf(const termios& t) {
    LineSettings s;
    speed_t speed = cfgetispeed(&t);
    if (speed == B0) {
        speed = cfgetospeed(&t);  // an input speed of 0 means "as the output"
    }
    s.baud = baudOfSpeed(speed);
    if ((t.c_cflag & PARENB) == 0) {
        s.parity = 'N';
    } else if ((t.c_cflag & CMSPAR) != 0) {
        s.parity = (t.c_cflag & PARODD) != 0 ? 'M' : 'S';
    } else {
        s.parity = (t.c_cflag & PARODD) != 0 ? 'O' : 'E';
    }
    switch (t.c_cflag & CSIZE) {
        case CS5: s.dataBits = 5; break;
        case CS6: s.dataBits = 6; break;
        case CS7: s.dataBits = 7; break;
        default: s.dataBits = 8; break;
    }
    s.stopBits = (t.c_cflag & CSTOPB) != 0 ? 2 : 1;
    return s;
}

PtyLine::~PtyLine() { close(); }

void PtyLine::open(const std::string& link) {
    if (link == link_) {
        // Our link stays until the new one replaces it: the name is never missing meanwhile.
        closeDevice();
        device_.clear();
    } else {
        close();
    }
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        throw systemError("posix_openpt");
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        const auto error = systemError("grantpt/unlockpt");
        close();
        throw error;
    }
    std::array<char, 128> name{};
    if (ptsname_r(master_, name.data(), name.size()) != 0) {
        const auto error = systemError("ptsname");
        close();
        throw error;
    }
    device_ = name.data();
    slave_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0) {
        const auto error = systemError("open " + device_);
        close();
        throw error;
    }
    // Raw bytes at 19200 8N1 until the console sets its own; no echo, no line discipline.
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
    tcsetattr(slave_, TCSANOW, &t);

    // Point the link at the new device in one step, so that a console opening it never finds
    // it missing halfway.
    const std::string temporary = link + ".new";
    std::remove(temporary.c_str());
    if (symlink(device_.c_str(), temporary.c_str()) != 0 ||
        std::rename(temporary.c_str(), link.c_str()) != 0) {
        const auto error = systemError("link " + link);
        std::remove(temporary.c_str());
        close();
        throw error;
    }
    link_ = link;
    linkTarget_ = device_;
}

void PtyLine::close() {
    if (!link_.empty()) {
        // Only our own link goes: a newer simulator may have taken the name over.
        std::error_code error;
        if (std::filesystem::read_symlink(link_, error) == linkTarget_ && !error) {
            std::filesystem::remove(link_, error);
        }
        link_.clear();
        linkTarget_.clear();
    }
    closeDevice();
    device_.clear();
}

void PtyLine::hangUp() {
    std::error_code error;
    const bool ours = !link_.empty() && std::filesystem::read_symlink(link_, error) == linkTarget_ && !error;
    closeDevice();
    device_.clear();
    if (!ours) {
        close();
        return;
    }
    // The link now names a file beside it that is never there (not the old device: the
    // system hands its pseudo-terminal numbers out again). Swapped in one step, as in open().
    const std::string nowhere = std::filesystem::path(link_).filename().string() + ".line-down";
    const std::string temporary = link_ + ".new";
    std::remove(temporary.c_str());
    if (symlink(nowhere.c_str(), temporary.c_str()) != 0 || std::rename(temporary.c_str(), link_.c_str()) != 0) {
        std::remove(temporary.c_str());
        close();
        return;
    }
    linkTarget_ = nowhere;
}

void PtyLine::closeDevice() {
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

LineSettings PtyLine::settings() const {
    termios t{};
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0) {
        return LineSettings{.baud = 0};
    }
    return settingsOf(t);
}

Bytes PtyLine::read() {
    Bytes bytes;
    std::array<std::uint8_t, 512> chunk{};
    while (master_ >= 0) {
        const ssize_t n = ::read(master_, chunk.data(), chunk.size());
        if (n <= 0) {
            break;  // EAGAIN: all read; EIO cannot happen while our slave side is open
        }
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
    }
    return bytes;
}

void PtyLine::write(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace dalmora::sim
