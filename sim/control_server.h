#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace dalmora::sim {

// The control channel: a Unix stream socket that takes one JSON command per line and answers
// each with one JSON line. Several clients may be connected; each is served in turn on the
// event loop, so a command takes effect before its answer is sent.
class ControlServer : public QObject {
public:
    using Handler = std::function<std::string(const std::string& line)>;

    ControlServer(std::string path, Handler handler, QObject* parent = nullptr);
    ~ControlServer() override;
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Binds and listens; throws std::runtime_error.
    void listen();

private:
    struct Client {
        int fd;
        std::string input;
        std::unique_ptr<QSocketNotifier> notifier;
    };

    void accept();
    void serve(int fd);
    void drop(int fd);

    std::string path_;
    Handler handler_;
    int listener_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::map<int, Client> clients_;
};

}  // namespace dalmora::sim
