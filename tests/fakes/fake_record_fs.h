#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "drivers/record_file_system.h"
#include "drivers/record_files.h"

namespace dalmora::testing {

// Record files in memory. `failures` are thrown by the next appends, one per call, before
// anything is written (the file system's promise: a row lands whole or not at all).
class FakeRecordFileSystem : public RecordFileSystem {
public:
    [[nodiscard]] bool exists(const std::string& path) override { return files.contains(path); }

    void appendLines(const std::string& path, std::string_view text) override {
        ++appendCalls;
        if (!failures.empty()) {
            const Error error = failures.front();
            failures.erase(failures.begin());
            if (createsFileOnFailure) files[path];
            throw error;
        }
        files[path] += text;
    }

    void failNext(int number, const std::string& description) { failures.emplace_back(number, description); }

    std::map<std::string, std::string> files;
    std::vector<Error> failures;
    bool createsFileOnFailure = false;  // as a real open that succeeded before the write failed
    int appendCalls = 0;
};

// A clock that says what the test sets.
class FakeLocalClock : public LocalClock {
public:
    explicit FakeLocalClock(LocalDateTime start = {2026, 12, 11, 12, 30, 5}) : time(start) {}
    [[nodiscard]] LocalDateTime now() override { return time; }
    LocalDateTime time;
};

// The REC indicators of the tiles, as last drawn.
class FakeRecordIndicator : public RecordIndicator {
public:
    void showRecording(int slot, bool on) override { calls.emplace_back(slot, on); }
    std::vector<std::pair<int, bool>> calls;
};

}  // namespace dalmora::testing
