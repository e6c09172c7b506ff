#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "fakes/temp_folder.h"

namespace dalmora::testing {

inline std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline void writeWholeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// One record as the file holds it, built independently of the console's own encoder: each text
// as a little-endian length and its bytes, then zeros up to 128.
inline std::vector<std::uint8_t> recordOf(const std::vector<std::string>& texts) {
    std::vector<std::uint8_t> bytes;
    for (const std::string& text : texts) {
        bytes.push_back(static_cast<std::uint8_t>(text.size() % 256));
        bytes.push_back(static_cast<std::uint8_t>(text.size() / 256));
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    bytes.resize(128, 0);
    return bytes;
}

inline std::vector<std::string> sixteen(const std::string& text) {
    return std::vector<std::string>(16, text);
}

inline std::vector<std::uint8_t> slice(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

}  // namespace dalmora::testing
