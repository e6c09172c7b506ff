#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "drivers/formats.h"
#include "drivers/record_files.h"
#include "panel/panel_layout.h"

namespace dalmora {

// One register of a meter as the console shows it: a parameter (holding register below 4096)
// or a live value (input register from 4096). A pair format (Fmt_Hex32, Fmt_Time32) takes this
// address and the next; its text is kept under the second one.
struct RegisterSpec {
    int address = 0;
    std::string_view caption;
    std::string_view group;                       // the window's frame; empty for live values
    Format format = Format::Fmt_Integer;
    std::span<const std::string_view> choices{};  // Fmt_Choice: the list, value 0 first
    bool writable = true;                         // Enter in its box writes it

    // The address whose box and Live_Value_Table entry show the text.
    [[nodiscard]] constexpr int shownAt() const noexcept {
        return address + static_cast<int>(wordCount(format)) - 1;
    }
    // Fmt_Choice: the highest value that selects its own entry (the lowest is always 0).
    [[nodiscard]] constexpr int highestIndex() const noexcept {
        return static_cast<int>(choices.size()) - 1;
    }
};

// Everything the table driver knows of one model.
struct ModelMap {
    std::string_view name;                    // as stored in Slot_Model
    std::span<const RegisterSpec> parameters; // ascending from register 0: the read-all answer
    std::span<const RegisterSpec> liveValues; // ascending from 4096; empty: no live-value decode
    int dpRegister;                           // where the meter keeps its decimal-point setting
    int lastReadBackRegister;                 // a read-back of a higher register is ignored
    // Columns of the record file, and how the model reports a row or a live value it could not
    // make (each failing step is reported and the next one is tried). None: never recorded.
    std::optional<RecordModel> record;
    std::optional<PanelInputs> panel;         // none: the tile is never painted
};

// The parameter at exactly that address (not the second register of a pair), or null.
[[nodiscard]] constexpr const RegisterSpec* findRegister(std::span<const RegisterSpec> table,
                                                        int address) noexcept {
    for (const RegisterSpec& entry : table) {
        if (entry.address == address) return &entry;
    }
    return nullptr;
}

}  // namespace dalmora
