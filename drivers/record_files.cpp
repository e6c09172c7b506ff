#include "drivers/record_files.h"

#include <exception>
#include <utility>

#include "link/text.h"

namespace dalmora {

namespace {

// Two digits, as the time field and the file name show every number.
void appendTwoDigits(std::string& out, int value) {
    value %= 100;
    if (value < 0) value += 100;
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

bool forbiddenInFileName(unsigned char c) {
    if (c < 0x20 || c == 0x7F) return true;
    switch (c) {
        case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
            return true;
        default:
            return false;
    }
}

bool endsWithSeparator(const std::string& folder) {
    return !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
}

constexpr char kFolderSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

const std::string kAttentionWrong = "Attention! Wrong";

}  // namespace

std::string columnNameLine(const RecordColumns& columns) {
    std::string line = "Time";
    for (const std::string_view piece : columns.namePieces) line += piece;
    return line;
}

std::string recordDataLine(const RecordColumns& columns, const LiveValueTable& values,
                           const LocalDateTime& time) {
    std::string line;
    appendTwoDigits(line, time.hour);
    line += ':';
    appendTwoDigits(line, time.minute);
    line += ':';
    appendTwoDigits(line, time.second);
    for (const int reg : columns.registers) {
        line += ',';
        line += values.text(reg);
    }
    return line;
}

std::string safeFileNamePart(std::string_view text) {
    std::string safe(text);
    for (char& c : safe) {
        if (forbiddenInFileName(static_cast<unsigned char>(c))) c = '_';
    }
    return safe;
}

std::string recordFileBaseName(std::string_view model, std::string_view station,
                               const LocalDateTime& started) {
    std::string name = safeFileNamePart(trimmed(model));
    name += ' ';
    name += safeFileNamePart(trimmed(station));
    name += ' ';
    appendTwoDigits(name, started.year);
    appendTwoDigits(name, started.month);
    appendTwoDigits(name, started.day);
    appendTwoDigits(name, started.hour);
    appendTwoDigits(name, started.minute);
    return name;
}

RecordWriter::RecordWriter(SharedState& state, RecordFileSystem& files, LocalClock& clock,
                           Notifier& notifier, RecordIndicator& indicator, std::string programFolder)
    : state_(state),
      files_(files),
      clock_(clock),
      notifier_(notifier),
      indicator_(indicator),
      programFolder_(std::move(programFolder)) {}

const RecordWriter::SlotRecord& RecordWriter::record(int slot) const {
    if (slot < 0 || slot >= kSlotCount) {
        throw Error(error_number::kSubscriptOutOfRange, "Subscript out of range");
    }
    return records_[static_cast<std::size_t>(slot)];
}

const std::string& RecordWriter::Record_File_Name(int slot) const { return record(slot).Record_File_Name; }

std::int32_t RecordWriter::Record_Row_Count(int slot) const { return record(slot).Record_Row_Count; }

std::string RecordWriter::recordFilePath(int slot) const { return pathOf(record(slot).Record_File_Name); }

std::string RecordWriter::pathOf(const std::string& baseName) const {
    std::string path = programFolder_;
    if (!path.empty() && !endsWithSeparator(path)) path += kFolderSeparator;
    path += baseName;
    path += kRecordFileExtension;
    return path;
}

void RecordWriter::Append_Record_Row(int slot, const RecordModel& model, const LiveValueTable& values) noexcept {
    if (slot < 0 || slot >= kSlotCount) return;
    const Slot& meter = state_.slots[static_cast<std::size_t>(slot)];
    if (!meter.Record_On) return;
    SlotRecord& current = records_[static_cast<std::size_t>(slot)];
    const RecordFailurePolicy& policy = model.onFailure;

    int step = kChooseFile;
    std::string path;
    try {
        // One reading of the clock names a new file and stamps the row, so both agree.
        const LocalDateTime now = clock_.now();
        path = pathOf(current.Record_File_Name);

        // Before the first row since start-up the name is empty and ".Csv" is not there, so
        // every run begins a new file; so does a file deleted or moved away while recording.
        std::string text;
        if (current.columnNamesPending || !files_.exists(path) || current.Record_Row_Count >= kMaxRecordRows) {
            current.Record_Row_Count = 0;
            current.Record_File_Name = recordFileBaseName(meter.Slot_Model, meter.Slot_Station, now);
            current.columnNamesPending = true;
            path = pathOf(current.Record_File_Name);
            text = columnNameLine(model.Record_Columns);
            text += kLineEnd;
        }

        step = kBuildRow;
        text += recordDataLine(model.Record_Columns, values, now);
        text += kLineEnd;

        // The column names and the row go in one append: a file never gets a heading without
        // its first row, or a row without its heading.
        step = kWriteRow;
        files_.appendLines(path, text);
        current.columnNamesPending = false;
        ++current.Record_Row_Count;
    } catch (const Error& error) {
        try {
            if (error.number() == error_number::kPermissionDenied && step == kWriteRow) {
                interruptRecording(slot, path, policy);
            } else {
                reportRowFailure(notifier_, policy, step, error);
            }
        } catch (...) {
            // A report that cannot be shown must not stop the poll.
        }
    } catch (const std::exception& failure) {
        try {
            reportRowFailure(notifier_, policy, step, Error(file_error_number::kInternalError, failure.what()));
        } catch (...) {
        }
    }
}

// Another program holds the file. Writing on would only fail row after row, so recording of this
// slot stops until the operator switches it on again; the other slots carry on.
void RecordWriter::interruptRecording(int slot, const std::string& path, const RecordFailurePolicy& policy) {
    state_.slots[static_cast<std::size_t>(slot)].Record_On = false;
    indicator_.showRecording(slot, false);
    for (int i = 0; i < policy.beepsOnFileHeld; ++i) notifier_.beep();
    notifier_.showMessage(kAttentionWrong,
                          "Your record file " + path + " Suspected of being forced to open other programs" +
                              "\r\nRecord has been interrupted",
                          MessageIcon::Exclamation);
}

void reportRowFailure(Notifier& notifier, const RecordFailurePolicy& policy, int line, const Error& error) {
    for (int i = 0; i < policy.beepsOnOtherFailure; ++i) notifier.beep();
    const std::string lineText = std::to_string(line);
    const std::string code = std::to_string(error.number());
    switch (policy.otherFailureBox) {
        case RecordErrorBox::None:
            return;
        case RecordErrorBox::Chinese:
            notifier.showMessage("注意!發生錯誤",
                                 "錯誤行號: " + lineText + "\r\n錯誤代碼: " + code + "\r\n錯誤原因: " + error.description(),
                                 MessageIcon::Exclamation);
            return;
        case RecordErrorBox::English:
            notifier.showMessage(kAttentionWrong,
                                 "Wrong line: " + lineText + "\r\nWrong code: " + code + "\r\nWrong reasons: " +
                                     error.description(),
                                 MessageIcon::Exclamation);
            return;
    }
}

}  // namespace dalmora
