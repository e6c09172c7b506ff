#include "drivers/table_driver.h"

#include <exception>
#include <optional>

#include "console/engine_host.h"
#include "link/bytes.h"
#include "panel/panel_layout.h"

namespace dalmora {

namespace {

Slot& slotAt(SharedState& state, int index) {
    if (index < 0 || index >= kSlotCount) {
        throw Error(error_number::kSubscriptOutOfRange, "Subscript out of range");
    }
    return state.slots[static_cast<std::size_t>(index)];
}

// Register k of the answer into the window: a list selects its entry (the first one for a value
// past the list's end), every other format shows its text.
void showParameter(ParameterView& view, const RegisterSpec& entry, std::span<const std::uint8_t> answer,
                   std::size_t k, std::int32_t dp) {
    if (entry.format == Format::Fmt_Choice) {
        view.setSelectedIndex(entry.shownAt(), choiceIndex(registerAt(answer, k), entry.highestIndex()));
    } else {
        view.setText(entry.shownAt(), decodeRegister(entry.format, answer, k, dp));
    }
}

}  // namespace

TableDriver::TableDriver(const ModelMap& model, RecordWriter& records) : model_(model), records_(records) {}

void TableDriver::Decode_Values_Block(DriverContext& context) {
    if (model_.liveValues.empty() || !model_.record) return;
    SharedState& state = context.state;
    const int slot = state.Poll_Slot;
    const std::int32_t dp = slotAt(state, slot).Decimal_Point_Code;
    // The window shows live values only of its own meter; another meter of the same model
    // being polled must not overwrite them.
    ParameterView* view = state.Window_Slot == state.Poll_Slot ? context.view : nullptr;
    const RecordFailurePolicy& report = model_.record->onFailure;

    // A short block fails at its first missing value and at every one after it. The operator is
    // told once per poll, at the first: a box and beeps for each of up to 29 values, every poll,
    // would bury the console under reports of one cause.
    bool reported = false;
    const auto reportOnce = [&](int reg, const Error& error) {
        if (reported) return;
        reported = true;
        reportRowFailure(context.notifier, report, reg, error);
    };
    for (const RegisterSpec& entry : model_.liveValues) {
        // Each value on its own: one that cannot be read must not cost the ones after it.
        try {
            const std::string text = decodeRegister(
                entry.format, state.Receive_Buffer, static_cast<std::size_t>(entry.address - kFirstLiveRegister), dp);
            liveValues_.setText(entry.shownAt(), text);
            if (view != nullptr) view->setText(entry.shownAt(), text);
        } catch (const Error& error) {
            reportOnce(entry.shownAt(), error);
        } catch (const std::exception& failure) {
            reportOnce(entry.shownAt(), Error(51, failure.what()));
        }
    }
    records_.Append_Record_Row(slot, *model_.record, liveValues_);
}

void TableDriver::Paint_Panel(DriverContext& context) {
    if (!model_.panel) return;
    const SharedState& state = context.state;
    const int slot = state.Poll_Slot;
    const std::int32_t dp = slotAt(context.state, slot).Decimal_Point_Code;
    paintAnswer(context.tiles, slot, state.Receive_Buffer, dp, *model_.panel);
}

void TableDriver::Decode_Read_All(DriverContext& context) {
    SharedState& state = context.state;
    Slot& slot = slotAt(state, state.Window_Slot);
    const std::uint16_t code = registerAt(state.Receive_Buffer, static_cast<std::size_t>(model_.dpRegister));
    slot.Decimal_Point_Code = code <= 3 ? code : 0;
    if (context.view == nullptr) return;
    for (const RegisterSpec& entry : model_.parameters) {
        showParameter(*context.view, entry, state.Receive_Buffer, static_cast<std::size_t>(entry.address),
                      slot.Decimal_Point_Code);
    }
}

void TableDriver::Decode_Read_One(DriverContext& context) {
    SharedState& state = context.state;
    const int reg = state.Current_Register;
    if (context.view == nullptr || reg < 0 || reg > model_.lastReadBackRegister) return;
    const RegisterSpec* entry = findRegister(model_.parameters, reg);
    if (entry == nullptr) return;
    // The DP is not taken from a read-back of the DP register: the dot and the scaled texts
    // follow a new setting only after the next read-all.
    showParameter(*context.view, *entry, state.Receive_Buffer, 0, slotAt(state, state.Window_Slot).Decimal_Point_Code);
}

void TableDriver::Write_Parameter(DriverContext& context) {
    SharedState& state = context.state;
    const RegisterSpec* entry = findRegister(model_.parameters, state.Current_Register);
    if (entry == nullptr || !entry->writable || context.view == nullptr) return;
    if (entry->format == Format::Fmt_Choice) {
        // The list position as it stands, -1 when the typed text matches no entry.
        state.Write_Value = context.view->selectedIndex(entry->address);
        return;
    }
    const std::optional<std::int32_t> value = encodeValue(
        entry->format, context.view->text(entry->address), slotAt(state, state.Window_Slot).Decimal_Point_Code);
    if (value) state.Write_Value = *value;
}

}  // namespace dalmora
