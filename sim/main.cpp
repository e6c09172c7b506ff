// dalmora-meter-sim: a line of virtual meters on a pseudo-terminal.
//
//   dalmora-meter-sim --config FILE --link PATH [--control PATH] [--log PATH]
//   dalmora-meter-sim --control PATH --send JSON      (one command to a running simulator)
//
// See sim/README.md.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>

#include "sim/control_client.h"
#include "sim/control_server.h"
#include "sim/simulator.h"

namespace {

// Signals reach the event loop through a socket pair: the handler only writes the number.
int signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const auto byte = static_cast<char>(number);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dalmora-meter-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A line of virtual Modbus RTU meters on a pseudo-terminal, for the Dalmora console."));
    parser.addHelpOption();
    const QCommandLineOption config(QStringLiteral("config"), QStringLiteral("Meter configuration (JSON)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Path of the link to the line's device, e.g. DIR/COM1."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption control(QStringLiteral("control"),
                                     QStringLiteral("Unix socket for control commands."),
                                     QStringLiteral("PATH"));
    const QCommandLineOption logFile(QStringLiteral("log"),
                                     QStringLiteral("Log of every request seen and reply sent."),
                                     QStringLiteral("PATH"));
    const QCommandLineOption send(QStringLiteral("send"),
                                  QStringLiteral("Send one command to the simulator at --control and print its answer."),
                                  QStringLiteral("JSON"));
    parser.addOptions({config, link, control, logFile, send});
    parser.process(app);

    if (parser.isSet(send)) {
        if (!parser.isSet(control)) {
            std::fprintf(stderr, "dalmora-meter-sim: --send needs --control\n");
            return 2;
        }
        try {
            const std::string answer = dalmora::sim::sendControl(parser.value(control).toStdString(),
                                                                 parser.value(send).toStdString());
            std::printf("%s\n", answer.c_str());
            return answer.find("\"ok\":true") != std::string::npos ? 0 : 1;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "dalmora-meter-sim: %s\n", error.what());
            return 2;
        }
    }
    if (!parser.isSet(config) || !parser.isSet(link)) {
        std::fprintf(stderr, "dalmora-meter-sim: --config and --link are required\n");
        parser.showHelp(2);
    }

    dalmora::sim::Simulator simulator({parser.value(config), parser.value(link), parser.value(logFile)});
    std::unique_ptr<dalmora::sim::ControlServer> server;
    try {
        simulator.start();
        if (parser.isSet(control)) {
            server = std::make_unique<dalmora::sim::ControlServer>(
                parser.value(control).toStdString(), [&simulator](const std::string& line) {
                    QJsonParseError error{};
                    const QJsonDocument request = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
                    QJsonObject answer;
                    if (error.error != QJsonParseError::NoError || !request.isObject()) {
                        answer = {{QStringLiteral("ok"), false},
                                  {QStringLiteral("error"), QStringLiteral("not a JSON object")}};
                    } else {
                        answer = simulator.command(request.object());
                    }
                    return QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString();
                });
            server->listen();
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dalmora-meter-sim: %s\n", error.what());
        return 2;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        std::perror("dalmora-meter-sim: socketpair");
        return 2;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&simulator] {
        char number = 0;
        if (::read(signalPipe[0], &number, 1) != 1) {
            return;
        }
        if (number == SIGHUP) {
            try {
                simulator.reload();
            } catch (const std::exception& error) {
                std::fprintf(stderr, "dalmora-meter-sim: reload refused: %s\n", error.what());
            }
        } else {
            QCoreApplication::quit();
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGHUP, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::fprintf(stderr, "dalmora-meter-sim: line ready at %s\n", parser.value(link).toLocal8Bit().constData());
    return QCoreApplication::exec();
}
