// The console against a line of simulated meters: the real main window with its poll timer and
// serial port, the simulator as a separate program on a pseudo-terminal. What the meters heard
// comes from the simulator's log; what the operator sees from the main window's status bar,
// read after every tick of the poll timer.

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "console/qt/main_window.h"
#include "console/settings_file.h"
#include "fakes/fake_notifier.h"
#include "fakes/fake_serial_port.h"
#include "fakes/sim_process.h"
#include "link/modbus.h"
#include "panel/qt/svg_tile_canvas.h"

using namespace dalmora;
using dalmora::testing::monotonicMs;
using dalmora::testing::SimLogLine;
using dalmora::testing::SimProcess;

namespace {

// Slot index 2 holds a T3 at station 2, slot index 9 a ZC37 at station 9; the rest are empty.
constexpr const char* kTwoMeters = R"({"turnaround_ms": 3, "meters": [
    {"station": 2, "model": "T3", "baud": 19200, "pv": 40.0},
    {"station": 9, "model": "ZC37", "baud": 19200, "pv": 60.0}]})";

const QString kSlot3 = "No.3 Slot ; ID = 002";
const QString kSlot10 = "No.10 Slot ; ID = 009";
const QString kCrcOk = "Read PV ,CRC Ok !";
const QString kNoResponse = "Read PV ,No Response !";

constexpr int kPollIntervalMs = 100;  // the poll row at 19200 baud

// The live-value request the console must send, built by the link layer into a recording port.
Bytes liveRequest(std::uint8_t station, std::int32_t count) {
    testing::FakeSerialPort port;
    port.setOpen(true);
    LinkBuffers buffers;
    Send_Read_Request(port, buffers, station, static_cast<std::int16_t>(kFirstLiveRegister), count);
    return port.written.at(0);
}

QString hex(const Bytes& bytes) {
    QStringList parts;
    for (std::uint8_t byte : bytes) parts << QString("%1").arg(byte, 2, 16, QChar('0')).toUpper();
    return parts.join(' ');
}

// One request on the line as the simulator heard it, and whether its meter answered it.
struct Exchange {
    long long ms = 0;
    std::uint8_t station = 0;
    Bytes request;
    bool answered = false;
};

std::vector<Exchange> exchanges(const std::vector<SimLogLine>& log, long long since = 0) {
    std::vector<Exchange> all;
    for (const SimLogLine& line : log) {
        if (line.kind == "RX" && !line.bytes.empty()) {
            all.push_back({line.ms, line.bytes.front(), line.bytes, false});
        } else if (line.kind == "TX" && !line.bytes.empty()) {
            // Normally the reply to the last request; on a starved machine it may finish only
            // after the next request was heard.
            const auto asked = std::find_if(all.rbegin(), all.rend(), [&](const Exchange& e) {
                return e.station == line.bytes.front() && !e.answered;
            });
            if (asked != all.rend()) asked->answered = true;
        }
    }
    std::erase_if(all, [since](const Exchange& e) { return e.ms < since; });
    return all;
}

std::vector<Exchange> ofStation(const std::vector<Exchange>& all, std::uint8_t station) {
    std::vector<Exchange> some;
    std::copy_if(all.begin(), all.end(), std::back_inserter(some),
                 [station](const Exchange& e) { return e.station == station; });
    return some;
}

// Positions of the requests left without answer, but for the last (perhaps stopped in flight).
QStringList unanswered(const std::vector<Exchange>& all) {
    QStringList positions;
    for (std::size_t i = 0; i + 1 < all.size(); ++i) {
        if (!all[i].answered) positions << QString::number(i);
    }
    return positions;
}

// A loaded machine may now and then starve the simulator past one poll interval: one request
// in ten may go without answer; more is the console's fault.
bool mostlyAnswered(const std::vector<Exchange>& all) {
    return unanswered(all).size() * 10 <= static_cast<qsizetype>(all.size());
}

QString stations(const std::vector<Exchange>& all) {
    QStringList list;
    for (const Exchange& e : all) list << QString::number(e.station);
    return list.join(',');
}

// The status bar after one tick of the poll timer.
struct Sample {
    long long ms = 0;
    QString slot;    // panel 1
    QString status;  // panel 2
};

// The simulator, and the console on the simulator's folder as its program folder: the settings
// file names COM1 (the simulator's link there) at 19200 baud, 8 data bits, 2 stop bits.
class Bench {
public:
    Bench() : sim_(kTwoMeters) {
        SharedState prepared;
        prepared.serial = {"COM1", "19200", "2", "8", "None"};
        prepared.slots[2].Slot_Model = "T3";
        prepared.slots[2].Slot_ID = "002";
        prepared.slots[9].Slot_Model = "ZC37";
        prepared.slots[9].Slot_ID = "009";
        testing::FakeNotifier notifier;
        for (int record : {1, 2, 3, 8}) {
            if (!Save_Record(prepared, sim_.folder(), record, notifier, "test")) {
                throw std::runtime_error("cannot write the settings file");
            }
        }
        window_ = std::make_unique<MainWindow>(state_, QString::fromStdString(sim_.folder()));
        // Connected after the window's own handler, so this runs once the tick's step is done.
        QObject::connect(&window_->pollTimer(), &QTimer::timeout, window_.get(), [this] {
            samples_.push_back({monotonicMs(), window_->statusText(1), window_->statusText(2)});
        });
        window_->load();
        window_->show();
    }

    ~Bench() {
        if (QTest::currentTestFailed()) tellTheEnd();
        window_.reset();  // the console lets go of the line before the simulator ends
    }

    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    SimProcess& sim() { return sim_; }
    MainWindow& window() { return *window_; }

    // Status bar samples of one slot's turns (panel 1 names the slot) taken at `since` or later.
    [[nodiscard]] std::vector<Sample> turnsOf(const QString& slot, long long since = 0) const {
        std::vector<Sample> some;
        std::copy_if(samples_.begin(), samples_.end(), std::back_inserter(some),
                     [&](const Sample& s) { return s.slot == slot && s.ms >= since; });
        return some;
    }

    // Every panel-2 text shown after a tick since `since`.
    [[nodiscard]] std::set<QString> statusTexts(long long since) const {
        std::set<QString> texts;
        for (const Sample& s : samples_) {
            if (s.ms >= since) texts.insert(s.status);
        }
        return texts;
    }

    [[nodiscard]] bool served(const QString& slot, long long since = 0) const {
        const auto turns = turnsOf(slot, since);
        return std::any_of(turns.begin(), turns.end(), [](const Sample& s) { return s.status == kCrcOk; });
    }

private:
    // The end of the line's log and of the status bar's history, to see what went wrong.
    void tellTheEnd() const {
        constexpr std::size_t kLines = 40;
        const auto log = sim_.log();
        for (std::size_t i = log.size() > kLines ? log.size() - kLines : 0; i < log.size(); ++i) {
            qInfo().noquote() << "line:" << log[i].ms << log[i].kind.c_str() << hex(log[i].bytes);
        }
        for (std::size_t i = samples_.size() > kLines ? samples_.size() - kLines : 0; i < samples_.size(); ++i) {
            qInfo().noquote() << "tick:" << samples_[i].ms << samples_[i].slot << "|" << samples_[i].status;
        }
    }

    SimProcess sim_;
    SharedState state_;
    std::unique_ptr<MainWindow> window_;
    std::vector<Sample> samples_;
};

// Texts other than `wanted` among a slot's turns; an empty list when all are as wanted.
QStringList otherThan(const std::vector<Sample>& turns, const QString& wanted) {
    QStringList others;
    for (const Sample& s : turns) {
        if (s.status != wanted) others << s.status;
    }
    return others;
}

// A loaded machine may now and then starve the simulator past one poll interval; a turn or two
// in ten that shows something else is the machine, not the console.
bool mostly(const std::vector<Sample>& turns, const QString& wanted) {
    return !turns.empty() && otherThan(turns, wanted).size() * 10 <= static_cast<qsizetype>(turns.size());
}

QString describe(const std::vector<Sample>& turns, const QString& wanted) {
    return QString("%1 turns, others: %2").arg(turns.size()).arg(otherThan(turns, wanted).join(" | "));
}

constexpr int kStartDeadlineMs = 10000;  // generous: a loaded machine, a sanitizer build

// The offscreen platform warns on every status bar change that it cannot size the window;
// the test log keeps the other messages.
QtMessageHandler previousHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains("does not support propagateSizeHints")) return;
    if (previousHandler != nullptr) previousHandler(type, context, message);
}

}  // namespace

class PollingEndToEndTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { previousHandler = qInstallMessageHandler(quietHandler); }
    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }

    void pollsTwoMetersInTurnAtTheIntervalOfTheBaudRate() {
        Bench bench;
        QVERIFY(bench.window().pollTimer().isActive());
        QVERIFY(QTest::qWaitFor([&] { return bench.served(kSlot3) && bench.served(kSlot10); }, kStartDeadlineMs));
        QTest::qWait(3000);
        bench.window().pollTimer().stop();

        const auto heard = exchanges(bench.sim().log());
        QVERIFY2(heard.size() >= 21, qPrintable(QString("only %1 requests").arg(heard.size())));

        // Slot 2 comes first after start-up (the search starts at slot 0), then they alternate,
        // each with the exact frame for its model's live block.
        const Bytes toT3 = liveRequest(2, 22);
        const Bytes toZc37 = liveRequest(9, 17);
        QCOMPARE(hex(toT3).left(17), QString("02 04 10 00 00 16"));
        QCOMPARE(hex(toZc37).left(17), QString("09 04 10 00 00 11"));
        for (std::size_t i = 0; i < heard.size(); ++i) {
            const Bytes& expected = i % 2 == 0 ? toT3 : toZc37;
            QVERIFY2(heard[i].request == expected,
                     qPrintable(QString("request %1: %2, expected %3 (stations %4)")
                                    .arg(i)
                                    .arg(hex(heard[i].request), hex(expected), stations(heard))));
        }
        // Every request got its meter's answer.
        QVERIFY2(mostlyAnswered(heard), qPrintable("unanswered requests: " + unanswered(heard).join(',')));

        // One meter per tick: the requests follow each other at the poll interval.
        std::vector<long long> gaps;
        for (std::size_t i = 1; i < heard.size(); ++i) gaps.push_back(heard[i].ms - heard[i - 1].ms);
        std::sort(gaps.begin(), gaps.end());
        const double median = gaps.size() % 2 == 1
                                  ? static_cast<double>(gaps[gaps.size() / 2])
                                  : (gaps[gaps.size() / 2 - 1] + gaps[gaps.size() / 2]) / 2.0;
        QVERIFY2(gaps.size() >= 20, qPrintable(QString("%1 intervals").arg(gaps.size())));
        QVERIFY2(std::abs(median - kPollIntervalMs) <= 0.05 * kPollIntervalMs,
                 qPrintable(QString("median interval %1 ms over %2 intervals").arg(median).arg(gaps.size())));

        // The operator sees each slot's turn with its accepted answer.
        const auto t3Turns = bench.turnsOf(kSlot3);
        const auto zc37Turns = bench.turnsOf(kSlot10);
        QVERIFY2(t3Turns.size() >= 8 && mostly(t3Turns, kCrcOk), qPrintable(describe(t3Turns, kCrcOk)));
        QVERIFY2(zc37Turns.size() >= 8 && mostly(zc37Turns, kCrcOk), qPrintable(describe(zc37Turns, kCrcOk)));

        // And the answers reached the tiles: both show digits, the empty slots only their panel.
        const auto hasDigits = [&](int slot) {
            const auto& drawing = bench.window().canvas().keptDrawing(slot);
            return std::any_of(drawing.begin(), drawing.end(),
                               [](const DrawCommand& c) { return c.set == PictureSet::RPV; });
        };
        QVERIFY(hasDigits(2));
        QVERIFY(hasDigits(9));
        QVERIFY(!hasDigits(0));
    }

    void aSilentMeterDoesNotHoldUpTheOther() {
        Bench bench;
        QVERIFY(QTest::qWaitFor([&] { return bench.served(kSlot3) && bench.served(kSlot10); }, kStartDeadlineMs));
        bench.sim().command(R"({"station":9,"fault":"silent"})");
        // A reply already on its way when the fault was set may still count as served.
        const long long since = monotonicMs() + 3 * kPollIntervalMs;
        QTest::qWait(3 * kPollIntervalMs + 2000);
        bench.window().pollTimer().stop();

        const auto zc37Turns = bench.turnsOf(kSlot10, since);
        const auto t3Turns = bench.turnsOf(kSlot3, since);
        QVERIFY2(zc37Turns.size() >= 5 && otherThan(zc37Turns, kNoResponse).isEmpty(),
                 qPrintable(describe(zc37Turns, kNoResponse)));
        QVERIFY2(t3Turns.size() >= 5 && mostly(t3Turns, kCrcOk), qPrintable(describe(t3Turns, kCrcOk)));

        // On the line: both are still asked in turn; only the healthy meter answers.
        const auto heard = exchanges(bench.sim().log(), since);
        const auto toT3 = ofStation(heard, 2);
        const auto toZc37 = ofStation(heard, 9);
        QVERIFY2(toT3.size() >= 5 && toZc37.size() >= 5, qPrintable(stations(heard)));
        for (std::size_t i = 1; i < heard.size(); ++i) {
            QVERIFY2(heard[i].station != heard[i - 1].station, qPrintable(stations(heard)));
        }
        QVERIFY2(mostlyAnswered(toT3), qPrintable("unanswered requests: " + unanswered(toT3).join(',')));
        for (const Exchange& e : toZc37) QVERIFY(!e.answered);
    }

    void pollingComesBackWithTheLine() {
        Bench bench;
        QVERIFY(QTest::qWaitFor([&] { return bench.served(kSlot3) && bench.served(kSlot10); }, kStartDeadlineMs));

        const long long down = monotonicMs();
        bench.sim().command(R"({"line":"down"})");
        QVERIFY(QTest::qWaitFor(
            [&] { return bench.window().statusText(2).startsWith("Serial port error ! ;error number = 80"); },
            kStartDeadlineMs));
        // Several rounds of the engine's recovery while the line stays away.
        QTest::qWait(1500);
        const long long up = monotonicMs();
        const auto whileDown = bench.statusTexts(down);
        QVERIFY2(whileDown.count("Serial port error ! ;error number = 8020") == 1,
                 qPrintable(QStringList(whileDown.begin(), whileDown.end()).join(" | ")));
        for (const QString& text : whileDown) {
            // A lost line is a port failure the engine knows, never a foreign error.
            QVERIFY2(!text.contains("Wrong code"), qPrintable(text));
        }

        bench.sim().command(R"({"line":"up"})");
        // The engine reopens the port by itself: both meters are asked and answer again.
        QVERIFY(QTest::qWaitFor(
            [&] {
                const auto heard = exchanges(bench.sim().log(), up);
                const auto answered = [&](std::uint8_t station) {
                    const auto some = ofStation(heard, station);
                    return std::count_if(some.begin(), some.end(), [](const Exchange& e) { return e.answered; });
                };
                return answered(2) >= 3 && answered(9) >= 3;
            },
            kStartDeadlineMs));
        QVERIFY(QTest::qWaitFor([&] { return bench.served(kSlot3, up) && bench.served(kSlot10, up); },
                                kStartDeadlineMs));
        const auto line = QString::fromStdString(bench.sim().command(R"({"query":"line"})"));
        QVERIFY2(line.contains("\"baud\":19200"), qPrintable(line));
    }

    void aShortAnswerDoesNotStopThePolling_data() {
        QTest::addColumn<int>("registers");
        QTest::addColumn<QString>("shown");
        // No registers at all: a frame too short to judge.
        QTest::newRow("empty answer") << 0 << "Read PV ,??? Error !";
        // A sound frame with too few registers: the driver cannot read its block.
        QTest::newRow("three registers") << 3
                                         << "at Timer_Read_Timer() ;Wrong code: 9 ;Wrong reasons: Subscript out of range";
    }

    void aShortAnswerDoesNotStopThePolling() {
        QFETCH(int, registers);
        QFETCH(QString, shown);
        Bench bench;
        QVERIFY(QTest::qWaitFor([&] { return bench.served(kSlot3) && bench.served(kSlot10); }, kStartDeadlineMs));
        bench.sim().command(QString(R"({"station":9,"fault":"short","short_registers":%1})")
                                .arg(registers)
                                .toStdString());
        const long long since = monotonicMs() + 3 * kPollIntervalMs;
        QTest::qWait(3 * kPollIntervalMs + 2500);
        bench.window().pollTimer().stop();

        const auto zc37Turns = bench.turnsOf(kSlot10, since);
        const auto t3Turns = bench.turnsOf(kSlot3, since);
        QVERIFY2(zc37Turns.size() >= 4 && otherThan(zc37Turns, shown).isEmpty(),
                 qPrintable(describe(zc37Turns, shown)));
        QVERIFY2(t3Turns.size() >= 4 && mostly(t3Turns, kCrcOk), qPrintable(describe(t3Turns, kCrcOk)));

        // Both meters are still asked, turn about: the failing one is not asked again and again.
        const auto heard = exchanges(bench.sim().log(), since);
        QVERIFY2(ofStation(heard, 2).size() >= 4 && ofStation(heard, 9).size() >= 4, qPrintable(stations(heard)));
        for (std::size_t i = 1; i < heard.size(); ++i) {
            QVERIFY2(heard[i].station != heard[i - 1].station, qPrintable(stations(heard)));
        }
    }
};

QTEST_MAIN(PollingEndToEndTest)
#include "polling_e2e_test.moc"
