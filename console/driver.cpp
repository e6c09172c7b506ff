#include "console/driver.h"

namespace dalmora {

void ModelDriver::Decode_Values_Block(DriverContext&) {}
void ModelDriver::Paint_Panel(DriverContext&) {}
void ModelDriver::Decode_Read_All(DriverContext&) {}
void ModelDriver::Decode_Read_One(DriverContext&) {}
void ModelDriver::Write_Parameter(DriverContext&) {}

}  // namespace dalmora
