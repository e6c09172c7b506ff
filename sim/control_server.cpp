#include "sim/control_server.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace dalmora::sim {

namespace {
constexpr std::size_t kLongestCommand = 64 * 1024;
}

ControlServer::ControlServer(std::string path, Handler handler, QObject* parent)
    : QObject(parent), path_(std::move(path)), handler_(std::move(handler)) {}

ControlServer::~ControlServer() {
    while (!clients_.empty()) {
        drop(clients_.begin()->first);
    }
    notifier_.reset();
    if (listener_ >= 0) {
        ::close(listener_);
        ::unlink(path_.c_str());
    }
}

void ControlServer::listen() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.size() >= sizeof(address.sun_path)) {
        throw std::runtime_error("control path too long: " + path_);
    }
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
        throw std::runtime_error(std::string("control socket: ") + std::strerror(errno));
    }
    ::unlink(path_.c_str());  // a socket left behind by a simulator that was killed
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener_, 8) != 0) {
        const std::string error = std::strerror(errno);
        ::close(listener_);
        listener_ = -1;
        throw std::runtime_error("control socket " + path_ + ": " + error);
    }
    notifier_ = std::make_unique<QSocketNotifier>(listener_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { accept(); });
}

void ControlServer::accept() {
    while (true) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, this, [this, fd] { serve(fd); });
        clients_.emplace(fd, Client{fd, {}, std::move(notifier)});
    }
}

void ControlServer::serve(int fd) {
    auto it = clients_.find(fd);
    if (it == clients_.end()) {
        return;
    }
    std::array<char, 4096> chunk{};
    bool closed = false;
    while (true) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n > 0) {
            it->second.input.append(chunk.data(), static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    std::string& input = it->second.input;
    for (auto end = input.find('\n'); end != std::string::npos; end = input.find('\n')) {
        const std::string line = input.substr(0, end);
        input.erase(0, end + 1);
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        const std::string answer = handler_(line) + "\n";
        std::size_t done = 0;
        while (done < answer.size()) {
            const ssize_t n = ::send(fd, answer.data() + done, answer.size() - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                break;  // the client is gone or does not read: its answer is lost
            }
        }
    }
    if (closed || input.size() > kLongestCommand) {
        drop(fd);
    }
}

void ControlServer::drop(int fd) {
    const auto it = clients_.find(fd);
    if (it == clients_.end()) {
        return;
    }
    it->second.notifier->setEnabled(false);
    it->second.notifier.release()->deleteLater();  // it may be the one emitting right now
    ::close(fd);
    clients_.erase(it);
}

}  // namespace dalmora::sim
