#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <vector>

#include "sim/meter.h"

namespace dalmora::sim {

// The line as the configuration file describes it.
struct SimConfig {
    std::vector<MeterSetup> meters;
    int turnaroundMs = 3;  // from the end of a request to the first byte of the reply
    int stepMs = 100;      // process time step of the meters
};

// Both throw std::runtime_error with a message that names the meter and the key at fault.
[[nodiscard]] SimConfig parseConfig(const QByteArray& json);
[[nodiscard]] SimConfig loadConfig(const QString& path);

// The fault keys of a meter or a control command: "fault", "exception_code", "delay_ms",
// "short_registers". `base` is the fault the keys change.
[[nodiscard]] Fault parseFault(const QJsonObject& object, Fault base);

}  // namespace dalmora::sim
