#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "drivers/live_values.h"
#include "drivers/record_files.h"
#include "fakes/temp_folder.h"

namespace dalmora::testing {

using RecordFolder = TempFolder;

inline std::string readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The lines of a record file. Every line must end with CR LF; a bare LF or a last line without
// its end fails the test that reads it.
inline std::vector<std::string> crlfLines(const std::string& text, bool* wellEnded = nullptr) {
    std::vector<std::string> lines;
    bool ok = true;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ok = false;
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    for (const std::string& line : lines) {
        if (line.find_first_of("\r\n") != std::string::npos) ok = false;
    }
    if (wellEnded != nullptr) *wellEnded = ok;
    return lines;
}

inline std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> all;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        all.push_back(line.substr(start, comma - start));
        if (comma == std::string::npos) return all;
        start = comma + 1;
    }
}

// Live values whose text names their register ("v4108"), so every column shows where it came from.
inline LiveValueTable namedLiveValues() {
    LiveValueTable values;
    for (int reg = kFirstLiveRegister; reg <= kLastLiveRegister; ++reg) values.setText(reg, "v" + std::to_string(reg));
    return values;
}

}  // namespace dalmora::testing

namespace dalmora::testing {

// Caps the size of any file this process writes, as a full disk would, until it goes out of
// scope. The signal a write past the cap raises is ignored, so the write comes back short or
// fails with EFBIG instead of ending the test program.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit capped = saved_;
        capped.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeCap() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace dalmora::testing
