#include "sim/config.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <stdexcept>

namespace dalmora::sim {

namespace {

[[noreturn]] void fail(const QString& message) { throw std::runtime_error(message.toStdString()); }

int integer(const QJsonObject& object, const QString& key, int low, int high, const QString& where) {
    const QJsonValue value = object.value(key);
    const double number = value.toDouble(-1e300);
    if (!value.isDouble() || number != static_cast<double>(static_cast<long long>(number)) ||
        number < low || number > high) {
        fail(QStringLiteral("%1: \"%2\" must be a whole number from %3 to %4")
                 .arg(where, key)
                 .arg(low)
                 .arg(high));
    }
    return static_cast<int>(number);
}

double number(const QJsonObject& object, const QString& key, const QString& where) {
    const QJsonValue value = object.value(key);
    if (!value.isDouble()) {
        fail(QStringLiteral("%1: \"%2\" must be a number").arg(where, key));
    }
    return value.toDouble();
}

void rejectUnknownKeys(const QJsonObject& object, const QSet<QString>& known, const QString& where) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!known.contains(it.key())) {
            fail(QStringLiteral("%1: unknown key \"%2\"").arg(where, it.key()));
        }
    }
}

std::uint8_t modelCodeOf(const QJsonValue& model, const QString& where) {
    if (model.isString()) {
        const ModelMap* map = findModel(model.toString().toStdString());
        if (map == nullptr) {
            fail(QStringLiteral("%1: unknown model \"%2\" (T3, N5,N6,N8, Q71, HM15, RWN5D8, ZC37, "
                                "or a model code as a number)")
                     .arg(where, model.toString()));
        }
        return map->code;
    }
    QJsonObject holder{{QStringLiteral("model"), model}};
    return static_cast<std::uint8_t>(integer(holder, QStringLiteral("model"), 1, 255, where));
}

MeterSetup parseMeter(const QJsonObject& object, int index) {
    const QString where = QStringLiteral("meter %1").arg(index + 1);
    rejectUnknownKeys(object,
                      {"station", "model", "baud", "pv", "noise", "ambient", "time_constant_s",
                       "registers", "fault", "exception_code", "delay_ms", "short_registers",
                       "description"},
                      where);
    MeterSetup setup;
    setup.station = integer(object, QStringLiteral("station"), 1, 255, where);
    if (!object.contains(QStringLiteral("model"))) {
        fail(where + QStringLiteral(": \"model\" is missing"));
    }
    setup.modelCode = modelCodeOf(object.value(QStringLiteral("model")), where);
    const ModelMap& map = mapForCode(setup.modelCode);
    if (object.contains(QStringLiteral("baud"))) {
        setup.baud = integer(object, QStringLiteral("baud"), 1, 1'000'000, where);
        if (!baudCode(map, setup.baud)) {
            fail(where + QStringLiteral(": \"baud\" must be 2400, 4800, 9600 or 19200"));
        }
    }
    if (object.contains(QStringLiteral("pv"))) {
        setup.pv = number(object, QStringLiteral("pv"), where);
    }
    if (object.contains(QStringLiteral("noise"))) {
        setup.noise = number(object, QStringLiteral("noise"), where);
    }
    if (object.contains(QStringLiteral("ambient"))) {
        setup.ambient = number(object, QStringLiteral("ambient"), where);
    }
    if (object.contains(QStringLiteral("time_constant_s"))) {
        setup.timeConstantS = number(object, QStringLiteral("time_constant_s"), where);
    }
    const QJsonObject registers = object.value(QStringLiteral("registers")).toObject();
    for (auto it = registers.begin(); it != registers.end(); ++it) {
        bool ok = false;
        const int reg = it.key().toInt(&ok);
        if (!ok || reg < 0 || reg >= map.holdingCount) {
            fail(QStringLiteral("%1: register \"%2\" is not a holding register of %3 (0 to %4)")
                     .arg(where, it.key(), QString::fromUtf8(map.name.data(),
                                                              static_cast<qsizetype>(map.name.size())))
                     .arg(map.holdingCount - 1));
        }
        const int value = integer(registers, it.key(), -32768, 65535, where + " registers");
        setup.registers.push_back({static_cast<std::uint16_t>(reg),
                                   static_cast<std::uint16_t>(value < 0 ? value + 65536 : value)});
    }
    setup.fault = parseFault(object, Fault{});
    return setup;
}

}  // namespace

Fault parseFault(const QJsonObject& object, Fault base) {
    const QString where = QStringLiteral("fault");
    if (object.contains(QStringLiteral("fault"))) {
        const auto kind = faultKindNamed(object.value(QStringLiteral("fault")).toString().toStdString());
        if (!kind) {
            fail(QStringLiteral("unknown fault \"%1\" (none, silent, crc, short, exception, late, garbage)")
                     .arg(object.value(QStringLiteral("fault")).toString()));
        }
        base.kind = *kind;
    }
    if (object.contains(QStringLiteral("exception_code"))) {
        base.exceptionCode =
            static_cast<std::uint8_t>(integer(object, QStringLiteral("exception_code"), 0, 255, where));
    }
    if (object.contains(QStringLiteral("delay_ms"))) {
        base.delayMs = integer(object, QStringLiteral("delay_ms"), 0, 60'000, where);
    }
    if (object.contains(QStringLiteral("short_registers"))) {
        base.registers = integer(object, QStringLiteral("short_registers"), 0, 140, where);
    }
    return base;
}

SimConfig parseConfig(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        fail(QStringLiteral("not valid JSON at offset %1: %2").arg(error.offset).arg(error.errorString()));
    }
    if (!document.isObject()) {
        fail(QStringLiteral("the configuration must be a JSON object with a \"meters\" list"));
    }
    const QJsonObject root = document.object();
    rejectUnknownKeys(root, {"meters", "turnaround_ms", "step_ms", "comment"}, QStringLiteral("configuration"));
    SimConfig config;
    if (root.contains(QStringLiteral("turnaround_ms"))) {
        config.turnaroundMs = integer(root, QStringLiteral("turnaround_ms"), 0, 1000, QStringLiteral("configuration"));
    }
    if (root.contains(QStringLiteral("step_ms"))) {
        config.stepMs = integer(root, QStringLiteral("step_ms"), 10, 10'000, QStringLiteral("configuration"));
    }
    const QJsonValue meters = root.value(QStringLiteral("meters"));
    if (!meters.isArray()) {
        fail(QStringLiteral("the configuration needs a \"meters\" list"));
    }
    QSet<int> stations;
    const QJsonArray list = meters.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (!list.at(i).isObject()) {
            fail(QStringLiteral("meter %1 is not an object").arg(i + 1));
        }
        MeterSetup setup = parseMeter(list.at(i).toObject(), static_cast<int>(i));
        if (stations.contains(setup.station)) {
            fail(QStringLiteral("meter %1: station %2 is already taken").arg(i + 1).arg(setup.station));
        }
        stations.insert(setup.station);
        config.meters.push_back(std::move(setup));
    }
    return config;
}

SimConfig loadConfig(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    }
    try {
        return parseConfig(file.readAll());
    } catch (const std::runtime_error& error) {
        fail(path + QStringLiteral(": ") + QString::fromStdString(error.what()));
    }
}

}  // namespace dalmora::sim
