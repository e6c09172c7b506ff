#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <set>
#include <string>

namespace dalmora::testing {

// A program folder of its own for one test, removed afterwards (with whatever a test made
// unwritable in it).
class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("dalmora-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                 std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string file(const std::string& name) const { return (path_ / name).string(); }

    // Names of the files in the folder.
    [[nodiscard]] std::set<std::string> names() const {
        std::set<std::string> all;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            all.insert(entry.path().filename().string());
        }
        return all;
    }

private:
    std::filesystem::path path_;
};

}  // namespace dalmora::testing
