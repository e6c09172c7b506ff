#pragma once

#include "drivers/record_file_system.h"

namespace dalmora {

// The platform adapter behind the record writer: real files and the computer's clock. It is the
// only place of the drivers that talks to the operating system (POSIX, or Win32 when built for
// Windows); the writer itself sees only RecordFileSystem and LocalClock.
//
// "Held by another program" is told by a lock that is not granted at once. On POSIX the lock is
// flock(LOCK_EX | LOCK_NB): it belongs to the open file, so it also refuses a second open of the
// same file inside this program, and closing some other descriptor of the file never drops it
// (as it would with fcntl locks). Only programs that lock the file themselves are noticed; a
// program that merely reads it does not stop recording. On Windows a file opened by another
// program without write sharing, or locked with LockFileEx, is refused the same way.
class OsRecordFileSystem : public RecordFileSystem {
public:
    [[nodiscard]] bool exists(const std::string& path) override;
    void appendLines(const std::string& path, std::string_view text) override;
};

class OsLocalClock : public LocalClock {
public:
    [[nodiscard]] LocalDateTime now() override;
};

}  // namespace dalmora
