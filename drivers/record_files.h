#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "console/notifier.h"
#include "console/shared_state.h"
#include "drivers/live_values.h"
#include "drivers/record_file_system.h"

namespace dalmora {

// ---- What a model records ---------------------------------------------------------------------

// The columns of a model's record file: the pieces of the column-name line (each brings its own
// leading comma; "Time" comes first) and, for each data column after the time, the live-value
// register whose text fills it.
struct RecordColumns {
    std::span<const std::string_view> namePieces;
    std::span<const int> registers;

    // Fields of every line of the file: the time, then one per register.
    [[nodiscard]] constexpr std::size_t fieldCount() const noexcept { return registers.size() + 1; }
};

// How a model reports a row it could not write. Each model's meters came with their own habits:
// some beep and explain in English, some in Chinese, some say nothing at all.
enum class RecordErrorBox { None, Chinese, English };

struct RecordFailurePolicy {
    int beepsOnFileHeld = 1;        // record file held by another program: recording stops
    int beepsOnOtherFailure = 0;    // before the box of any other failure
    RecordErrorBox otherFailureBox = RecordErrorBox::None;
};

// Everything the record writer needs from a model: its `Record_Columns` and its failure habits.
// Q71 has none: its meters are never recorded.
struct RecordModel {
    RecordColumns Record_Columns;
    RecordFailurePolicy onFailure;
};

namespace record_columns_detail {

constexpr std::size_t commaCount(std::span<const std::string_view> pieces) {
    std::size_t commas = 0;
    for (const std::string_view piece : pieces) {
        for (const char c : piece) commas += c == ',' ? 1 : 0;
    }
    return commas;
}

constexpr bool allLive(std::span<const int> registers) {
    for (const int reg : registers) {
        if (!LiveValueTable::holds(reg)) return false;
    }
    return true;
}

inline constexpr std::array<std::string_view, 4> kT3Pieces{
    ",PV0,SV0,OUT1,WKNO,FLAG", ",POUT,IOUT,DOUT,PBAND,ARW", ",RAMP_T,ALM1_T,ALM2_T", ",AD0,AD1"};
inline constexpr std::array<int, 15> kT3Registers{
    4108, 4107, 4098, 4099, 4100, 4111, 4112, 4113, 4114, 4115, 4102, 4104, 4106, 4116, 4117};

inline constexpr std::array<std::string_view, 4> kZC37Pieces{
    ",PV,SV,OUTL,WKNO,FLAG", ",POUT,IOUT,DOUT,PBAND", ",ALM1_T", ",AD0,AD1"};
inline constexpr std::array<int, 12> kZC37Registers{
    4104, 4103, 4098, 4099, 4100, 4107, 4108, 4109, 4110, 4102, 4111, 4112};

// "ETO" is written with the letter O: that is how the files have always headed register 4110.
inline constexpr std::array<std::string_view, 5> kHM15Pieces{
    ",ROOMT,PV,SV,OUT1,OUT2", ",ETO,ET1,ET2,PBAND,ARW,POUT,IOUT,DOUT", ",CPOUT", ",FLAG,AFLAG,AD0,AD1",
    ",PL,PH,TOF,TON"};
inline constexpr std::array<int, 22> kHM15Registers{
    4106, 4096, 4109, 4097, 4098, 4110, 4111, 4112, 4113, 4114, 4115,
    4116, 4117, 4118, 4099, 4101, 4119, 4120, 4121, 4122, 4123, 4124};

static_assert(commaCount(kT3Pieces) == kT3Registers.size(), "one T3 column name per register");
static_assert(commaCount(kZC37Pieces) == kZC37Registers.size(), "one ZC37 column name per register");
static_assert(commaCount(kHM15Pieces) == kHM15Registers.size(), "one HM15 column name per register");
static_assert(allLive(kT3Registers) && allLive(kZC37Registers) && allLive(kHM15Registers),
              "record columns come from live-value registers");

}  // namespace record_columns_detail

// T3 and the N5 family share their columns (16 fields), ZC37 has 13, HM15 and RWN5D8 23.
inline constexpr RecordColumns kT3N5RecordColumns{record_columns_detail::kT3Pieces,
                                                  record_columns_detail::kT3Registers};
inline constexpr RecordColumns kZC37RecordColumns{record_columns_detail::kZC37Pieces,
                                                  record_columns_detail::kZC37Registers};
inline constexpr RecordColumns kHM15RecordColumns{record_columns_detail::kHM15Pieces,
                                                  record_columns_detail::kHM15Registers};
static_assert(kT3N5RecordColumns.fieldCount() == 16);
static_assert(kZC37RecordColumns.fieldCount() == 13);
static_assert(kHM15RecordColumns.fieldCount() == 23);

inline constexpr RecordModel kT3Record{kT3N5RecordColumns, {3, 0, RecordErrorBox::Chinese}};
inline constexpr RecordModel kN5Record{kT3N5RecordColumns, {2, 2, RecordErrorBox::English}};
inline constexpr RecordModel kZC37Record{kZC37RecordColumns, {1, 0, RecordErrorBox::Chinese}};
inline constexpr RecordModel kHM15Record{kHM15RecordColumns, {3, 0, RecordErrorBox::None}};
inline constexpr RecordModel kRWN5D8Record{kHM15RecordColumns, {1, 0, RecordErrorBox::None}};

// ---- Lines and names --------------------------------------------------------------------------

inline constexpr std::int32_t kMaxRecordRows = 30000;  // data rows per file before a new one
inline constexpr std::string_view kRecordFileExtension = ".Csv";
inline constexpr std::string_view kLineEnd = "\r\n";

// "Time" and the column names, without the line end.
[[nodiscard]] std::string columnNameLine(const RecordColumns& columns);

// "hh:mm:ss" on the 24-hour clock, then "," and the text of each column's register, without the
// line end. Throws Error 9 for a register the table does not hold.
[[nodiscard]] std::string recordDataLine(const RecordColumns& columns, const LiveValueTable& values,
                                         const LocalDateTime& time);

// `text` with every character no file name may hold (/ \ : * ? " < > | and control characters)
// replaced by "_". The model names the console offers, "N5,N6,N8" included, pass unchanged.
[[nodiscard]] std::string safeFileNamePart(std::string_view text);

// Model and station without surrounding blanks, then "yymmddhhnn" of `started`, separated by one
// blank each: "HM15 7 1505281230".
[[nodiscard]] std::string recordFileBaseName(std::string_view model, std::string_view station,
                                             const LocalDateTime& started);

// The model's report of a failure other than a file held elsewhere: its beeps, then its box with
// the failing step as the line number (none at all for the models that stay silent). The live-value
// decode reports a value it could not make the same way.
void reportRowFailure(Notifier& notifier, const RecordFailurePolicy& policy, int line, const Error& error);

// ---- The writer -------------------------------------------------------------------------------

// Shows whether a slot is recording; the main window redraws the tile's REC indicator.
class RecordIndicator {
public:
    virtual ~RecordIndicator() = default;
    virtual void showRecording(int slot, bool on) = 0;
};

// Appends the polled meter's live values to its slot's record file. The per-slot file state
// (`Record_File_Name`, `Record_Row_Count`) lives here rather than in the slot table: nothing but
// the writer uses it and it is never saved. `Record_On`, `Slot_Model` and `Slot_Station` are read
// from the shared slot table; `Record_On` is cleared here when another program holds the file.
class RecordWriter {
public:
    RecordWriter(SharedState& state, RecordFileSystem& files, LocalClock& clock, Notifier& notifier,
                 RecordIndicator& indicator, std::string programFolder);

    // One row for `slot`, from the model's `Live_Value_Table` just decoded. Never fails towards
    // the poll engine: every failure is reported the model's way (or not at all) right here.
    void Append_Record_Row(int slot, const RecordModel& model, const LiveValueTable& values) noexcept;

    // Base name of the slot's current file (no folder, no extension); empty before its first row.
    [[nodiscard]] const std::string& Record_File_Name(int slot) const;
    // Data rows written to the current file since it was started.
    [[nodiscard]] std::int32_t Record_Row_Count(int slot) const;
    // Program folder + `Record_File_Name` + ".Csv".
    [[nodiscard]] std::string recordFilePath(int slot) const;

    // Where a failure was met, shown as the line number of the model's error box.
    enum FailingStep : int { kChooseFile = 1, kBuildRow = 2, kWriteRow = 3 };

private:
    struct SlotRecord {
        std::string Record_File_Name;
        std::int32_t Record_Row_Count = 0;
        // The file was started but its column-name line is not in it yet: the next row starts it
        // again rather than continue a file without a heading.
        bool columnNamesPending = false;
    };

    [[nodiscard]] std::string pathOf(const std::string& baseName) const;
    [[nodiscard]] const SlotRecord& record(int slot) const;
    void interruptRecording(int slot, const std::string& path, const RecordFailurePolicy& policy);

    SharedState& state_;
    RecordFileSystem& files_;
    LocalClock& clock_;
    Notifier& notifier_;
    RecordIndicator& indicator_;
    std::string programFolder_;
    std::array<SlotRecord, kSlotCount> records_{};
};

}  // namespace dalmora
