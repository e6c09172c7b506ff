// Platform adapter: record files and the local clock on the real operating system.
#include "drivers/record_file_system_os.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace dalmora {

namespace {

// The console keeps paths as UTF-8 texts; the platform's own path type does the conversion.
std::filesystem::path platformPath(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

Error fileHeldError() {
    return Error(error_number::kPermissionDenied, "Permission denied");
}

#ifdef _WIN32

Error errorFromSystem(DWORD code) {
    switch (code) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_ACCESS_DENIED:
            return fileHeldError();
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return Error(file_error_number::kDiskFull, "Disk full");
        case ERROR_PATH_NOT_FOUND:
        case ERROR_FILE_NOT_FOUND:
            return Error(file_error_number::kPathNotFound, "Path not found");
        case ERROR_TOO_MANY_OPEN_FILES:
            return Error(file_error_number::kTooManyFiles, "Too many files");
        case ERROR_WRITE_PROTECT:
            return Error(file_error_number::kPathFileAccessError, "Path/File access error");
        default:
            return Error(file_error_number::kDeviceIoError,
                         "Device I/O error (system error " + std::to_string(code) + ")");
    }
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { CloseHandle(handle_); }
    [[nodiscard]] HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

void undoAppend(HANDLE file, LARGE_INTEGER sizeBefore) {
    SetFilePointerEx(file, sizeBefore, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
}

#else

Error errorFromSystem(int code) {
    switch (code) {
        case EACCES:
        case EPERM:
        case EWOULDBLOCK:
        case ETXTBSY:
            return fileHeldError();
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return Error(file_error_number::kDiskFull, "Disk full");
        case ENOENT:
        case ENOTDIR:
            return Error(file_error_number::kPathNotFound, "Path not found");
        case EMFILE:
        case ENFILE:
            return Error(file_error_number::kTooManyFiles, "Too many files");
        case EROFS:
        case EISDIR:
            return Error(file_error_number::kPathFileAccessError, "Path/File access error");
        default:
            return Error(file_error_number::kDeviceIoError,
                         std::string("Device I/O error (") + std::strerror(code) + ")");
    }
}

// Closes the file on every way out, so the next row can open it again.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    [[nodiscard]] int get() const { return fd_; }
    // Closes now and tells whether the close went well; the destructor then has nothing to do.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

#endif

}  // namespace

bool OsRecordFileSystem::exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(platformPath(path), ignored);
}

#ifdef _WIN32

void OsRecordFileSystem::appendLines(const std::string& path, std::string_view text) {
    // Other programs may read the file while we append, not write it.
    const HANDLE raw = CreateFileW(platformPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) throw errorFromSystem(GetLastError());
    const Handle file(raw);

    OVERLAPPED wholeFile{};
    if (!LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                    &wholeFile)) {
        throw errorFromSystem(GetLastError());
    }
    LARGE_INTEGER sizeBefore{};
    LARGE_INTEGER zero{};
    if (!GetFileSizeEx(file.get(), &sizeBefore) || !SetFilePointerEx(file.get(), zero, nullptr, FILE_END)) {
        const DWORD code = GetLastError();
        UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &wholeFile);
        throw errorFromSystem(code);
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file.get(), text.data() + done, chunk, &written, nullptr) || written == 0) {
            const DWORD code = GetLastError();
            undoAppend(file.get(), sizeBefore);
            UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &wholeFile);
            throw code == ERROR_SUCCESS ? Error(file_error_number::kDiskFull, "Disk full") : errorFromSystem(code);
        }
        done += written;
    }
    UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &wholeFile);
}

#else

void OsRecordFileSystem::appendLines(const std::string& path, std::string_view text) {
    const std::string native = platformPath(path).string();
    Descriptor file(::open(native.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (file.get() < 0) throw errorFromSystem(errno);

    // A lock held elsewhere is a file in use by another program: refuse at once, never wait
    // inside a poll step. The lock goes with the close.
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) throw errorFromSystem(errno);

    struct stat status {};
    if (::fstat(file.get(), &status) != 0) throw errorFromSystem(errno);
    const off_t sizeBefore = status.st_size;

    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(file.get(), text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            // Disk full, file too large, or the disk failed part-way: take back what did land,
            // under the same lock, so the file ends with a whole row.
            const Error error =
                written < 0 ? errorFromSystem(errno) : Error(file_error_number::kDiskFull, "Disk full");
            (void)::ftruncate(file.get(), sizeBefore);
            throw error;
        }
        done += static_cast<std::size_t>(written);
    }
    if (file.close() != 0) throw errorFromSystem(errno);
}

#endif

LocalDateTime OsLocalClock::now() {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    // A leap second (60) is shown as 59, keeping the time field two digits in 00..59.
    return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                         local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
}

}  // namespace dalmora
