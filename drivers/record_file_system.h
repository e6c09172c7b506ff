#pragma once

#include <string>
#include <string_view>

#include "link/error.h"

namespace dalmora {

// File failures the record writer can meet besides a file held elsewhere (error 70,
// error_number::kPermissionDenied), numbered as the console reports them.
namespace file_error_number {
inline constexpr int kInternalError = 51;        // an unexpected failure inside the writer
inline constexpr int kDeviceIoError = 57;        // the disk refused the write
inline constexpr int kDiskFull = 61;             // no room for the whole row
inline constexpr int kTooManyFiles = 67;         // no file handle left
inline constexpr int kPathFileAccessError = 75;  // e.g. a read-only disk
inline constexpr int kPathNotFound = 76;         // the program folder is gone
}  // namespace file_error_number

// The files behind the record writer. The writer only ever asks whether a file is there and
// appends complete lines; how a file is opened, locked and closed is the platform's business.
class RecordFileSystem {
public:
    virtual ~RecordFileSystem() = default;

    // Whether a file exists at `path`. A path that cannot be examined counts as absent.
    [[nodiscard]] virtual bool exists(const std::string& path) = 0;

    // Opens the file at `path` for appending (creating it if absent), takes an exclusive lock
    // without waiting, appends `text` and closes the file again. The text lands whole or not at
    // all: a write that stops part-way is undone before the failure is reported, so a partial
    // line never shifts the columns of the rows after it.
    // Throws Error 70 (error_number::kPermissionDenied) when another program holds the file or
    // access is denied; any other failure as Error with its own number and description.
    virtual void appendLines(const std::string& path, std::string_view text) = 0;
};

// A local calendar date and time of day, as the clock on the wall shows it.
struct LocalDateTime {
    int year = 2000;   // e.g. 2026
    int month = 1;     // 1..12
    int day = 1;       // 1..31
    int hour = 0;      // 0..23
    int minute = 0;    // 0..59
    int second = 0;    // 0..59
};

class LocalClock {
public:
    virtual ~LocalClock() = default;
    [[nodiscard]] virtual LocalDateTime now() = 0;
};

}  // namespace dalmora
