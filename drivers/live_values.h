#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <utility>

#include "link/error.h"
#include "link/modbus.h"

namespace dalmora {

// Live values are input registers 4096 to 4124; the widest block (HM15, RWN5D8) covers all 29,
// T3 and N5 use 4096 to 4117, ZC37 4096 to 4112.
// (kFirstLiveRegister, 4096, comes from link/modbus.h.)
inline constexpr int kLiveRegisterCount = 29;
inline constexpr int kLastLiveRegister = kFirstLiveRegister + kLiveRegisterCount - 1;

// The texts a model's driver last made for its live-value registers, exactly as the console
// shows them. One table per model, shared by all slots of that model: the driver fills it from
// the block just polled, and the record writer reads it right afterwards, so a row never mixes
// two meters. A register outside 4096..4124 is error 9, never a read past the table.
class LiveValueTable {
public:
    [[nodiscard]] const std::string& text(int reg) const { return texts_[index(reg)]; }
    void setText(int reg, std::string text) { texts_[index(reg)] = std::move(text); }

    [[nodiscard]] static constexpr bool holds(int reg) noexcept {
        return reg >= kFirstLiveRegister && reg <= kLastLiveRegister;
    }

private:
    [[nodiscard]] static std::size_t index(int reg) {
        if (!holds(reg)) {
            throw Error(error_number::kSubscriptOutOfRange, "Subscript out of range");
        }
        return static_cast<std::size_t>(reg - int{kFirstLiveRegister});
    }

    std::array<std::string, kLiveRegisterCount> texts_{};
};

}  // namespace dalmora
