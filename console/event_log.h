#pragma once

#include <string_view>

namespace dalmora {

// The console's journal: every report it makes and every change on the line an operator of
// sixteen meters wants to look back on. Each event becomes one line with the date and time,
// the slot, the slot's station at that moment and the text.
class EventLog {
public:
    // For events of the console as a whole (start, end, a scan, a port failure).
    static constexpr int kNoSlot = -1;

    virtual ~EventLog() = default;
    // slot: 0 to 15, or kNoSlot.
    virtual void record(int slot, std::string_view text) = 0;
};

// For objects built without a journal (tests that do not look at it).
class NullEventLog final : public EventLog {
public:
    void record(int, std::string_view) override {}
};

}  // namespace dalmora
