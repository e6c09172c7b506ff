#pragma once

#include <QJsonObject>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include "sim/config.h"
#include "sim/meter.h"
#include "sim/pty_line.h"
#include "sim/request_framer.h"

namespace dalmora::sim {

struct SimOptions {
    QString configPath;
    QString linkPath;
    QString logPath;  // empty: no log
};

// A line of meters behind a pseudo-terminal. It hears what the console sends, answers for the
// meters addressed at their baud rate, and paces every reply as a wire of the console's speed
// would: the reply starts a turnaround after the request has fully arrived, and its bytes arrive
// one character time apart. Nothing arrives earlier than on a real line, so a console that waits
// too short sees no reply or part of one.
class Simulator : public QObject {
public:
    using Clock = std::chrono::steady_clock;

    explicit Simulator(SimOptions options, QObject* parent = nullptr);
    ~Simulator() override;
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Reads the configuration and opens the line. Throws std::runtime_error.
    void start();
    // Reads the configuration file again and replaces every meter; the old meters stay when
    // the file is wrong. Throws std::runtime_error.
    void reload();
    // One control command; the answer has "ok" and, on failure, "error".
    [[nodiscard]] QJsonObject command(const QJsonObject& request);

private:
    struct Outgoing {
        Bytes bytes;
        Clock::time_point start;
        std::chrono::microseconds charTime{};
        std::size_t sent = 0;
    };

    void buildMeters();
    void lineUp();
    void lineDown();
    void readLine();
    void handleRequest(const Bytes& frame, Clock::time_point firstByte, Clock::time_point lastByte);
    void queue(Outgoing reply);
    void transmit();
    void step();
    void log(const char* what, std::span<const std::uint8_t> bytes = {});
    [[nodiscard]] Meter* meterAt(int station);
    [[nodiscard]] QJsonObject stationCommand(const QJsonObject& request);

    SimOptions options_;
    SimConfig config_;
    std::vector<Meter> meters_;
    PtyLine line_;
    std::unique_ptr<QSocketNotifier> lineNotifier_;
    RequestFramer framer_;
    Clock::time_point lastRead_{};
    Clock::time_point frameStart_{};
    std::deque<Outgoing> outgoing_;  // in order of start time
    QTimer transmitTimer_;
    QTimer stepTimer_;
    Clock::time_point lastStep_{};
    std::FILE* log_ = nullptr;
};

}  // namespace dalmora::sim
