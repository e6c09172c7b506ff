#include "console/settings_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <fstream>
#include <limits>
#include <optional>
#include <span>
#include <system_error>

#include "link/bytes.h"
#include "link/error.h"
#include "link/text.h"

namespace dalmora {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFileSize = kRecordSize * kRecordCount;
constexpr std::size_t kSerialTextCount = 5;
constexpr int kFirstReservedRecord = 4;

Error badRecordLength() {
    return Error(error_number::kBadRecordLength, "Bad record length");
}

void checkRecordNumber(int record) {
    if (record < 1 || record > kRecordCount) {
        throw Error(settings_error::kBadRecordNumber, "Bad record number");
    }
}

std::size_t recordOffset(int record) {
    return static_cast<std::size_t>(record - 1) * kRecordSize;
}

bool isReservedRecord(int record) {
    return record >= kFirstReservedRecord && record < kFirstReservedRecord + 3;
}

// Runs one step of a settings operation; a failure is reported with the place of the window
// that asked, and the caller goes on with its next step.
template <typename Step>
bool runStep(Notifier& notifier, std::string_view place, Step step) {
    try {
        step();
        return true;
    } catch (const Error& error) {
        reportError(notifier, place, error);
    } catch (const std::exception& error) {
        reportError(notifier, place, Error(settings_error::kDeviceIoError, error.what()));
    }
    return false;
}

// Up to `count` bytes of the file from `offset`. A missing file, like a short one, has no bytes
// there; only what is asked for is read, however large the file is.
Bytes readFileBytes(const fs::path& path, std::size_t offset, std::size_t count) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) return {};
    if (!fs::is_regular_file(status)) {
        throw Error(settings_error::kPathFileAccessError, "Path/File access error");
    }
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file) throw Error(settings_error::kPathFileAccessError, "Path/File access error");
    file.seekg(static_cast<std::streamoff>(offset));
    if (!file) return {};
    Bytes bytes(count);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    if (file.bad()) throw Error(settings_error::kDeviceIoError, "Device I/O error");
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

// The settings file opened for writing records in place. It is never truncated: a write that
// fails leaves every record it did not reach as it was.
class RecordFile {
public:
    explicit RecordFile(const fs::path& path) {
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (status.type() == fs::file_type::not_found) {
            const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
            if (!fs::is_directory(folder, ec)) {
                throw Error(settings_error::kPathNotFound, "Path not found");
            }
            // Append mode creates the file without ever cutting one that appeared meanwhile.
            std::ofstream create(path, std::ios::out | std::ios::app | std::ios::binary);
            if (!create) throw Error(settings_error::kPathFileAccessError, "Path/File access error");
        } else if (!fs::is_regular_file(status)) {
            throw Error(settings_error::kPathFileAccessError, "Path/File access error");
        }
        file_.open(path, std::ios::in | std::ios::out | std::ios::binary);
        if (!file_) throw Error(settings_error::kPathFileAccessError, "Path/File access error");
    }

    void write(int record, const RecordImage& image) {
        file_.seekp(static_cast<std::streamoff>(recordOffset(record)));
        file_.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        check();
    }

    // A short file grows to its eight records with zero bytes; a longer one keeps its length.
    void padToFullLength() {
        file_.seekp(0, std::ios::end);
        const std::streamoff end = file_.tellp();
        check();
        if (end >= 0 && static_cast<std::size_t>(end) < kFileSize) {
            const Bytes zeros(kFileSize - static_cast<std::size_t>(end), 0);
            file_.write(reinterpret_cast<const char*>(zeros.data()), static_cast<std::streamsize>(zeros.size()));
            check();
        }
    }

    void close() {
        file_.close();
        check();
    }

private:
    void check() const {
        if (!file_) throw Error(settings_error::kDeviceIoError, "Device I/O error");
    }

    std::fstream file_;
};

enum class DecimalPoints { AsRead, FromCodes };

std::vector<std::string> recordTexts(const SharedState& state, int record, DecimalPoints decimalPoints) {
    std::vector<std::string> texts;
    if (record == 1) {
        const SerialSettings& serial = state.serial;
        return {serial.Port_Name, serial.Baud_Rate, serial.Stop_Bits, serial.Data_Bits, serial.Parity_Name};
    }
    if (isReservedRecord(record)) {
        const auto& reserved = state.Reserved_Texts[static_cast<std::size_t>(record - kFirstReservedRecord)];
        return {reserved.begin(), reserved.end()};
    }
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const Slot& s = state.slots[slot];
        switch (record) {
            case 2: texts.push_back(s.Slot_ID); break;
            case 3: texts.push_back(s.Slot_Description); break;
            case 7:
                texts.push_back(decimalPoints == DecimalPoints::AsRead ? state.Decimal_Point_Texts[slot]
                                                                       : std::to_string(s.Decimal_Point_Code));
                break;
            default: texts.push_back(s.Slot_Model); break;
        }
    }
    return texts;
}

// The bytes record n goes to the file with; nothing when its texts do not fit. A reserved record
// goes back as the bytes it was read with, as long as its texts are still the ones read.
std::optional<RecordImage> recordImage(const SharedState& state, int record, DecimalPoints decimalPoints) {
    const std::vector<std::string> texts = recordTexts(state, record, decimalPoints);
    if (isReservedRecord(record)) {
        const Bytes& kept = state.Reserved_Images[static_cast<std::size_t>(record - kFirstReservedRecord)];
        if (kept.size() == kRecordSize && decodeRecord(kept, texts.size()) == texts) {
            RecordImage image{};
            std::copy(kept.begin(), kept.end(), image.begin());
            return image;
        }
    }
    return encodeRecord(texts);
}

// Takes the texts of record n from its bytes (fewer than 128 when the file ended early).
void storeRecord(SharedState& state, int record, std::span<const std::uint8_t> bytes) {
    std::vector<std::string> texts = decodeRecord(bytes, recordTextCount(record));
    if (record == 1) {
        SerialSettings& serial = state.serial;
        serial.Port_Name = std::move(texts[0]);
        serial.Baud_Rate = std::move(texts[1]);
        serial.Stop_Bits = std::move(texts[2]);
        serial.Data_Bits = std::move(texts[3]);
        serial.Parity_Name = std::move(texts[4]);
        return;
    }
    if (isReservedRecord(record)) {
        const auto index = static_cast<std::size_t>(record - kFirstReservedRecord);
        std::move(texts.begin(), texts.end(), state.Reserved_Texts[index].begin());
        // Only a whole record can go back byte for byte; a cut one is written from its texts.
        state.Reserved_Images[index] =
            bytes.size() >= kRecordSize ? Bytes(bytes.begin(), bytes.begin() + kRecordSize) : Bytes{};
        return;
    }
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        Slot& s = state.slots[slot];
        switch (record) {
            case 2: s.Slot_ID = std::move(texts[slot]); break;
            case 3: s.Slot_Description = std::move(texts[slot]); break;
            case 7: state.Decimal_Point_Texts[slot] = std::move(texts[slot]); break;
            default: s.Slot_Model = std::move(texts[slot]); break;
        }
    }
}

std::span<const std::uint8_t> recordBytes(const Bytes& file, int record) {
    const std::size_t offset = std::min(recordOffset(record), file.size());
    return std::span<const std::uint8_t>(file).subspan(offset, std::min(kRecordSize, file.size() - offset));
}

void defaultIfEmpty(std::string& text, const char* value) {
    if (text.empty()) text = value;
}

}  // namespace

fs::path settingsFilePath(const fs::path& programFolder) {
    return programFolder / kSettingsFileName;
}

std::size_t recordTextCount(int record) {
    return record == 1 ? kSerialTextCount : static_cast<std::size_t>(kSlotCount);
}

std::string slotStationOf(const std::string& slotId) {
    const std::string_view id = trimmed(slotId);
    if (id == kNone) return "0";
    const std::size_t digits = std::min(id.find_first_not_of("0123456789"), id.size());
    const std::string_view number = id.substr(0, digits);
    const std::size_t firstSignificant = number.find_first_not_of('0');
    if (firstSignificant == std::string_view::npos) return "0";  // no number, or only zeros
    return std::string(number.substr(firstSignificant));
}

std::int32_t decimalPointCodeOf(const std::string& text) {
    std::string_view rest = trimmed(text);
    bool negative = false;
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    // The leading number: digits with at most one decimal point.
    std::size_t length = 0;
    bool seenPoint = false;
    bool seenDigit = false;
    for (char c : rest) {
        if (c >= '0' && c <= '9') {
            seenDigit = true;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
        ++length;
    }
    if (!seenDigit) return 0;
    double value = 0.0;
    const std::string_view number = rest.substr(0, length);
    if (std::from_chars(number.data(), number.data() + number.size(), value).ec != std::errc{}) return 0;
    // The default rounding mode sends halves to the even neighbour, as everywhere in the console.
    const double rounded = std::nearbyint(negative ? -value : value);
    if (rounded < std::numeric_limits<std::int32_t>::min() || rounded > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    return static_cast<std::int32_t>(rounded);
}

void Load_Settings(SharedState& state, const fs::path& programFolder, Notifier& notifier) {
    const fs::path path = settingsFilePath(programFolder);

    Bytes file;
    const bool read = runStep(notifier, kMainLoadPlace, [&] { file = readFileBytes(path, 0, kFileSize); });
    for (int record = 1; record <= kRecordCount; ++record) {
        storeRecord(state, record, recordBytes(file, record));
    }
    Apply_Default_Settings(state);

    // A file that is there but could not be read is not overwritten with defaults.
    if (read) {
        runStep(notifier, kMainLoadPlace, [&] {
            RecordFile settings(path);
            for (int record = 1; record <= kRecordCount; ++record) {
                const std::optional<RecordImage> image = recordImage(state, record, DecimalPoints::AsRead);
                if (!image) {
                    reportError(notifier, kMainLoadPlace, badRecordLength());
                    continue;
                }
                settings.write(record, *image);
            }
            settings.padToFullLength();
            settings.close();
        });
    }
    Load_Slot_Table(state);
}

void Apply_Default_Settings(SharedState& state) {
    SerialSettings& serial = state.serial;
    defaultIfEmpty(serial.Port_Name, "COM1");
    defaultIfEmpty(serial.Baud_Rate, "19200");
    defaultIfEmpty(serial.Stop_Bits, "2");
    defaultIfEmpty(serial.Data_Bits, "8");
    defaultIfEmpty(serial.Parity_Name, "None");
    for (Slot& slot : state.slots) {
        defaultIfEmpty(slot.Slot_Model, kNone);
        defaultIfEmpty(slot.Slot_ID, kNone);
        defaultIfEmpty(slot.Slot_Description, kNone);
    }
    for (std::size_t index = 0; index < state.Reserved_Texts.size(); ++index) {
        auto& texts = state.Reserved_Texts[index];
        if (std::any_of(texts.begin(), texts.end(), [](const std::string& t) { return t.empty(); })) {
            for (std::string& text : texts) defaultIfEmpty(text, "0");
            state.Reserved_Images[index].clear();
        }
    }
}

void Load_Slot_Table(SharedState& state) {
    for (std::size_t index = 0; index < kSlotCount; ++index) {
        Slot& slot = state.slots[index];
        slot.Slot_Station = slotStationOf(slot.Slot_ID);
        slot.Record_On = false;
        slot.Decimal_Point_Code = decimalPointCodeOf(state.Decimal_Point_Texts[index]);
    }
}

bool Save_Record(const SharedState& state, const fs::path& programFolder, int record, Notifier& notifier,
                 std::string_view place) {
    return runStep(notifier, place, [&] {
        checkRecordNumber(record);
        const std::optional<RecordImage> image = recordImage(state, record, DecimalPoints::FromCodes);
        if (!image) throw badRecordLength();
        RecordFile settings(settingsFilePath(programFolder));
        settings.write(record, *image);
        settings.close();
    });
}

bool Read_Record(SharedState& state, const fs::path& programFolder, int record, Notifier& notifier,
                 std::string_view place) {
    return runStep(notifier, place, [&] {
        checkRecordNumber(record);
        const Bytes bytes = readFileBytes(settingsFilePath(programFolder), recordOffset(record), kRecordSize);
        storeRecord(state, record, bytes);
    });
}

}  // namespace dalmora
