// How the simulator hears the line: request framing, line settings, configuration.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "fakes/fake_serial_port.h"
#include "sim/config.h"
#include "sim/pty_line.h"
#include "sim/request_framer.h"

namespace dalmora::sim {
namespace {

using testing::hexBytes;

const Bytes kRead = hexBytes("01 03 00 00 00 01 84 0A");
const Bytes kLive = hexBytes("01 04 10 00 00 16 75 04");

struct FramerRow {
    const char* name;
    std::vector<Bytes> pushes;  // an empty entry stands for a silence
    std::vector<Bytes> frames;
    std::size_t dropped;
};
void PrintTo(const FramerRow& row, std::ostream* out) { *out << row.name; }
class FramerTest : public ::testing::TestWithParam<FramerRow> {};

TEST_P(FramerTest, findsTheRequestsInWhatTheLineCarries) {
    RequestFramer framer;
    std::vector<Bytes> frames;
    Bytes dropped;
    for (const Bytes& bytes : GetParam().pushes) {
        if (bytes.empty()) {
            framer.silence();
        } else {
            framer.push(bytes);
        }
        while (auto frame = framer.next(dropped)) {
            frames.push_back(*frame);
        }
    }
    EXPECT_EQ(frames, GetParam().frames);
    EXPECT_EQ(dropped.size(), GetParam().dropped);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FramerTest,
    ::testing::Values(
        FramerRow{"oneRequest", {kRead}, {kRead}, 0},
        FramerRow{"splitAcrossReads", {hexBytes("01 03 00"), hexBytes("00 00 01 84 0A")}, {kRead}, 0},
        FramerRow{"twoBackToBack", {hexBytes("01 03 00 00 00 01 84 0A 01 04 10 00 00 16 75 04")}, {kRead, kLive}, 0},
        FramerRow{"noiseBeforeARequest", {hexBytes("FF 00 17"), kLive}, {kLive}, 3},
        FramerRow{"badCrcThenGoodRequest", {hexBytes("01 03 00 00 00 01 84 0B"), kLive}, {kLive}, 8},
        FramerRow{"silenceAbandonsAHalfRequest", {hexBytes("01 04 10 00"), {}, kRead}, {kRead}, 4},
        FramerRow{"writeMultipleHasItsOwnLength",
                  {hexBytes("01 10 00 00 00 01 02 00 0A"), hexBytes("26 57"), kRead},
                  {hexBytes("01 10 00 00 00 01 02 00 0A 26 57"), kRead}, 0},
        FramerRow{"halfARequestWaits", {hexBytes("01 04 10 00 00 16")}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct SettingsRow {
    speed_t speed;
    tcflag_t flags;
    int baud;
    char parity;
    int bitsPerChar;
};
void PrintTo(const SettingsRow& row, std::ostream* out) { *out << row.baud << " baud, " << row.bitsPerChar << " bits"; }
class LineSettingsTest : public ::testing::TestWithParam<SettingsRow> {};

TEST_P(LineSettingsTest, readsSpeedAndCharacterFrameFromTheTerminal) {
    const SettingsRow row = GetParam();
    termios t{};
    t.c_cflag = row.flags;
    cfsetispeed(&t, row.speed);
    cfsetospeed(&t, row.speed);
    const LineSettings s = settingsOf(t);
    EXPECT_EQ(s.baud, row.baud);
    EXPECT_EQ(s.parity, row.parity);
    EXPECT_EQ(s.bitsPerChar(), row.bitsPerChar);
}

INSTANTIATE_TEST_SUITE_P(Frames, LineSettingsTest,
                         ::testing::Values(SettingsRow{B19200, CS8 | CSTOPB, 19200, 'N', 11},
                                           SettingsRow{B9600, CS8, 9600, 'N', 10},
                                           SettingsRow{B9600, CS7 | PARENB, 9600, 'E', 10},
                                           SettingsRow{B2400, CS8 | PARENB | PARODD, 2400, 'O', 11},
                                           SettingsRow{B4800, CS8 | PARENB | CMSPAR | CSTOPB, 4800, 'S', 12},
                                           SettingsRow{B115200, CS8, 115200, 'N', 10}));

TEST(LineSettingsTest, characterTimeIsBitsOverBaud) {
    const LineSettings s{.baud = 9600, .parity = 'N', .dataBits = 8, .stopBits = 2};
    EXPECT_EQ(s.charTime().count(), 1145);  // 11 bits at 9600 baud
    EXPECT_EQ(LineSettings{.baud = 0}.charTime().count(), 0);
}

TEST(ConfigTest, readsMetersWithDefaultsAndOverrides) {
    const SimConfig config = parseConfig(R"({
        "turnaround_ms": 5,
        "meters": [
          {"station": 1, "model": "T3", "registers": {"0": -5, "33": 2}},
          {"station": 200, "model": "HM15", "baud": 9600, "pv": 30.5, "noise": 0,
           "fault": "late", "delay_ms": 700},
          {"station": 9, "model": 68}
        ]})");
    EXPECT_EQ(config.turnaroundMs, 5);
    ASSERT_EQ(config.meters.size(), 3U);
    EXPECT_EQ(config.meters[0].baud, 19200);
    ASSERT_EQ(config.meters[0].registers.size(), 2U);
    EXPECT_EQ(config.meters[0].registers[0].value, 65531);
    EXPECT_EQ(config.meters[1].modelCode, 67);
    EXPECT_EQ(config.meters[1].baud, 9600);
    EXPECT_EQ(config.meters[1].pv, 30.5);
    EXPECT_EQ(config.meters[1].fault.kind, FaultKind::Late);
    EXPECT_EQ(config.meters[1].fault.delayMs, 700);
    EXPECT_EQ(config.meters[2].modelCode, 68);
}

TEST(ConfigTest, refusesWhatNoMeterCouldBe) {
    const std::vector<std::pair<const char*, const char*>> rows{
        {R"({"meters":[{"station":1,"model":"T3"},{"station":1,"model":"ZC37"}]})", "already taken"},
        {R"({"meters":[{"station":0,"model":"T3"}]})", "station"},
        {R"({"meters":[{"station":256,"model":"T3"}]})", "station"},
        {R"({"meters":[{"station":1,"model":"T4"}]})", "unknown model"},
        {R"({"meters":[{"station":1,"model":"T3","baud":38400}]})", "baud"},
        {R"({"meters":[{"station":1,"model":"ZC37","registers":{"58":1}}]})", "not a holding register"},
        {R"({"meters":[{"station":1,"model":"T3","registers":{"0":70000}}]})", "registers"},
        {R"({"meters":[{"station":1,"model":"T3","stations":2}]})", "unknown key"},
        {R"({"meters":[{"station":1,"model":"T3","fault":"slow"}]})", "unknown fault"},
        {R"({"meters":[{"station":1}]})", "model"},
        {R"({"meter":[]})", "unknown key"},
        {R"([1,2])", "JSON object"},
        {R"({"meters":[)", "not valid JSON"},
    };
    for (const auto& [json, wording] : rows) {
        try {
            (void)parseConfig(json);
            ADD_FAILURE() << "accepted: " << json;
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(wording), std::string::npos)
                << json << " -> " << error.what();
        }
    }
}

}  // namespace
}  // namespace dalmora::sim
