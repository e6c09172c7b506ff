#pragma once

#include "console/driver.h"
#include "drivers/live_values.h"
#include "drivers/record_files.h"
#include "drivers/register_map.h"

namespace dalmora {

// The driver of a model whose registers are all in its ModelMap: T3, N5, Q71 and ZC37. It holds
// the model's `Live_Value_Table` (shared by all slots of the model) and appends the polled slot's
// record row through the one record writer.
class TableDriver final : public ModelDriver {
public:
    TableDriver(const ModelMap& model, RecordWriter& records);

    // Every live value into the Live_Value_Table and, when the model's window is open for
    // Poll_Slot, into its box; then the record row. A value that cannot be decoded (a short
    // answer) is reported the model's way and the next one is tried, so the later texts keep
    // their previous values and the row is still written.
    void Decode_Values_Block(DriverContext& context) override;
    // PV, SV, dots and lamps of Poll_Slot's tile. A short answer draws nothing and throws.
    void Paint_Panel(DriverContext& context) override;
    // The meter's decimal-point setting into Decimal_Point_Code of Window_Slot first, so that the
    // values of this same answer are scaled by it; then every parameter into the window. Traps
    // nothing: a short answer stops at the first missing register.
    void Decode_Read_All(DriverContext& context) override;
    // Current_Register from bytes 3 and 4, when it is one the window writes (or the baud rate).
    void Decode_Read_One(DriverContext& context) override;
    // Write_Value from the window's box or list of Current_Register. A register the window never
    // writes leaves Write_Value as it was.
    void Write_Parameter(DriverContext& context) override;

    [[nodiscard]] const LiveValueTable& Live_Value_Table() const { return liveValues_; }
    [[nodiscard]] const ModelMap& model() const { return model_; }

private:
    const ModelMap& model_;
    RecordWriter& records_;
    LiveValueTable liveValues_;
};

}  // namespace dalmora
