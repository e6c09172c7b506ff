// The simulator on its pseudo-terminal, seen from the console's own link layer: faults, wire
// timing, baud rates, the line going away, control while running, the request log.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "fakes/fake_serial_port.h"
#include "fakes/posix_serial_port.h"
#include "link/modbus.h"
#include "sim_process.h"

namespace dalmora::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Station 1: T3 at 19200, SV 25.0, PV 25.0, a process too slow to move during a test.
// Station 2: HM15 at 19200. Station 3: T3 at 9600.
constexpr const char* kConfig = R"({
  "turnaround_ms": 3,
  "meters": [
    {"station": 1, "model": "T3", "baud": 19200, "pv": 25.0, "noise": 0, "time_constant_s": 1e6,
     "registers": {"0": 250, "33": 1}},
    {"station": 2, "model": "HM15", "baud": 19200, "pv": 30.0, "noise": 0, "registers": {"0": 300, "26": 83}},
    {"station": 3, "model": "T3", "baud": 9600, "pv": 25.0, "noise": 0, "registers": {"0": 250, "33": 1}}
  ]})";

constexpr const char* k19200 = "19200,N,8,2";
constexpr const char* k9600 = "9600,N,8,2";

class SimLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim_ = std::make_unique<SimProcess>(kConfig);
        port_ = std::make_unique<PosixSerialPort>(sim_->folder());
        port_->open(1, k19200);
    }

    void TearDown() override {
        port_.reset();
        EXPECT_EQ(sim_->stop(), 0) << "the simulator ends cleanly on SIGTERM";
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(sim_->linkPath())))
            << "and takes its link away";
        EXPECT_FALSE(std::filesystem::exists(sim_->controlPath()));
    }

    // Sends a read and judges the answer once the simulator has sent all of it (or `silentWait`
    // after it heard the request and sent nothing): the result does not depend on the load.
    ResponseResult exchange(int station, int reg, int count, std::chrono::milliseconds silentWait = 300ms) {
        const Marks marks = mark();
        Send_Read_Request(*port_, buffers_, static_cast<std::uint8_t>(station), static_cast<std::int16_t>(reg), count);
        waitForReply(marks, silentWait);
        return Check_Response(*port_, buffers_);
    }

    ResponseResult write(int station, int reg, int value) {
        const Marks marks = mark();
        Send_Write_Request(*port_, buffers_, static_cast<std::uint8_t>(station), static_cast<std::int16_t>(reg), value);
        waitForReply(marks, 300ms);
        return Check_Response(*port_, buffers_);
    }

    struct Marks {
        std::size_t rx;
        std::size_t tx;
    };
    [[nodiscard]] Marks mark() const { return {sim_->count("RX"), sim_->count("TX")}; }

    void waitForReply(Marks before, std::chrono::milliseconds silentWait) {
        const auto deadline = Clock::now() + 5s;
        std::optional<Clock::time_point> heard;
        while (Clock::now() < deadline) {
            const Marks now = mark();
            if (now.tx > before.tx) {
                return;
            }
            if (!heard && now.rx > before.rx) {
                heard = Clock::now();
            }
            if (heard && Clock::now() - *heard > silentWait) {
                return;
            }
            std::this_thread::sleep_for(2ms);
        }
    }

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<PosixSerialPort> port_;
    LinkBuffers buffers_;
};

struct FaultRow {
    const char* name;
    const char* command;
    std::set<ResponseResult> results;
};
void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.name; }

class SimFaultTest : public SimLineTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(SimFaultTest, faultOfOneStationIsWhatTheConsoleSees) {
    EXPECT_EQ(exchange(1, 4096, 22), ResponseResult::Accepted);
    sim_->command(GetParam().command);
    for (int i = 0; i < 3; ++i) {
        const ResponseResult result = exchange(1, 4096, 22);
        EXPECT_TRUE(GetParam().results.contains(result)) << "result " << static_cast<int>(result);
    }
    EXPECT_EQ(exchange(2, 4096, 29), ResponseResult::Accepted) << "the other station is sound";
    sim_->command(R"({"station":1,"fault":"none"})");
    EXPECT_EQ(exchange(1, 4096, 22), ResponseResult::Accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimFaultTest,
    ::testing::Values(
        FaultRow{"crc", R"({"station":1,"fault":"crc"})", {ResponseResult::CrcError}},
        FaultRow{"exception", R"({"station":1,"fault":"exception"})", {ResponseResult::IllegalAddress}},
        FaultRow{"exceptionIllegalFunction", R"({"station":1,"fault":"exception","exception_code":1})",
                 {ResponseResult::IllegalFunction}},
        FaultRow{"shortFrame", R"({"station":1,"fault":"short"})", {ResponseResult::Other}},
        FaultRow{"silent", R"({"station":1,"fault":"silent"})", {ResponseResult::NoResponse}},
        FaultRow{"garbage", R"({"station":1,"fault":"garbage"})", {ResponseResult::CrcError, ResponseResult::Other}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimLineTest, lateReplyMissesThePollIntervalAndArrivesAfterIt) {
    sim_->command(R"({"station":1,"fault":"late","delay_ms":400})");
    const Marks before = mark();
    const auto sent = Clock::now();
    Send_Read_Request(*port_, buffers_, 1, 4096, 22);
    std::this_thread::sleep_for(100ms);  // the console's poll interval at 19200 baud
    const ResponseResult atInterval = Check_Response(*port_, buffers_);
    if (Clock::now() - sent < 350ms) {  // a machine this slow could not tell
        EXPECT_EQ(atInterval, ResponseResult::NoResponse);
    }
    waitForReply(before, 3000ms);
    EXPECT_EQ(Check_Response(*port_, buffers_), ResponseResult::Accepted) << "the late bytes arrive whole";
    const auto log = sim_->log();
    long long rx = 0;
    long long tx = 0;
    for (const auto& line : log) {
        if (line.kind == "RX") rx = line.ms;
        if (line.kind == "TX") tx = line.ms;
    }
    EXPECT_GE(tx - rx, 400);
}

TEST_F(SimLineTest, meterAt9600IsDeafAt19200AndAnswersAt9600) {
    EXPECT_EQ(exchange(3, 4096, 22), ResponseResult::NoResponse);
    EXPECT_EQ(sim_->count("RX"), 1U) << "the request was on the line";
    EXPECT_EQ(sim_->count("TX"), 0U);
    port_->open(1, k9600);
    EXPECT_EQ(exchange(3, 4096, 22), ResponseResult::Accepted);
    EXPECT_EQ(exchange(1, 4096, 22), ResponseResult::NoResponse) << "and the 19200 meter is deaf now";
}

// The reply is paced like a wire: a console that looks before the wire time is over never sees
// a whole reply. 22 registers at 9600 baud, 8N2: request 8 x 11 bits (9.2 ms), turnaround 3 ms,
// reply 49 x 11 bits (56.1 ms): complete no earlier than about 68 ms after the request.
TEST_F(SimLineTest, replyTakesItsWireTimeAtTheLinesBaud) {
    struct Row {
        const char* settings;
        int station;
        double earliestMs;
    };
    for (const Row row : {Row{k9600, 3, 68.3}, Row{k19200, 1, 35.6}}) {
        port_->open(1, row.settings);
        const auto sent = Clock::now();  // before the write: the simulator cannot hear it earlier
        Send_Read_Request(*port_, buffers_, static_cast<std::uint8_t>(row.station), 4096, 22);
        std::this_thread::sleep_for(20ms);
        const ResponseResult early = Check_Response(*port_, buffers_);
        const double lookedAtMs = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        if (lookedAtMs < row.earliestMs - 2) {  // a machine this slow looked too late to tell
            EXPECT_NE(early, ResponseResult::Accepted) << row.settings << " at " << lookedAtMs << " ms";
        }
        Bytes reply = buffers_.Receive_Buffer;
        auto complete = Clock::now();
        while (reply.size() < 49 && Clock::now() - sent < 2s) {
            const Bytes more = port_->readAll();
            complete = Clock::now();
            reply.insert(reply.end(), more.begin(), more.end());
            std::this_thread::sleep_for(500us);
        }
        ASSERT_EQ(reply.size(), 49U) << row.settings;
        const double elapsedMs = std::chrono::duration<double, std::milli>(complete - sent).count();
        EXPECT_GE(elapsedMs, row.earliestMs - 1.5) << row.settings;
        FakeSerialPort whole;
        whole.setOpen(true);
        whole.queue(reply);
        LinkBuffers judged;
        EXPECT_EQ(Check_Response(whole, judged), ResponseResult::Accepted);
    }
}

TEST_F(SimLineTest, consoleClosingAndReopeningThePortKeepsTheLine) {
    EXPECT_EQ(exchange(1, 4096, 22), ResponseResult::Accepted);
    port_->close();
    // A pseudo-terminal keeps the speed and the stop bits the console sets (it forces 8 data
    // bits and no parity), and keeps them after the console has closed its end.
    port_->open(1, "9600,N,8,1");
    port_->close();
    const std::string line = sim_->command(R"({"query":"line"})");
    EXPECT_NE(line.find(R"("baud":9600)"), std::string::npos) << line;
    EXPECT_NE(line.find(R"("stop_bits":1)"), std::string::npos) << line;
    EXPECT_NE(line.find(R"("up":true)"), std::string::npos) << line;
    port_->open(1, k19200);
    EXPECT_EQ(exchange(1, 4096, 22), ResponseResult::Accepted);
}

TEST_F(SimLineTest, lineGoesAwayAndComesBack) {
    EXPECT_EQ(exchange(1, 4096, 22), ResponseResult::Accepted);
    sim_->command(R"({"line":"down"})");
    // The link stays, leading nowhere, so that COM1 names no other device of the computer.
    EXPECT_TRUE(std::filesystem::is_symlink(sim_->linkPath()));
    EXPECT_FALSE(std::filesystem::exists(sim_->linkPath()));
    try {
        (void)Check_Response(*port_, buffers_);
        ADD_FAILURE() << "reading a line that is gone succeeded";
    } catch (const Error& error) {
        EXPECT_EQ(error.number(), error_number::kReadError);
    }
    try {
        port_->open(1, k19200);
        ADD_FAILURE() << "opened a line that is gone";
    } catch (const Error& error) {
        EXPECT_EQ(error.number(), error_number::kInvalidPortNumber);
    }
    sim_->command(R"({"line":"up"})");
    port_->open(1, k19200);
    EXPECT_EQ(exchange(1, 4096, 22), ResponseResult::Accepted);
}

TEST_F(SimLineTest, endingWhileTheLineIsDownTakesTheLinkAway) {
    sim_->command(R"({"line":"down"})");
    ASSERT_TRUE(std::filesystem::is_symlink(sim_->linkPath()));
    // TearDown ends the simulator and checks that the link is gone.
}

TEST_F(SimLineTest, writesAndControlCommandsShowOnTheNextPoll) {
    EXPECT_EQ(write(1, 0, 300), ResponseResult::Accepted);
    EXPECT_EQ(buffers_.Receive_Buffer, hexBytes("01 06 00 00 01 2C 89 87")) << "a write is echoed";
    ASSERT_EQ(exchange(1, 4096, 22), ResponseResult::Accepted);
    EXPECT_EQ(registerAt(buffers_.Receive_Buffer, 1), 300);  // SV

    EXPECT_EQ(write(1, 33, 2), ResponseResult::Accepted);  // DP: two decimals
    ASSERT_EQ(exchange(1, 4096, 22), ResponseResult::Accepted);
    EXPECT_EQ(registerAt(buffers_.Receive_Buffer, 0), 2500);  // PV 25.00
    EXPECT_EQ(write(1, 33, 9), ResponseResult::IllegalValue);

    sim_->command(R"({"station":1,"set":{"register":0,"value":777}})");
    const std::string answer = sim_->command(R"({"station":1,"get":{"register":4097}})");
    EXPECT_NE(answer.find(R"("value":777)"), std::string::npos) << answer;
    ASSERT_EQ(exchange(1, 4096, 22), ResponseResult::Accepted);
    EXPECT_EQ(registerAt(buffers_.Receive_Buffer, 1), 777);
}

TEST_F(SimLineTest, changedConfigurationIsReadAgainOnSighupAndOnCommand) {
    EXPECT_EQ(exchange(5, 4096, 17), ResponseResult::NoResponse);
    sim_->writeConfig(R"({"meters":[{"station":5,"model":"ZC37","pv":40.0,"noise":0,"registers":{"24":0}}]})");
    sim_->signal(SIGHUP);
    ASSERT_TRUE(sim_->waitForLog([](const SimLogLine& line) { return line.kind == "RELOAD"; }));
    ASSERT_EQ(exchange(5, 4096, 17), ResponseResult::Accepted);
    EXPECT_EQ(registerAt(buffers_.Receive_Buffer, 0), 40);
    EXPECT_EQ(exchange(1, 4096, 22), ResponseResult::NoResponse) << "station 1 is no longer on the line";

    sim_->writeConfig(R"({"meters":[{"station":5,"model":"nonsense"}]})");
    EXPECT_THROW(sim_->command(R"({"reload":true})"), std::runtime_error);
    EXPECT_EQ(exchange(5, 4096, 17), ResponseResult::Accepted) << "a wrong file keeps the meters";

    sim_->writeConfig(kConfig);
    sim_->command(R"({"reload":true})");
    EXPECT_EQ(exchange(1, 4096, 22), ResponseResult::Accepted);
}

TEST_F(SimLineTest, logHasEveryRequestAndReplyInOrderWithTheirTimes) {
    const std::vector<std::pair<int, int>> polls{{1, 22}, {2, 29}, {1, 22}, {4, 22}};
    std::vector<Bytes> sent;
    std::vector<Bytes> received;
    for (const auto& [station, count] : polls) {
        (void)exchange(station, 4096, count, 150ms);
        sent.emplace_back(buffers_.Send_Buffer.begin(), buffers_.Send_Buffer.end());
        if (!buffers_.Receive_Buffer.empty()) {
            received.push_back(buffers_.Receive_Buffer);
        }
        std::this_thread::sleep_for(100ms);
    }
    std::vector<Bytes> rx;
    std::vector<Bytes> tx;
    std::vector<long long> rxTimes;
    long long lastTime = 0;
    for (const auto& line : sim_->log()) {
        EXPECT_GE(line.ms, lastTime) << "monotonic";
        lastTime = line.ms;
        if (line.kind == "RX") {
            rx.push_back(line.bytes);
            rxTimes.push_back(line.ms);
        } else if (line.kind == "TX") {
            tx.push_back(line.bytes);
        }
    }
    EXPECT_EQ(rx, sent);
    EXPECT_EQ(tx, received) << "station 4 is not on the line and sent nothing";
    ASSERT_EQ(rxTimes.size(), 4U);
    for (std::size_t i = 1; i < rxTimes.size(); ++i) {
        EXPECT_GE(rxTimes[i] - rxTimes[i - 1], 100) << "the requests were at least 100 ms apart";
    }
}

// Runs the simulator program with these arguments to its end; its exit status.
int runSim(std::vector<std::string> args) {
    args.insert(args.begin(), DALMORA_METER_SIM);
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, DALMORA_METER_SIM, nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SimLineTest, sendModeOfTheProgramDrivesARunningSimulator) {
    EXPECT_EQ(runSim({"--control", sim_->controlPath(), "--send", R"({"station":1,"fault":"silent"})"}), 0);
    EXPECT_EQ(exchange(1, 4096, 22), ResponseResult::NoResponse);
    EXPECT_EQ(runSim({"--control", sim_->controlPath(), "--send", R"({"station":99,"fault":"silent"})"}), 1)
        << "a refused command";
    EXPECT_EQ(runSim({"--control", sim_->folder() + "/nothing", "--send", R"({"ping":true})"}), 2)
        << "no simulator there";
}

TEST(SimStartTest, wrongConfigurationStopsTheStartWithoutALine) {
    std::string folder = (std::filesystem::temp_directory_path() / "dalmora-sim-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::string config = folder + "/meters.json";
    const std::string link = folder + "/COM1";
    std::ofstream(config) << R"({"meters":[{"station":1,"model":"T3"},{"station":1,"model":"ZC37"}]})";
    EXPECT_EQ(runSim({"--config", config, "--link", link}), 2);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace dalmora::testing
