#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console/settings_file.h"
#include "fakes/fake_notifier.h"
#include "settings/temp_folder.h"

namespace dalmora {
namespace {

using testing::FakeNotifier;
using testing::readWholeFile;
using testing::recordOf;
using testing::sixteen;
using testing::slice;
using testing::TempFolder;
using testing::writeWholeFile;
using Image = std::vector<std::uint8_t>;

std::string errorText(const std::string& place, int number, const std::string& reason) {
    return place + "\r\nWrong code: " + std::to_string(number) + "\r\nWrong reasons: " + reason;
}

// The file a first start writes: the serial defaults, "---" for every model, ID and
// description, "0" in the reserved records and sixteen empty decimal-point texts.
Image defaultFile() {
    Image file = {0x04, 0x00, 'C', 'O', 'M', '1',
                  0x05, 0x00, '1', '9', '2', '0', '0',
                  0x01, 0x00, '2',
                  0x01, 0x00, '8',
                  0x04, 0x00, 'N', 'o', 'n', 'e'};
    file.resize(128, 0);
    for (const auto& texts : {sixteen("---"), sixteen("---"), sixteen("0"), sixteen("0"), sixteen("0"),
                              sixteen(""), sixteen("---")}) {
        const Image record = recordOf(texts);
        file.insert(file.end(), record.begin(), record.end());
    }
    return file;
}

class SettingsFileTest : public ::testing::Test {
protected:
    [[nodiscard]] std::filesystem::path file() const { return settingsFilePath(folder.path()); }
    [[nodiscard]] Image fileBytes() const { return readWholeFile(file()); }
    [[nodiscard]] Image record(int n) const { return slice(fileBytes(), static_cast<std::size_t>(n - 1) * 128, 128); }

    TempFolder folder;
    SharedState state;
    FakeNotifier notifier;
};

TEST_F(SettingsFileTest, missingFileIsCreatedWithTheEightDefaultRecords) {
    Load_Settings(state, folder.path(), notifier);

    EXPECT_EQ(fileBytes(), defaultFile());
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_EQ(notifier.beeps, 0);
    EXPECT_EQ(state.serial.Port_Name, "COM1");
    EXPECT_EQ(state.serial.Baud_Rate, "19200");
    EXPECT_EQ(state.serial.Stop_Bits, "2");
    EXPECT_EQ(state.serial.Data_Bits, "8");
    EXPECT_EQ(state.serial.Parity_Name, "None");
    for (const Slot& slot : state.slots) {
        EXPECT_EQ(slot.Slot_Model, "---");
        EXPECT_EQ(slot.Slot_ID, "---");
        EXPECT_EQ(slot.Slot_Description, "---");
        EXPECT_EQ(slot.Slot_Station, "0");
        EXPECT_EQ(slot.Decimal_Point_Code, 0);
    }
}

TEST_F(SettingsFileTest, fileOfTheFirstThreeRecordsIsCompletedAndKeepsThem) {
    std::vector<std::string> ids = sixteen("---");
    ids[0] = "001";
    ids[15] = "017";
    std::vector<std::string> descriptions = sixteen("---");
    descriptions[0] = "Oven zone 1";
    Image start = recordOf({"COM3", "9600", "1", "7", "Even"});
    for (const Image& record : {recordOf(ids), recordOf(descriptions)}) {
        start.insert(start.end(), record.begin(), record.end());
    }
    writeWholeFile(file(), start);

    Load_Settings(state, folder.path(), notifier);

    const Image bytes = fileBytes();
    ASSERT_EQ(bytes.size(), 1024u);
    EXPECT_EQ(slice(bytes, 0, 384), start);
    EXPECT_EQ(slice(bytes, 384, 128), recordOf(sixteen("0")));
    EXPECT_EQ(slice(bytes, 512, 128), recordOf(sixteen("0")));
    EXPECT_EQ(slice(bytes, 640, 128), recordOf(sixteen("0")));
    EXPECT_EQ(slice(bytes, 768, 128), Image(128, 0)) << "sixteen empty decimal-point texts";
    EXPECT_EQ(slice(bytes, 896, 128), recordOf(sixteen("---")));
    EXPECT_TRUE(notifier.messages.empty());

    EXPECT_EQ(state.serial.Port_Name, "COM3");
    EXPECT_EQ(state.serial.Parity_Name, "Even");
    EXPECT_EQ(state.slots[0].Slot_Description, "Oven zone 1");
    EXPECT_EQ(state.slots[0].Slot_Station, "1");
    EXPECT_EQ(state.slots[15].Slot_Station, "17");
    EXPECT_EQ(state.slots[15].Slot_Model, "---");
}

TEST_F(SettingsFileTest, reservedRecordsGoBackAsReadUnlessATextIsEmpty) {
    Load_Settings(state, folder.path(), notifier);
    Image bytes = fileBytes();
    // Record 4 as another version may have written it: sixteen texts and non-zero filler.
    Image record4 = recordOf({"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P"});
    for (std::size_t i = 48; i < 128; ++i) record4[i] = static_cast<std::uint8_t>(i);
    // Record 5 with two empty texts: those take "0", the record is written afresh.
    std::vector<std::string> texts5 = sixteen("x");
    texts5[3] = "";
    texts5[15] = "";
    Image record5 = recordOf(texts5);
    record5[127] = 0xEE;
    std::copy(record4.begin(), record4.end(), bytes.begin() + 384);
    std::copy(record5.begin(), record5.end(), bytes.begin() + 512);
    writeWholeFile(file(), bytes);

    SharedState next;
    Load_Settings(next, folder.path(), notifier);

    texts5[3] = "0";
    texts5[15] = "0";
    EXPECT_EQ(record(4), record4);
    EXPECT_EQ(record(5), recordOf(texts5));
    EXPECT_EQ(record(6), recordOf(sixteen("0")));
    EXPECT_EQ(next.Reserved_Texts[0][15], "P");
    EXPECT_TRUE(notifier.messages.empty());
}

// Record 8 holds sixteen models in 128 bytes; with the others "---", nine "N5,N6,N8" fit
// (9 x 10 + 7 x 5 = 125 bytes), ten do not (130).
struct ModelRecordRow {
    int n5Slots;
    bool fits;
};

class ModelRecordTest : public SettingsFileTest, public ::testing::WithParamInterface<ModelRecordRow> {};

TEST_P(ModelRecordTest, modelsThatDoNotFitLeaveTheOldRecordAndAreReportedOnce) {
    Load_Settings(state, folder.path(), notifier);
    const Image before = record(8);
    std::vector<std::string> models = sixteen("---");
    for (int slot = 0; slot < GetParam().n5Slots; ++slot) {
        state.slots[static_cast<std::size_t>(slot)].Slot_Model = "N5,N6,N8";
        models[static_cast<std::size_t>(slot)] = "N5,N6,N8";
    }

    const bool written = Save_Record(state, folder.path(), 8, notifier, "At FM_TableSetting_Load()");

    EXPECT_EQ(written, GetParam().fits);
    EXPECT_EQ(fileBytes().size(), 1024u);
    if (GetParam().fits) {
        EXPECT_EQ(record(8), recordOf(models));
        EXPECT_TRUE(notifier.messages.empty());
    } else {
        EXPECT_EQ(record(8), before);
        ASSERT_EQ(notifier.messages.size(), 1u);
        EXPECT_EQ(notifier.beeps, 1);
        EXPECT_EQ(notifier.messages[0].title, "Attention! Wrong");
        EXPECT_EQ(notifier.messages[0].text, errorText("At FM_TableSetting_Load()", 59, "Bad record length"));
        EXPECT_EQ(notifier.messages[0].icon, MessageIcon::Exclamation);
    }
}

INSTANTIATE_TEST_SUITE_P(N5Slots, ModelRecordTest,
                         ::testing::Values(ModelRecordRow{9, true}, ModelRecordRow{10, false},
                                           ModelRecordRow{16, false}));

TEST_F(SettingsFileTest, sixteenSixLetterModelsFillTheRecordExactly) {
    for (Slot& slot : state.slots) slot.Slot_Model = "RWN5D8";

    ASSERT_TRUE(Save_Record(state, folder.path(), 8, notifier, "At FM_TableSetting_Load()"));

    Image expected;
    for (int slot = 0; slot < 16; ++slot) {
        expected.insert(expected.end(), {0x06, 0x00, 'R', 'W', 'N', '5', 'D', '8'});
    }
    EXPECT_EQ(record(8), expected);
}

TEST_F(SettingsFileTest, decimalPointCodeRoundTripsThroughRecordSeven) {
    Load_Settings(state, folder.path(), notifier);
    state.slots[5].Decimal_Point_Code = 83;
    state.slots[6].Decimal_Point_Code = -2;

    ASSERT_TRUE(Save_Record(state, folder.path(), 7, notifier, "At FM_Main_Unload()"));
    std::vector<std::string> texts = sixteen("0");
    texts[5] = "83";
    texts[6] = "-2";
    EXPECT_EQ(record(7), recordOf(texts));

    SharedState next;
    next.slots[5].Record_On = true;
    Load_Settings(next, folder.path(), notifier);
    EXPECT_EQ(next.slots[5].Decimal_Point_Code, 83);
    EXPECT_EQ(next.slots[6].Decimal_Point_Code, -2);
    EXPECT_FALSE(next.slots[5].Record_On);
    EXPECT_EQ(record(7), recordOf(texts)) << "start-up writes record 7 back as it read it";
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(SettingsFileTest, savedSerialSettingsReadBackAndStartUpKeepsThem) {
    Load_Settings(state, folder.path(), notifier);
    state.serial = {"COM12", "4800", "1", "7", "Odd"};
    ASSERT_TRUE(Save_Record(state, folder.path(), 1, notifier, "At Control_RS232_Setting_Ok()"));

    SharedState window;
    ASSERT_TRUE(Read_Record(window, folder.path(), 1, notifier, "At FM_SerialSetting_Load()"));
    EXPECT_EQ(window.serial.Port_Name, "COM12");
    EXPECT_EQ(window.serial.Baud_Rate, "4800");
    EXPECT_EQ(window.serial.Parity_Name, "Odd");

    SharedState next;
    Load_Settings(next, folder.path(), notifier);
    EXPECT_EQ(next.serial.Port_Name, "COM12");
    EXPECT_EQ(next.serial.Data_Bits, "7");
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(SettingsFileTest, recordNumberOutsideOneToEightIsReported) {
    EXPECT_FALSE(Save_Record(state, folder.path(), 9, notifier, "At FM_Main_Unload()"));
    EXPECT_FALSE(Read_Record(state, folder.path(), 0, notifier, "At FM_SerialSetting_Load()"));
    EXPECT_EQ(notifier.texts(), (std::vector<std::string>{
                                    errorText("At FM_Main_Unload()", 63, "Bad record number"),
                                    errorText("At FM_SerialSetting_Load()", 63, "Bad record number")}));
    EXPECT_FALSE(std::filesystem::exists(file()));
}

// The settings cannot be written (or not even read): start-up reports it "At FM_Main_Load()",
// goes on with the defaults and loses nothing of the file.
struct UnwritableRow {
    const char* name;
    bool needsNonRoot;  // permission bits do not stop root
};

class UnwritableSettingsTest : public SettingsFileTest, public ::testing::WithParamInterface<UnwritableRow> {};

TEST_P(UnwritableSettingsTest, failureIsReportedAndStartUpGoesOnWithDefaults) {
    const std::string row = GetParam().name;
    if (GetParam().needsNonRoot && ::geteuid() == 0) GTEST_SKIP() << "root writes through permission bits";

    std::filesystem::path programFolder = folder.path();
    Image kept;
    if (row == "missing folder") {
        programFolder /= "gone";
    } else if (row == "file name taken by a folder") {
        std::filesystem::create_directory(file());
    } else {
        kept = recordOf({"COM7", "2400", "1", "8", "Mark"});
        kept.resize(1024, 0x5A);
        writeWholeFile(file(), kept);
        ::chmod(file().c_str(), row == "read-only file" ? 0444 : 0200);
    }

    EXPECT_NO_THROW(Load_Settings(state, programFolder, notifier));

    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.beeps, 1);
    EXPECT_EQ(notifier.messages[0].text.rfind("At FM_Main_Load()\r\nWrong code: ", 0), 0u) << notifier.messages[0].text;
    const std::string expectedPort = row == "read-only file" ? "COM7" : "COM1";
    EXPECT_EQ(state.serial.Port_Name, expectedPort);
    EXPECT_EQ(state.slots[3].Slot_Model, "---");
    EXPECT_EQ(state.slots[3].Slot_Station, "0");

    if (!kept.empty()) {
        ::chmod(file().c_str(), 0644);
        EXPECT_EQ(fileBytes(), kept);
    } else if (row == "missing folder") {
        EXPECT_FALSE(std::filesystem::exists(programFolder));
        EXPECT_FALSE(Save_Record(state, programFolder, 1, notifier, "At Control_RS232_Setting_Ok()"));
        EXPECT_EQ(notifier.messages.size(), 2u);
    } else {
        EXPECT_TRUE(std::filesystem::is_directory(file()));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, UnwritableSettingsTest,
                         ::testing::Values(UnwritableRow{"missing folder", false},
                                           UnwritableRow{"file name taken by a folder", false},
                                           UnwritableRow{"read-only file", true},
                                           UnwritableRow{"unreadable file", true}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name) if (c == ' ' || c == '-') c = '_';
                             return name;
                         });

// The station a slot's ID stands for, and what start-up clears.
TEST(SlotTableTest, stationFollowsTheLeadingNumberOfTheId) {
    const struct {
        const char* id;
        const char* station;
    } rows[] = {{"---", "0"}, {" --- ", "0"}, {"007", "7"}, {"255", "255"}, {"001", "1"},
                {"abc", "0"}, {"", "0"},     {"000", "0"}, {" 12", "12"}, {"12a", "12"}};
    for (const auto& row : rows) {
        EXPECT_EQ(slotStationOf(row.id), row.station) << '"' << row.id << '"';
    }
}

TEST(SlotTableTest, loadSlotTableDerivesStationsClearsRecordingAndRoundsDecimalPoints) {
    SharedState state;
    const struct {
        const char* id;
        const char* decimalPoint;
        const char* station;
        std::int32_t code;
    } rows[] = {
        {"---", "", "0", 0},      {" --- ", "83", "0", 83},   {"007", "2", "7", 2},
        {"255", "2.5", "255", 2}, {"abc", "3.5", "0", 4},     {"", "abc", "0", 0},
        {"010", "-1.5", "10", -2}, {"001", " 1 ", "1", 1},    {"002", "12x", "2", 12},
        {"003", "99999999999", "3", 0},
    };
    std::size_t slot = 0;
    for (const auto& row : rows) {
        state.slots[slot].Slot_ID = row.id;
        state.slots[slot].Record_On = true;
        state.Decimal_Point_Texts[slot] = row.decimalPoint;
        ++slot;
    }

    Load_Slot_Table(state);

    slot = 0;
    for (const auto& row : rows) {
        const Slot& s = state.slots[slot++];
        EXPECT_EQ(s.Slot_Station, row.station) << '"' << row.id << '"';
        EXPECT_EQ(s.Decimal_Point_Code, row.code) << '"' << row.decimalPoint << '"';
        EXPECT_FALSE(s.Record_On);
    }
}

}  // namespace
}  // namespace dalmora
