#include "drivers/model_drivers.h"

#include <array>
#include <utility>

#include "drivers/register_maps.h"

namespace dalmora {

ModelDrivers::ModelDrivers(SharedState& state, Notifier& notifier, RecordIndicator& indicator,
                           std::string programFolder)
    : records_(state, files_, clock_, notifier, indicator, std::move(programFolder)),
      t3_(register_maps::kT3, records_),
      n5_(register_maps::kN5, records_),
      q71_(register_maps::kQ71, records_),
      zc37_(register_maps::kZC37, records_) {}

void ModelDrivers::registerInto(DriverTable& table) {
    for (TableDriver* driver : {&t3_, &n5_, &q71_, &zc37_}) {
        table.registerDriver(driver->model().name, *driver);
    }
}

TableDriver* ModelDrivers::driver(std::string_view model) {
    for (TableDriver* driver : {&t3_, &n5_, &q71_, &zc37_}) {
        if (driver->model().name == model) return driver;
    }
    return nullptr;
}

}  // namespace dalmora
