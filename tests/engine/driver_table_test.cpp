#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "console/driver_table.h"
#include "console/slot_rules.h"
#include "fakes/fake_engine_host.h"
#include "fakes/fake_model_driver.h"
#include "fakes/fake_tile_canvas.h"

namespace dalmora {
namespace {

using testing::RecordingDriver;

TEST(ModelTable, listsTheModelsInDispatchOrderWithTheirRequestSizes) {
    struct Expected {
        const char* name;
        int live;
        int all;
        bool liveValues;
    };
    const Expected expected[] = {{"T3", 22, 68, true},      {"N5,N6,N8", 22, 68, true},  {"Q71", 22, 70, false},
                                 {"HM15", 29, 140, true},   {"RWN5D8", 29, 140, true}, {"ZC37", 17, 58, true}};
    ASSERT_EQ(kModels.size(), std::size(expected));
    for (std::size_t i = 0; i < kModels.size(); ++i) {
        EXPECT_EQ(kModels[i].name, expected[i].name);
        EXPECT_EQ(kModels[i].liveCount, expected[i].live) << expected[i].name;
        EXPECT_EQ(kModels[i].allParamCount, expected[i].all) << expected[i].name;
        EXPECT_EQ(kModels[i].hasLiveValues, expected[i].liveValues) << expected[i].name;
    }
}

TEST(ModelTable, findsOnlyExactNames) {
    for (const ModelInfo& model : kModels) EXPECT_EQ(findModel(model.name), &model);
    for (const char* name : {"---", "", "t3", "T3 ", " T3", "N5", "N5,N6,N8 ", "zc37", "HM15+"}) {
        EXPECT_EQ(findModel(name), nullptr) << '"' << name << '"';
    }
}

TEST(DriverTable, registeredDriverReplacesTheIdleOneOfItsModelOnly) {
    DriverTable table;
    RecordingDriver hm15;
    EXPECT_TRUE(table.registerDriver("HM15", hm15));
    EXPECT_FALSE(table.registerDriver("HM16", hm15));
    ASSERT_NE(table.find("HM15"), nullptr);
    EXPECT_EQ(table.find("HM15")->driver, &hm15);
    EXPECT_EQ(table.find("HM15")->model, findModel("HM15"));
    EXPECT_NE(table.find("RWN5D8")->driver, &hm15);
    EXPECT_EQ(table.find("---"), nullptr);
}

TEST(DriverTable, idleDriverDoesNothing) {
    DriverTable table;
    SharedState state;
    state.Write_Value = 1234;
    testing::FakeTileCanvas tiles;
    testing::FakeNotifier notifier;
    DriverContext context{state, tiles, nullptr, notifier};
    ModelDriver& driver = *table.find("T3")->driver;
    driver.Decode_Values_Block(context);
    driver.Paint_Panel(context);
    driver.Decode_Read_All(context);
    driver.Decode_Read_One(context);
    driver.Write_Parameter(context);
    EXPECT_EQ(state.Write_Value, 1234);
    EXPECT_TRUE(tiles.drawn.empty());
}

TEST(SlotRules, stationIsAnIdFromOneTo255) {
    const struct {
        const char* id;
        std::optional<int> station;
    } rows[] = {{"001", 1},        {"005", 5},           {"255", 255},          {"17", 17},
                {" 042 ", 42},     {"000", std::nullopt}, {"256", std::nullopt}, {"999", std::nullopt},
                {"---", std::nullopt}, {"abc", std::nullopt}, {"", std::nullopt}, {"1a", std::nullopt},
                {"-1", std::nullopt},  {"0000000000001", 1}};
    for (const auto& row : rows) {
        Slot slot;
        slot.Slot_ID = row.id;
        const auto station = stationOf(slot);
        EXPECT_EQ(station ? std::optional<int>(*station) : std::nullopt, row.station) << '"' << row.id << '"';
    }
}

TEST(SlotRules, pollableNeedsAStationAndAKnownModel) {
    const struct {
        const char* model;
        const char* id;
        bool pollable;
    } rows[] = {{"T3", "001", true},   {"Q71", "255", true},  {"ZC37", "000", false},
                {"---", "001", false}, {"T3", "---", false},  {"t3", "001", false}};
    for (const auto& row : rows) {
        Slot slot;
        slot.Slot_Model = row.model;
        slot.Slot_ID = row.id;
        EXPECT_EQ(isPollable(slot), row.pollable) << row.model << " " << row.id;
    }
}

}  // namespace
}  // namespace dalmora
