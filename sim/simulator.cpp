#include "sim/simulator.h"

#include <QJsonArray>

#include <algorithm>
#include <stdexcept>

namespace dalmora::sim {

namespace {

using std::chrono::duration_cast;
using std::chrono::microseconds;
using std::chrono::milliseconds;

// Below this a gap between two reads is the reader's own delay, not a pause of the sender.
constexpr microseconds kShortestSilence{1750};

long long monotonicMs(Simulator::Clock::time_point t) {
    return duration_cast<milliseconds>(t.time_since_epoch()).count();
}

QJsonObject failure(const QString& message) {
    return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), message}};
}

QJsonObject success() { return {{QStringLiteral("ok"), true}}; }

}  // namespace

Simulator::Simulator(SimOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
    transmitTimer_.setSingleShot(true);
    transmitTimer_.setTimerType(Qt::PreciseTimer);
    connect(&transmitTimer_, &QTimer::timeout, this, [this] { transmit(); });
    stepTimer_.setTimerType(Qt::PreciseTimer);
    connect(&stepTimer_, &QTimer::timeout, this, [this] { step(); });
}

Simulator::~Simulator() {
    lineNotifier_.reset();
    line_.close();
    if (log_ != nullptr) {
        std::fclose(log_);
    }
}

void Simulator::start() {
    config_ = loadConfig(options_.configPath);
    buildMeters();
    if (!options_.logPath.isEmpty()) {
        log_ = std::fopen(options_.logPath.toLocal8Bit().constData(), "w");
        if (log_ == nullptr) {
            throw std::runtime_error("cannot write the log " + options_.logPath.toStdString());
        }
    }
    lineUp();
    lastStep_ = Clock::now();
    stepTimer_.start(config_.stepMs);
}

void Simulator::reload() {
    SimConfig config = loadConfig(options_.configPath);
    config_ = std::move(config);
    buildMeters();
    stepTimer_.setInterval(config_.stepMs);
    log("RELOAD");
}

void Simulator::buildMeters() {
    meters_.clear();
    for (const MeterSetup& setup : config_.meters) {
        meters_.emplace_back(setup);
    }
}

void Simulator::lineUp() {
    if (line_.isOpen()) {
        return;
    }
    line_.open(options_.linkPath.toStdString());
    lineNotifier_ = std::make_unique<QSocketNotifier>(line_.masterFd(), QSocketNotifier::Read);
    connect(lineNotifier_.get(), &QSocketNotifier::activated, this, [this] { readLine(); });
    log("LINE up");
}

void Simulator::lineDown() {
    if (!line_.isOpen()) {
        return;
    }
    lineNotifier_.reset();
    line_.hangUp();
    framer_ = RequestFramer{};
    outgoing_.clear();
    transmitTimer_.stop();
    log("LINE down");
}

void Simulator::readLine() {
    const Bytes bytes = line_.read();
    if (bytes.empty()) {
        return;
    }
    const Clock::time_point now = Clock::now();
    const LineSettings settings = line_.settings();
    const auto silence = std::max(kShortestSilence, settings.charTime() * 7 / 2);
    if (!framer_.empty() && now - lastRead_ > silence) {
        framer_.silence();
    }
    if (framer_.empty()) {
        frameStart_ = now;
    }
    lastRead_ = now;
    framer_.push(bytes);

    Bytes dropped;
    while (auto frame = framer_.next(dropped)) {
        if (!dropped.empty()) {
            log("DROP", dropped);
            dropped.clear();
        }
        handleRequest(*frame, frameStart_, now);
        frameStart_ = now;
    }
    if (!dropped.empty()) {
        log("DROP", dropped);
    }
}

void Simulator::handleRequest(const Bytes& frame, Clock::time_point firstByte,
                              Clock::time_point lastByte) {
    log("RX", frame);
    Meter* meter = meterAt(byteAt(frame, 0));
    if (meter == nullptr) {
        return;
    }
    // A meter set to another speed hears only noise.
    const LineSettings settings = line_.settings();
    if (settings.baud == 0 || meter->baud() != settings.baud) {
        return;
    }
    auto reply = meter->respond(frame);
    if (!reply || reply->bytes.empty()) {
        return;
    }
    // The request was written to the line at once; on a wire it would still be arriving.
    const auto charTime = settings.charTime();
    const auto arrived = std::max(lastByte, firstByte + charTime * static_cast<long>(frame.size()));
    const auto start = arrived + milliseconds(config_.turnaroundMs) + milliseconds(reply->delayMs);
    queue(Outgoing{std::move(reply->bytes), start, charTime});
}

void Simulator::queue(Outgoing reply) {
    const auto at = std::ranges::upper_bound(outgoing_, reply.start, {}, &Outgoing::start);
    outgoing_.insert(at, std::move(reply));
    transmit();
}

// Writes every byte whose last bit has arrived by now, then sleeps until the next one is due.
// Only one meter talks at a time: a reply due while another is going out follows it.
void Simulator::transmit() {
    transmitTimer_.stop();
    while (!outgoing_.empty()) {
        Outgoing& head = outgoing_.front();
        const Clock::time_point now = Clock::now();
        if (now < head.start) {
            const auto wait = duration_cast<microseconds>(head.start - now);
            transmitTimer_.start(static_cast<int>(std::max<long long>(1, (wait.count() + 999) / 1000)));
            return;
        }
        std::size_t due = head.bytes.size();
        if (head.charTime.count() > 0) {
            const auto elapsed = duration_cast<microseconds>(now - head.start);
            due = std::min(due, static_cast<std::size_t>(elapsed / head.charTime));
        }
        if (due > head.sent) {
            line_.write(std::span(head.bytes).subspan(head.sent, due - head.sent));
            head.sent = due;
        }
        if (head.sent < head.bytes.size()) {
            const auto next = head.start + head.charTime * static_cast<long>(head.sent + 1);
            const auto wait = duration_cast<microseconds>(next - now);
            transmitTimer_.start(static_cast<int>(std::max<long long>(1, (wait.count() + 999) / 1000)));
            return;
        }
        log("TX", head.bytes);
        outgoing_.pop_front();
        for (Outgoing& later : outgoing_) {
            later.start = std::max(later.start, now);
        }
    }
}

void Simulator::step() {
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - lastStep_).count();
    lastStep_ = now;
    for (Meter& meter : meters_) {
        meter.advance(seconds);
    }
}

Meter* Simulator::meterAt(int station) {
    const auto it = std::ranges::find_if(meters_, [station](const Meter& m) { return m.station() == station; });
    return it == meters_.end() ? nullptr : &*it;
}

void Simulator::log(const char* what, std::span<const std::uint8_t> bytes) {
    if (log_ == nullptr) {
        return;
    }
    std::fprintf(log_, "%lld %s", monotonicMs(Clock::now()), what);
    for (std::uint8_t b : bytes) {
        std::fprintf(log_, " %02X", b);
    }
    std::fputc('\n', log_);
    std::fflush(log_);  // the tests read the log while the line runs
}

QJsonObject Simulator::command(const QJsonObject& request) {
    try {
        if (request.contains(QStringLiteral("ping"))) {
            return success();
        }
        if (request.value(QStringLiteral("reload")).toBool()) {
            reload();
            return success();
        }
        if (request.contains(QStringLiteral("line"))) {
            const QString state = request.value(QStringLiteral("line")).toString();
            if (state == QStringLiteral("down")) {
                lineDown();
            } else if (state == QStringLiteral("up")) {
                lineUp();
            } else {
                return failure(QStringLiteral("\"line\" is \"up\" or \"down\""));
            }
            return success();
        }
        if (request.value(QStringLiteral("query")).toString() == QStringLiteral("line")) {
            const LineSettings s = line_.settings();
            QJsonObject answer = success();
            answer.insert(QStringLiteral("up"), line_.isOpen());
            answer.insert(QStringLiteral("device"), QString::fromStdString(line_.device()));
            answer.insert(QStringLiteral("baud"), s.baud);
            answer.insert(QStringLiteral("parity"), QString(QChar(s.parity)));
            answer.insert(QStringLiteral("data_bits"), s.dataBits);
            answer.insert(QStringLiteral("stop_bits"), s.stopBits);
            return answer;
        }
        if (request.contains(QStringLiteral("station"))) {
            return stationCommand(request);
        }
        return failure(QStringLiteral("unknown command"));
    } catch (const std::exception& error) {
        return failure(QString::fromStdString(error.what()));
    }
}

QJsonObject Simulator::stationCommand(const QJsonObject& request) {
    const int station = request.value(QStringLiteral("station")).toInt(-1);
    Meter* meter = meterAt(station);
    if (meter == nullptr) {
        return failure(QStringLiteral("no meter at station %1").arg(station));
    }
    QJsonObject answer = success();
    meter->fault = parseFault(request, meter->fault);
    if (request.contains(QStringLiteral("set"))) {
        const QJsonObject set = request.value(QStringLiteral("set")).toObject();
        const int reg = set.value(QStringLiteral("register")).toInt(-1);
        const int value = set.value(QStringLiteral("value")).toInt(-65537);
        if (value < -32768 || value > 65535 || reg < 0 || reg > 0xFFFF ||
            !meter->setRegister(static_cast<std::uint16_t>(reg),
                                static_cast<std::uint16_t>(value < 0 ? value + 65536 : value))) {
            return failure(QStringLiteral("cannot set register %1 to %2").arg(reg).arg(value));
        }
    }
    if (request.contains(QStringLiteral("baud"))) {
        const auto reg = roleRegister(meter->map(), Hold::Baud);
        const auto code = baudCode(meter->map(), request.value(QStringLiteral("baud")).toInt());
        if (!reg || !code) {
            return failure(QStringLiteral("\"baud\" must be 2400, 4800, 9600 or 19200"));
        }
        meter->setRegister(*reg, *code);
    }
    if (request.contains(QStringLiteral("pv"))) {
        meter->setProcessValue(request.value(QStringLiteral("pv")).toDouble());
    }
    if (request.contains(QStringLiteral("get"))) {
        const int reg = request.value(QStringLiteral("get")).toObject().value(QStringLiteral("register")).toInt(-1);
        const auto value = reg >= 0 && reg <= 0xFFFF ? meter->readRegister(static_cast<std::uint16_t>(reg))
                                                     : std::nullopt;
        if (!value) {
            return failure(QStringLiteral("register %1 is not mapped").arg(reg));
        }
        answer.insert(QStringLiteral("value"), *value);
    }
    const std::string_view fault = faultName(meter->fault.kind);
    answer.insert(QStringLiteral("fault"), QString::fromUtf8(fault.data(), static_cast<qsizetype>(fault.size())));
    answer.insert(QStringLiteral("baud"), meter->baud());
    return answer;
}

}  // namespace dalmora::sim
