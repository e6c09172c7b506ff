#pragma once

#include "console/engine_host.h"
#include "console/notifier.h"
#include "console/shared_state.h"

namespace dalmora {

class TileCanvas;  // panel/tile_canvas.h

// What a driver operation works on. Everything else it needs lies in the shared state:
// Receive_Buffer, Poll_Slot, Window_Slot, Current_Register, Write_Value, the slot table.
struct DriverContext {
    SharedState& state;
    TileCanvas& tiles;
    // The model's open parameter window. For the live values: only when it belongs to Poll_Slot.
    // Null when there is none.
    ParameterView* view;
    Notifier& notifier;
};

// One controller model's knowledge of its registers. The engine calls the decode and paint
// operations only for an answer that passed the frame checks (at least 7 bytes, CRC right);
// station, function and length are not compared with the request, so an operation reads bytes
// only through byteAt/registerAt and a short answer ends it with error 9, which the engine
// reports. An operation never sends on the line and never changes Engine_State, Poll_Slot or
// Window_Slot. The defaults do nothing.
class ModelDriver {
public:
    virtual ~ModelDriver() = default;

    // The live-values block of the meter in Poll_Slot is in Receive_Buffer (from register 4096).
    virtual void Decode_Values_Block(DriverContext& context);
    // Right after Decode_Values_Block: paint the tile of Poll_Slot.
    virtual void Paint_Panel(DriverContext& context);
    // All parameters of the meter in Window_Slot (from register 0); fill the window, store
    // Decimal_Point_Code of Window_Slot.
    virtual void Decode_Read_All(DriverContext& context);
    // Current_Register, read back, in bytes 3 and 4 of Receive_Buffer.
    virtual void Decode_Read_One(DriverContext& context);
    // Called by the parameter window before it stores state 12: set Write_Value from the
    // window's control of Current_Register.
    virtual void Write_Parameter(DriverContext& context);
};

}  // namespace dalmora
