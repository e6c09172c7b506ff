#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "console/driver.h"
#include "link/bytes.h"

namespace dalmora::testing {

// A driver that writes down each call with the slot it concerned. With `readsRegisters` set,
// Decode_Values_Block reads that many registers the way a real driver does, so a short answer
// fails with error 9 at the first missing byte.
class RecordingDriver : public ModelDriver {
public:
    struct Call {
        std::string operation;
        int pollSlot;
        int windowSlot;
        ParameterView* view;
    };

    void Decode_Values_Block(DriverContext& context) override {
        record("Decode_Values_Block", context);
        for (std::size_t k = 0; k < readsRegisters; ++k) {
            (void)registerAt(context.state.Receive_Buffer, k);
        }
    }
    void Paint_Panel(DriverContext& context) override { record("Paint_Panel", context); }
    void Decode_Read_All(DriverContext& context) override { record("Decode_Read_All", context); }
    void Decode_Read_One(DriverContext& context) override { record("Decode_Read_One", context); }
    void Write_Parameter(DriverContext& context) override {
        record("Write_Parameter", context);
        context.state.Write_Value = writeValue;
    }

    [[nodiscard]] std::vector<std::string> operations() const {
        std::vector<std::string> names;
        for (const Call& call : calls) names.push_back(call.operation);
        return names;
    }

    std::vector<Call> calls;
    std::size_t readsRegisters = 0;
    std::int32_t writeValue = 0;

private:
    void record(const char* operation, DriverContext& context) {
        calls.push_back({operation, context.state.Poll_Slot, context.state.Window_Slot, context.view});
    }
};

}  // namespace dalmora::testing
