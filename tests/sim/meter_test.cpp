// The simulated meters without a line: register maps, answers, process behaviour, faults.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "fakes/fake_serial_port.h"
#include "link/modbus.h"
#include "sim/meter.h"

namespace dalmora::sim {
namespace {

Bytes request(int station, int function, int address, int word) {
    return withCrc({static_cast<std::uint8_t>(station), static_cast<std::uint8_t>(function),
                    static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address & 0xFF),
                    static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)});
}

// What the console's link layer makes of a reply.
ResponseResult judged(const Bytes& reply) {
    testing::FakeSerialPort port;
    port.setOpen(true);
    port.queue(reply);
    LinkBuffers buffers;
    return Check_Response(port, buffers);
}

MeterSetup setupOf(const std::string& model, std::vector<InitialValue> registers = {}, double pv = 25.0) {
    MeterSetup setup;
    setup.station = 7;
    setup.modelCode = findModel(model)->code;
    setup.pv = pv;
    setup.noise = 0;
    setup.registers = std::move(registers);
    return setup;
}

std::uint16_t read(Meter& meter, int reg) { return *meter.readRegister(static_cast<std::uint16_t>(reg)); }

// The sizes the console asks for, per model: the whole parameter block and the live block must
// be answered, one register more must not.
struct MapRow {
    const char* model;
    int holding;
    int live;
    std::uint8_t code;
};
void PrintTo(const MapRow& row, std::ostream* out) { *out << row.model; }
class ModelMapTest : public ::testing::TestWithParam<MapRow> {};

TEST_P(ModelMapTest, answersExactlyTheBlocksTheConsoleReads) {
    const MapRow row = GetParam();
    Meter meter(setupOf(row.model));

    const Bytes all = meter.answer(request(7, 3, 0, row.holding));
    EXPECT_EQ(all.size(), 5U + 2U * row.holding);
    EXPECT_EQ(judged(all), ResponseResult::Accepted);
    EXPECT_EQ(all[2], (2 * row.holding) & 0xFF);
    const Bytes live = meter.answer(request(7, 4, 4096, row.live));
    EXPECT_EQ(live.size(), 5U + 2U * row.live);
    EXPECT_EQ(judged(live), ResponseResult::Accepted);
    const Bytes code = meter.answer(request(7, 4, 7936, 1));
    EXPECT_EQ(registerAt(code, 0), row.code << 8);

    EXPECT_EQ(judged(meter.answer(request(7, 3, 0, row.holding + 1))), ResponseResult::IllegalAddress);
    EXPECT_EQ(judged(meter.answer(request(7, 3, row.holding, 1))), ResponseResult::IllegalAddress);
    EXPECT_EQ(judged(meter.answer(request(7, 4, 4096, row.live + 1))), ResponseResult::IllegalAddress);
    EXPECT_EQ(judged(meter.answer(request(7, 4, 4095, 1))), ResponseResult::IllegalAddress);
    EXPECT_EQ(judged(meter.answer(request(7, 4, 7936, 2))), ResponseResult::IllegalAddress);
    EXPECT_EQ(judged(meter.answer(request(7, 4, 0, 1))), ResponseResult::IllegalAddress);
    EXPECT_EQ(judged(meter.answer(request(7, 3, 4096, 1))), ResponseResult::IllegalAddress);
    EXPECT_EQ(judged(meter.answer(request(7, 6, row.holding, 1))), ResponseResult::IllegalAddress);
    EXPECT_EQ(judged(meter.answer(request(7, 6, 4096, 1))), ResponseResult::IllegalAddress);
    EXPECT_EQ(judged(meter.answer(request(7, 3, 0, 0))), ResponseResult::IllegalValue);
    for (int function : {1, 2, 5, 0x0F, 0x10, 0x2B}) {
        EXPECT_EQ(meter.answer(request(7, function, 0, 1)),
                  withCrc({7, static_cast<std::uint8_t>(function | 0x80), 1}))
            << "function " << function;
    }
}

INSTANTIATE_TEST_SUITE_P(Models, ModelMapTest,
                         ::testing::Values(MapRow{"T3", 68, 22, 64}, MapRow{"N5,N6,N8", 68, 22, 65},
                                           MapRow{"Q71", 70, 22, 66}, MapRow{"HM15", 140, 29, 67},
                                           MapRow{"RWN5D8", 140, 29, 69}, MapRow{"ZC37", 58, 17, 70}),
                         [](const auto& info) {
                             std::string name = info.param.model;
                             return name.substr(0, name.find(','));
                         });

TEST(MeterTest, modelCodeTheConsoleDoesNotDriveUsesTheT3LayoutAndReportsItsOwnCode) {
    MeterSetup setup = setupOf("T3");
    setup.modelCode = 68;
    Meter meter(setup);
    EXPECT_EQ(registerAt(meter.answer(request(7, 4, 7936, 1)), 0), 68 << 8);
    EXPECT_EQ(judged(meter.answer(request(7, 4, 4096, 22))), ResponseResult::Accepted);
}

// Where each family keeps SV, DP and PV: a written SV and a written DP show on the next read.
struct ScalingRow {
    const char* model;
    int svRegister;    // holding
    int dpRegister;    // holding
    int oneDecimal;    // DP code for one decimal
    int twoDecimals;
    int pvLive;
    int svLive;
};
void PrintTo(const ScalingRow& row, std::ostream* out) { *out << row.model; }
class ScalingTest : public ::testing::TestWithParam<ScalingRow> {};

TEST_P(ScalingTest, writtenSvAndDpShowOnTheNextPoll) {
    const ScalingRow row = GetParam();
    Meter meter(setupOf(row.model, {{static_cast<std::uint16_t>(row.dpRegister), static_cast<std::uint16_t>(row.oneDecimal)},
                                    {static_cast<std::uint16_t>(row.svRegister), 250}},
                        25.0));
    EXPECT_EQ(read(meter, row.pvLive), 250);
    EXPECT_EQ(read(meter, row.svLive), 250);

    EXPECT_EQ(judged(meter.answer(request(7, 6, row.svRegister, 300))), ResponseResult::Accepted);
    EXPECT_EQ(read(meter, row.svLive), 300);

    const Bytes echo = meter.answer(request(7, 6, row.dpRegister, row.twoDecimals));
    EXPECT_EQ(echo, request(7, 6, row.dpRegister, row.twoDecimals));
    EXPECT_EQ(read(meter, row.pvLive), 2500) << "PV 25.0 shown with two decimals";
    EXPECT_EQ(read(meter, row.svLive), 300) << "SV keeps its register value";
}

INSTANTIATE_TEST_SUITE_P(Families, ScalingTest,
                         ::testing::Values(ScalingRow{"T3", 0, 33, 1, 2, 4096, 4097},
                                           ScalingRow{"N5,N6,N8", 0, 33, 1, 2, 4096, 4097},
                                           ScalingRow{"Q71", 0, 33, 1, 2, 4096, 4097},
                                           ScalingRow{"ZC37", 0, 24, 1, 2, 4096, 4097},
                                           ScalingRow{"HM15", 0, 26, 83, 84, 4096, 4109},
                                           ScalingRow{"RWN5D8", 0, 26, 83, 84, 4096, 4109}),
                         [](const auto& info) {
                             std::string name = info.param.model;
                             return name.substr(0, name.find(','));
                         });

TEST(MeterTest, zc37ScalesByRegister24NotByItsBaudRegister33) {
    Meter meter(setupOf("ZC37", {{24, 0}}, 25.0));
    EXPECT_EQ(read(meter, 4096), 25);
    meter.setRegister(33, 2);
    EXPECT_EQ(read(meter, 4096), 25);
    EXPECT_EQ(meter.baud(), 9600);
}

// Values a register cannot take are refused with exception 3 and leave the register as it was.
struct RefusalRow {
    const char* model;
    int reg;
    int refused;
    int accepted;
};
void PrintTo(const RefusalRow& row, std::ostream* out) {
    *out << row.model << " register " << row.reg << " value " << row.refused;
}
class RefusalTest : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(RefusalTest, valueOutsideTheListIsExceptionThree) {
    const RefusalRow row = GetParam();
    Meter meter(setupOf(row.model));
    const std::uint16_t before = read(meter, row.reg);
    EXPECT_EQ(judged(meter.answer(request(7, 6, row.reg, row.refused))), ResponseResult::IllegalValue);
    EXPECT_EQ(read(meter, row.reg), before);
    EXPECT_EQ(judged(meter.answer(request(7, 6, row.reg, row.accepted))), ResponseResult::Accepted);
    EXPECT_EQ(read(meter, row.reg), row.accepted);
}

INSTANTIATE_TEST_SUITE_P(Lists, RefusalTest,
                         ::testing::Values(RefusalRow{"T3", 33, 4, 3}, RefusalRow{"T3", 3, 7, 6},
                                           RefusalRow{"N5,N6,N8", 3, 5, 4}, RefusalRow{"N5,N6,N8", 39, 8, 7},
                                           RefusalRow{"Q71", 39, 16, 15}, RefusalRow{"ZC37", 24, 4, 2},
                                           RefusalRow{"ZC37", 30, 6, 5}, RefusalRow{"HM15", 26, 86, 85},
                                           RefusalRow{"HM15", 26, 81, 82}, RefusalRow{"HM15", 32, 80, 152},
                                           RefusalRow{"HM15", 104, 143, 145}, RefusalRow{"HM15", 7, 112, 111},
                                           RefusalRow{"RWN5D8", 7, 102, 106}));

TEST(MeterTest, alarmSetpointWriteLightsItsLampOnTheNextPoll) {
    // T3: A1 high alarm, lamp A1 is bit 2 of FLAG (4100). HM15: A1 is bit 0 of FLAG (4099).
    Meter t3(setupOf("T3", {{33, 1}, {4, 1200}, {6, 1}}, 25.0));
    EXPECT_EQ(read(t3, 4100) & 0x4, 0);
    EXPECT_EQ(judged(t3.answer(request(7, 6, 4, 200))), ResponseResult::Accepted);
    EXPECT_EQ(read(t3, 4100) & 0x4, 0x4);

    Meter hm15(setupOf("HM15", {{26, 83}, {1, 1200}, {32, 72}}, 25.0));
    EXPECT_EQ(read(hm15, 4099) & 0x1, 0);
    EXPECT_EQ(read(hm15, 4101) & 0x1, 0);
    EXPECT_EQ(judged(hm15.answer(request(7, 6, 1, 200))), ResponseResult::Accepted);
    EXPECT_EQ(read(hm15, 4099) & 0x1, 0x1);
    EXPECT_EQ(read(hm15, 4101) & 0x1, 0x1);
}

TEST(MeterTest, alarmDelayCountsDownInTenthsBeforeTheLampLights) {
    // A2 low alarm at 50.0 with a 5 s delay; PV 25.0 is below it from the start.
    Meter meter(setupOf("T3", {{33, 1}, {9, 500}, {11, 2}, {13, 5}, {0, 250}}, 25.0));
    const auto remaining = [&] { return read(meter, 4105) | (read(meter, 4106) << 16); };
    EXPECT_EQ(remaining(), 50);
    EXPECT_EQ(read(meter, 4100) & 0x8, 0);
    meter.advance(2.0);
    EXPECT_EQ(remaining(), 30);
    EXPECT_EQ(read(meter, 4100) & 0x8, 0);
    meter.advance(3.5);
    EXPECT_EQ(read(meter, 4100) & 0x8, 0x8);
    EXPECT_EQ(read(meter, 4105), 0xFFFF) << "no delay running once lit";
    EXPECT_EQ(read(meter, 4106), 0xFFFF);
}

TEST(MeterTest, pvMovesTowardsSvAndTheOutputFollowsTheError) {
    Meter meter(setupOf("T3", {{33, 1}, {0, 1000}}, 25.0));
    int previous = read(meter, 4096);
    EXPECT_GT(read(meter, 4098), 0) << "heating while below SV";
    for (int i = 0; i < 5; ++i) {
        meter.advance(2.0);
        const int pv = read(meter, 4096);
        EXPECT_GT(pv, previous);
        EXPECT_LT(pv, 1000);
        previous = pv;
    }
    meter.setProcessValue(150.0);
    EXPECT_EQ(read(meter, 4098), 0) << "no heating above SV";
    EXPECT_NE(read(meter, 4100) & 0x2, 0) << "C2 (cooling) lit above SV";
    meter.setRegister(3, 0);  // RUN OFF
    meter.advance(60.0);
    EXPECT_LT(read(meter, 4096), 300) << "with the control off PV falls back to the room";
}

TEST(MeterTest, negativePvOffsetIsAddedAsTwosComplement) {
    Meter meter(setupOf("T3", {{33, 1}, {1, static_cast<std::uint16_t>(-15 + 65536)}}, 25.0));
    EXPECT_EQ(read(meter, 4096), 235);
}

TEST(MeterTest, writtenIdMovesTheMeterToItsNewStation) {
    Meter meter(setupOf("T3"));
    EXPECT_EQ(meter.station(), 7);
    EXPECT_EQ(judged(meter.answer(request(7, 6, 42, 9))), ResponseResult::Accepted);
    EXPECT_EQ(meter.station(), 9);
    EXPECT_EQ(judged(meter.answer(request(9, 6, 42, 0))), ResponseResult::IllegalValue);
}

// Each fault as the console's link layer judges it.
struct FaultRow {
    const char* name;
    Fault fault;
    ResponseResult expected;
};
void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.name; }
class FaultTest : public ::testing::TestWithParam<FaultRow> {};

TEST_P(FaultTest, replyIsJudgedAsTheFaultIntends) {
    Meter meter(setupOf("T3"));
    meter.fault = GetParam().fault;
    for (const Bytes& r : {request(7, 4, 4096, 22), request(7, 3, 0, 68), request(7, 6, 0, 250)}) {
        const auto reply = meter.respond(r);
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(judged(reply->bytes), GetParam().expected) << "function " << int{r[1]};
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    ::testing::Values(FaultRow{"none", Fault{}, ResponseResult::Accepted},
                      FaultRow{"crc", Fault{.kind = FaultKind::CrcError}, ResponseResult::CrcError},
                      FaultRow{"short", Fault{.kind = FaultKind::Short}, ResponseResult::Other},
                      FaultRow{"exception1", Fault{.kind = FaultKind::Exception, .exceptionCode = 1},
                               ResponseResult::IllegalFunction},
                      FaultRow{"exception2", Fault{.kind = FaultKind::Exception}, ResponseResult::IllegalAddress},
                      FaultRow{"exception3", Fault{.kind = FaultKind::Exception, .exceptionCode = 3},
                               ResponseResult::IllegalValue},
                      FaultRow{"exception4", Fault{.kind = FaultKind::Exception, .exceptionCode = 4},
                               ResponseResult::Other},
                      FaultRow{"late", Fault{.kind = FaultKind::Late}, ResponseResult::Accepted}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MeterFaultTest, silentMeterSendsNothingAndIgnoresTheWrite) {
    Meter meter(setupOf("T3", {{0, 1000}}));
    meter.fault.kind = FaultKind::Silent;
    EXPECT_FALSE(meter.respond(request(7, 6, 0, 250)).has_value());
    EXPECT_EQ(read(meter, 0), 1000);
}

TEST(MeterFaultTest, lateReplyIsTheSoundReplyDelayed) {
    Meter meter(setupOf("T3"));
    meter.fault = Fault{.kind = FaultKind::Late, .delayMs = 450};
    const auto reply = meter.respond(request(7, 4, 7936, 1));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->delayMs, 450);
    EXPECT_EQ(reply->bytes, meter.answer(request(7, 4, 7936, 1)));
}

TEST(MeterFaultTest, shortFrameWithRegistersPassesTheCheckButCarriesFewerRegisters) {
    Meter meter(setupOf("T3"));
    meter.fault = Fault{.kind = FaultKind::Short, .registers = 1};
    const auto reply = meter.respond(request(7, 4, 4096, 22));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->bytes.size(), 7U);
    EXPECT_EQ(judged(reply->bytes), ResponseResult::Accepted);
    EXPECT_EQ(reply->bytes[2], 2);
}

TEST(MeterFaultTest, garbageIsNeverJudgedAGoodReply) {
    Meter meter(setupOf("T3"));
    meter.fault.kind = FaultKind::Garbage;
    std::set<ResponseResult> seen;
    for (int i = 0; i < 500; ++i) {
        const auto reply = meter.respond(request(7, 4, 4096, 22));
        ASSERT_TRUE(reply.has_value());
        const ResponseResult result = judged(reply->bytes);
        EXPECT_TRUE(result == ResponseResult::CrcError || result == ResponseResult::Other)
            << static_cast<int>(result);
        seen.insert(result);
    }
    EXPECT_EQ(seen.size(), 2U) << "both CRC errors and odd lengths turn up";
}

}  // namespace
}  // namespace dalmora::sim
