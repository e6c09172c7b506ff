#include "console/driver_table.h"

namespace dalmora {

namespace {

// Stands in for a model until its driver is registered.
ModelDriver& idleDriver() {
    static ModelDriver driver;
    return driver;
}

}  // namespace

const ModelInfo* findModel(std::string_view name) {
    for (const ModelInfo& model : kModels) {
        if (model.name == name) return &model;
    }
    return nullptr;
}

DriverTable::DriverTable() {
    for (std::size_t i = 0; i < kModels.size(); ++i) {
        entries_[i] = Entry{&kModels[i], &idleDriver()};
    }
}

bool DriverTable::registerDriver(std::string_view model, ModelDriver& driver) {
    for (Entry& entry : entries_) {
        if (entry.model->name == model) {
            entry.driver = &driver;
            return true;
        }
    }
    return false;
}

const DriverTable::Entry* DriverTable::find(std::string_view model) const {
    for (const Entry& entry : entries_) {
        if (entry.model->name == model) return &entry;
    }
    return nullptr;
}

}  // namespace dalmora
