#pragma once

// Sends commands to a running dalmora-meter-sim over its control socket. Header only, plain
// POSIX, so that tests and small tools can drive the simulator without Qt.

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>

namespace dalmora::sim {

// Sends one JSON command (one line, no line feed needed) and returns the simulator's one-line
// JSON answer, e.g. {"ok":true}. Throws std::runtime_error when the simulator cannot be reached
// or does not answer within `timeout`.
inline std::string sendControl(const std::string& socketPath, const std::string& command,
                               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof(address.sun_path)) {
        throw std::runtime_error("control path too long: " + socketPath);
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error("socket failed");
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        throw std::runtime_error("cannot reach the simulator at " + socketPath + ": " +
                                 std::strerror(errno));
    }
    const std::string line = command + "\n";
    std::size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t n = ::send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            throw std::runtime_error("sending to the simulator failed");
        }
        sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (answer.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            throw std::runtime_error("the simulator did not answer: " + command);
        }
        std::array<char, 512> chunk{};
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n <= 0) {
            throw std::runtime_error("the simulator closed the control connection");
        }
        answer.append(chunk.data(), static_cast<std::size_t>(n));
    }
    return answer.substr(0, answer.find('\n'));
}

}  // namespace dalmora::sim
