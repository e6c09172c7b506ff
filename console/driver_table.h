#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "console/driver.h"

namespace dalmora {

// A model the console knows, with the sizes of its two block reads.
struct ModelInfo {
    std::string_view name;           // as stored in Slot_Model, compared exactly
    std::int32_t liveCount;          // live-values block: registers from 4096, function 04
    std::int32_t allParamCount;      // all parameters: registers from 0, function 03
    bool hasLiveValues;              // false: polled and reported, but no decode and no painting
};

// In the order every dispatch tests the names.
inline constexpr std::array<ModelInfo, 6> kModels{{
    {"T3", 22, 68, true},
    {"N5,N6,N8", 22, 68, true},
    {"Q71", 22, 70, false},
    {"HM15", 29, 140, true},
    {"RWN5D8", 29, 140, true},
    {"ZC37", 17, 58, true},
}};

// The model of that exact name, or null ("---", "t3", "N5" are no model).
[[nodiscard]] const ModelInfo* findModel(std::string_view name);

// From model name to driver. Every known model has a driver from the start, one that does
// nothing; the real drivers are registered over it. The table does not own the drivers.
class DriverTable {
public:
    struct Entry {
        const ModelInfo* model;
        ModelDriver* driver;
    };

    DriverTable();

    // Replaces the driver of a known model; returns false (and changes nothing) for another name.
    bool registerDriver(std::string_view model, ModelDriver& driver);

    // The entry of that exact model name, or null when the name is no model.
    [[nodiscard]] const Entry* find(std::string_view model) const;

private:
    std::array<Entry, kModels.size()> entries_;
};

}  // namespace dalmora
