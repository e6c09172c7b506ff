#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console/shared_state.h"
#include "drivers/record_file_system_os.h"
#include "drivers/record_files.h"
#include "fakes/fake_notifier.h"
#include "fakes/fake_record_fs.h"
#include "records/records_world.h"

namespace dalmora::testing {
namespace {

const std::string kT3Header =
    "Time,PV0,SV0,OUT1,WKNO,FLAG,POUT,IOUT,DOUT,PBAND,ARW,RAMP_T,ALM1_T,ALM2_T,AD0,AD1";
const std::string kT3Values =
    "v4108,v4107,v4098,v4099,v4100,v4111,v4112,v4113,v4114,v4115,v4102,v4104,v4106,v4116,v4117";
const std::string kZC37Header = "Time,PV,SV,OUTL,WKNO,FLAG,POUT,IOUT,DOUT,PBAND,ALM1_T,AD0,AD1";
const std::string kZC37Values = "v4104,v4103,v4098,v4099,v4100,v4107,v4108,v4109,v4110,v4102,v4111,v4112";
const std::string kHM15Header =
    "Time,ROOMT,PV,SV,OUT1,OUT2,ETO,ET1,ET2,PBAND,ARW,POUT,IOUT,DOUT,CPOUT,FLAG,AFLAG,AD0,AD1,PL,PH,TOF,TON";
const std::string kHM15Values =
    "v4106,v4096,v4109,v4097,v4098,v4110,v4111,v4112,v4113,v4114,v4115,v4116,v4117,v4118,v4099,v4101,v4119,"
    "v4120,v4121,v4122,v4123,v4124";

// The writer in a program folder of its own, on real files or in memory, at 11 Dec 2026 12:30:05.
template <class Files>
class WriterWorld : public ::testing::Test {
protected:
    void meter(int slot, const std::string& model, const std::string& station, bool recording = true) {
        Slot& place = state.slots[static_cast<std::size_t>(slot)];
        place.Slot_Model = model;
        place.Slot_Station = station;
        place.Record_On = recording;
    }
    void row(int slot, const RecordModel& model = kT3Record) { writer.Append_Record_Row(slot, model, values); }
    [[nodiscard]] bool recording(int slot) const { return state.slots[static_cast<std::size_t>(slot)].Record_On; }

    RecordFolder folder;
    SharedState state;
    Files files;
    FakeLocalClock clock{{2026, 12, 11, 12, 30, 5}};
    FakeNotifier notifier;
    FakeRecordIndicator indicator;
    RecordWriter writer{state, files, clock, notifier, indicator, folder.path().string()};
    LiveValueTable values = namedLiveValues();
};

using RecordWriterTest = WriterWorld<OsRecordFileSystem>;
using RecordWriterMemoryTest = WriterWorld<FakeRecordFileSystem>;

TEST_F(RecordWriterTest, firstRowStartsFileNamedAfterModelStationAndMinuteWithColumnNamesFirst) {
    meter(0, "T3", "7");
    row(0);

    EXPECT_EQ(folder.names(), std::set<std::string>{"T3 7 2612111230.Csv"});
    EXPECT_EQ(readText(folder.file("T3 7 2612111230.Csv")), kT3Header + "\r\n12:30:05," + kT3Values + "\r\n");
    EXPECT_EQ(writer.Record_File_Name(0), "T3 7 2612111230");
    EXPECT_EQ(writer.Record_Row_Count(0), 1);
    EXPECT_EQ(writer.recordFilePath(0), folder.file("T3 7 2612111230.Csv"));
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(RecordWriterTest, everyModelWritesItsColumnsInBothLinesWithCrLfEnds) {
    struct Case {
        std::string model;
        const RecordModel* record;
        std::string header;
        std::string values;
        std::size_t fieldCount;
        std::string fileName;
    };
    const std::vector<Case> cases = {
        {"T3", &kT3Record, kT3Header, kT3Values, 16, "T3 1 2612111230.Csv"},
        {"N5,N6,N8", &kN5Record, kT3Header, kT3Values, 16, "N5,N6,N8 2 2612111230.Csv"},
        {"ZC37", &kZC37Record, kZC37Header, kZC37Values, 13, "ZC37 3 2612111230.Csv"},
        {"HM15", &kHM15Record, kHM15Header, kHM15Values, 23, "HM15 4 2612111230.Csv"},
        {"RWN5D8", &kRWN5D8Record, kHM15Header, kHM15Values, 23, "RWN5D8 5 2612111230.Csv"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.model);
        const int slot = static_cast<int>(i);
        meter(slot, c.model, std::to_string(i + 1));
        clock.time.second = 5;
        row(slot, *c.record);
        clock.time.second = 6;
        row(slot, *c.record);

        bool wellEnded = false;
        const std::vector<std::string> lines = crlfLines(readText(folder.file(c.fileName)), &wellEnded);
        EXPECT_TRUE(wellEnded);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], c.header);
        EXPECT_EQ(lines[1], "12:30:05," + c.values);
        EXPECT_EQ(lines[2], "12:30:06," + c.values);
        for (const std::string& line : lines) EXPECT_EQ(fields(line).size(), c.fieldCount) << line;
    }
}

TEST(RecordLineFormat, timeAndFileNameUseTwoDigitsForEveryPart) {
    struct Case {
        LocalDateTime time;
        std::string timeField;
        std::string baseName;
    };
    const std::vector<Case> cases = {
        {{2026, 12, 11, 12, 30, 5}, "12:30:05", "HM15 7 2612111230"},
        {{2015, 5, 28, 0, 0, 0}, "00:00:00", "HM15 7 1505280000"},
        {{2015, 5, 28, 23, 59, 59}, "23:59:59", "HM15 7 1505282359"},
        {{2000, 1, 2, 3, 4, 9}, "03:04:09", "HM15 7 0001020304"},
        {{2109, 10, 31, 9, 7, 10}, "09:07:10", "HM15 7 0910310907"},
    };
    const LiveValueTable values = namedLiveValues();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timeField);
        EXPECT_EQ(recordDataLine(kHM15RecordColumns, values, c.time), c.timeField + "," + kHM15Values);
        EXPECT_EQ(recordFileBaseName("  HM15 ", " 7  ", c.time), c.baseName);
    }
}

TEST_F(RecordWriterTest, laterRowsContinueTheFileAcrossMinutesAndAfterRecordingIsSwitchedBackOn) {
    meter(0, "T3", "7");
    row(0);
    clock.time.minute = 31;
    row(0);
    state.slots[0].Record_On = false;
    row(0);
    row(0);
    state.slots[0].Record_On = true;
    clock.time.minute = 45;
    row(0);

    EXPECT_EQ(folder.names(), std::set<std::string>{"T3 7 2612111230.Csv"});
    const std::vector<std::string> lines = crlfLines(readText(folder.file("T3 7 2612111230.Csv")));
    EXPECT_EQ(lines, (std::vector<std::string>{kT3Header, "12:30:05," + kT3Values, "12:31:05," + kT3Values,
                                               "12:45:05," + kT3Values}));
    EXPECT_EQ(writer.Record_Row_Count(0), 3);
}

TEST_F(RecordWriterTest, slotWithRecordingOffNeverGetsAFile) {
    meter(0, "T3", "7", false);
    for (int i = 0; i < 50; ++i) row(0);

    EXPECT_TRUE(folder.names().empty());
    EXPECT_EQ(writer.Record_File_Name(0), "");
    EXPECT_EQ(writer.Record_Row_Count(0), 0);
}

// In memory: thirty thousand real opens and closes would only slow the test down.
TEST_F(RecordWriterMemoryTest, rowAfterThe30000thStartsANewFileWithItsOwnColumnNames) {
    meter(0, "HM15", "7");
    for (int i = 0; i < kMaxRecordRows; ++i) row(0, kHM15Record);
    EXPECT_EQ(writer.Record_Row_Count(0), kMaxRecordRows);

    clock.time.hour = 13;
    clock.time.minute = 2;
    row(0, kHM15Record);

    const std::string first = folder.file("HM15 7 2612111230.Csv");
    const std::string second = folder.file("HM15 7 2612111302.Csv");
    ASSERT_EQ(files.files.size(), 2u);
    const std::vector<std::string> full = crlfLines(files.files.at(first));
    ASSERT_EQ(full.size(), 1u + 30000u);
    EXPECT_EQ(full.front(), kHM15Header);
    EXPECT_EQ(full.back(), "12:30:05," + kHM15Values);
    EXPECT_EQ(files.files.at(second), kHM15Header + "\r\n13:02:05," + kHM15Values + "\r\n");
    EXPECT_EQ(writer.Record_Row_Count(0), 1);
}

TEST_F(RecordWriterTest, deletedFileMakesTheNextRowStartANewNamedFile) {
    meter(0, "T3", "7");
    row(0);
    row(0);
    std::filesystem::remove(folder.path() / "T3 7 2612111230.Csv");
    clock.time.minute = 41;
    row(0);

    EXPECT_EQ(folder.names(), std::set<std::string>{"T3 7 2612111241.Csv"});
    EXPECT_EQ(readText(folder.file("T3 7 2612111241.Csv")), kT3Header + "\r\n12:41:05," + kT3Values + "\r\n");
    EXPECT_EQ(writer.Record_File_Name(0), "T3 7 2612111241");
    EXPECT_EQ(writer.Record_Row_Count(0), 1);
}

TEST_F(RecordWriterTest, twoSlotsWithSameModelAndIdInOneMinuteShareTheFile) {
    meter(0, "T3", "7");
    meter(1, "T3", "7");
    row(0);
    clock.time.second = 6;
    row(1);
    clock.time.second = 7;
    row(0);

    EXPECT_EQ(folder.names(), std::set<std::string>{"T3 7 2612111230.Csv"});
    EXPECT_EQ(crlfLines(readText(folder.file("T3 7 2612111230.Csv"))),
              (std::vector<std::string>{kT3Header, "12:30:05," + kT3Values, kT3Header, "12:30:06," + kT3Values,
                                        "12:30:07," + kT3Values}));
}

TEST_F(RecordWriterTest, modelTextIsMadeSafeForTheFileName) {
    meter(0, " A/B:C ", "7");
    row(0);
    EXPECT_EQ(folder.names(), std::set<std::string>{"A_B_C 7 2612111230.Csv"});

    struct Case {
        std::string text;
        std::string safe;
    };
    const std::vector<Case> cases = {
        {"N5,N6,N8", "N5,N6,N8"},
        {"RWN5D8", "RWN5D8"},
        {"a\\b*c?d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
        {"../up", ".._up"},
        {std::string("x\ty\x01z\x7f", 6), "x_y_z_"},
    };
    for (const Case& c : cases) EXPECT_EQ(safeFileNamePart(c.text), c.safe) << c.text;
}

// Another program holds slot 0's file with the lock the console takes itself.
TEST_F(RecordWriterTest, fileHeldByAnotherProgramStopsThatSlotOnceWhileOthersRecord) {
    meter(0, "T3", "7");
    meter(1, "ZC37", "9");
    row(0);
    row(1, kZC37Record);
    const std::string held = folder.file("T3 7 2612111230.Csv");
    const int other = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);

    clock.time.second = 6;
    row(0);
    row(1, kZC37Record);
    clock.time.second = 7;
    row(0);
    row(1, kZC37Record);

    EXPECT_FALSE(recording(0));
    EXPECT_TRUE(recording(1));
    EXPECT_EQ(indicator.calls, (std::vector<std::pair<int, bool>>{{0, false}}));
    EXPECT_EQ(notifier.beeps, 3);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].title, "Attention! Wrong");
    EXPECT_EQ(notifier.messages[0].text,
              "Your record file " + held + " Suspected of being forced to open other programs\r\nRecord has been interrupted");
    EXPECT_EQ(notifier.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(crlfLines(readText(held)).size(), 2u);
    EXPECT_EQ(crlfLines(readText(folder.file("ZC37 9 2612111230.Csv"))).size(), 4u);

    // Released and switched on again by the operator: the same file goes on.
    ::close(other);
    state.slots[0].Record_On = true;
    row(0);
    EXPECT_EQ(crlfLines(readText(held)),
              (std::vector<std::string>{kT3Header, "12:30:05," + kT3Values, "12:30:07," + kT3Values}));
    EXPECT_EQ(writer.Record_Row_Count(0), 2);
    EXPECT_EQ(notifier.messages.size(), 1u);
}

// The disk fills up in the middle of a row: the file keeps whole rows only, the model reports,
// recording goes on, and the next row lands on a line of its own.
TEST_F(RecordWriterTest, rowThatDoesNotFitIsTakenBackWhole) {
    meter(0, "T3", "7");
    row(0);
    const std::string path = folder.file("T3 7 2612111230.Csv");
    const std::string before = readText(path);
    {
        FileSizeCap cap(before.size() + 20);
        clock.time.second = 6;
        row(0);
    }
    EXPECT_EQ(readText(path), before);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].title, "注意!發生錯誤");
    EXPECT_EQ(notifier.messages[0].text, "錯誤行號: 3\r\n錯誤代碼: 61\r\n錯誤原因: Disk full");
    EXPECT_TRUE(recording(0));
    EXPECT_EQ(writer.Record_Row_Count(0), 1);

    clock.time.second = 7;
    row(0);
    EXPECT_EQ(crlfLines(readText(path)),
              (std::vector<std::string>{kT3Header, "12:30:05," + kT3Values, "12:30:07," + kT3Values}));
}

TEST_F(RecordWriterTest, fileStartedOnAFullDiskGetsItsColumnNamesWithTheNextRow) {
    meter(0, "T3", "7");
    {
        FileSizeCap cap(30);
        row(0);
    }
    const std::string path = folder.file("T3 7 2612111230.Csv");
    EXPECT_EQ(readText(path), "");  // created, but nothing of the half-written heading stays

    clock.time.second = 6;
    row(0);
    EXPECT_EQ(readText(path), kT3Header + "\r\n12:30:06," + kT3Values + "\r\n");
    EXPECT_EQ(writer.Record_Row_Count(0), 1);
}

// ---- Failure reports per model, on a file system that fails on demand ---------------------------

TEST(RecordFailureReports, eachModelReportsInItsOwnWay) {
    struct Case {
        std::string model;
        const RecordModel* record;
        int beepsOnHeld;
        int beepsOnOther;
        std::string otherTitle;  // empty: no box
        std::string otherText;
    };
    const std::string chineseTitle = "注意!發生錯誤";
    const std::string chineseText = "錯誤行號: 3\r\n錯誤代碼: 61\r\n錯誤原因: Disk full";
    const std::string englishText = "Wrong line: 3\r\nWrong code: 61\r\nWrong reasons: Disk full";
    const std::vector<Case> cases = {
        {"T3", &kT3Record, 3, 0, chineseTitle, chineseText},
        {"N5,N6,N8", &kN5Record, 2, 2, "Attention! Wrong", englishText},
        {"ZC37", &kZC37Record, 1, 0, chineseTitle, chineseText},
        {"HM15", &kHM15Record, 3, 0, "", ""},
        {"RWN5D8", &kRWN5D8Record, 1, 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        SharedState state;
        FakeRecordFileSystem files;
        FakeLocalClock clock;
        FakeNotifier notifier;
        FakeRecordIndicator indicator;
        RecordWriter writer(state, files, clock, notifier, indicator, "/program");
        const LiveValueTable values = namedLiveValues();
        state.slots[4].Slot_Model = c.model;
        state.slots[4].Slot_Station = "12";
        state.slots[4].Record_On = true;

        files.failNext(61, "Disk full");
        writer.Append_Record_Row(4, *c.record, values);
        EXPECT_EQ(notifier.beeps, c.beepsOnOther);
        if (c.otherTitle.empty()) {
            EXPECT_TRUE(notifier.messages.empty());
        } else {
            ASSERT_EQ(notifier.messages.size(), 1u);
            EXPECT_EQ(notifier.messages[0].title, c.otherTitle);
            EXPECT_EQ(notifier.messages[0].text, c.otherText);
            EXPECT_EQ(notifier.messages[0].icon, MessageIcon::Exclamation);
        }
        EXPECT_TRUE(state.slots[4].Record_On);
        EXPECT_TRUE(indicator.calls.empty());

        notifier.clear();
        files.failNext(70, "Permission denied");
        writer.Append_Record_Row(4, *c.record, values);
        EXPECT_EQ(notifier.beeps, c.beepsOnHeld);
        ASSERT_EQ(notifier.messages.size(), 1u);
        EXPECT_EQ(notifier.messages[0].title, "Attention! Wrong");
        EXPECT_EQ(notifier.messages[0].text, "Your record file /program/" + c.model +
                                                 " 12 2612111230.Csv Suspected of being forced to open other "
                                                 "programs\r\nRecord has been interrupted");
        EXPECT_FALSE(state.slots[4].Record_On);
        EXPECT_EQ(indicator.calls, (std::vector<std::pair<int, bool>>{{4, false}}));
        EXPECT_TRUE(files.files.empty());
    }
}

TEST_F(RecordWriterMemoryTest, failedRowsAreNotCountedAndNothingIsWrittenOfThem) {
    meter(0, "N5,N6,N8", "3");
    row(0, kN5Record);
    files.failNext(57, "Device I/O error");
    files.failNext(57, "Device I/O error");
    row(0, kN5Record);
    row(0, kN5Record);
    row(0, kN5Record);

    EXPECT_EQ(writer.Record_Row_Count(0), 2);
    EXPECT_EQ(crlfLines(files.files.at(writer.recordFilePath(0))).size(), 3u);
    EXPECT_EQ(notifier.messages.size(), 2u);
    EXPECT_EQ(notifier.beeps, 4);
}

TEST_F(RecordWriterMemoryTest, columnThatIsNoLiveValueIsReportedAndWritesNothing) {
    static constexpr std::array<std::string_view, 1> kPieces{",BAD"};
    static constexpr std::array<int, 1> kRegisters{5000};
    const RecordModel broken{{kPieces, kRegisters}, {1, 0, RecordErrorBox::English}};
    meter(2, "T3", "7");
    row(2, broken);

    EXPECT_EQ(files.appendCalls, 0);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text, "Wrong line: 2\r\nWrong code: 9\r\nWrong reasons: Subscript out of range");
    EXPECT_TRUE(recording(2));
}

}  // namespace
}  // namespace dalmora::testing
