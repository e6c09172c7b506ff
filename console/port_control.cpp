#include "console/port_control.h"

#include <charconv>

#include "link/text.h"

namespace dalmora {

namespace {

// The leading number of a text, 0 when there is none ("12" -> 12, "x" -> 0).
int leadingNumber(std::string_view text) {
    text = trimmed(text);
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} ? value : 0;
}

}  // namespace

std::string portSettingsText(const SerialSettings& serial) {
    const std::string_view parity = trimmed(serial.Parity_Name);
    std::string text = serial.Baud_Rate + ",";
    if (!parity.empty()) text += parity.front();
    text += "," + serial.Data_Bits + "," + serial.Stop_Bits;
    std::erase(text, ' ');
    return text;
}

void Open_Port(SerialPort& port, const SerialSettings& serial) {
    if (serial.Port_Name == "CLOSE") {
        return;
    }
    try {
        if (port.isOpen()) port.close();
    } catch (const Error&) {
    }
    const std::string_view name = trimmed(serial.Port_Name);
    const int number = name.size() > 3 ? leadingNumber(name.substr(3)) : 0;
    try {
        port.open(number, portSettingsText(serial));
    } catch (const Error&) {
    }
}

void Set_Poll_Interval(IntervalTimer& timer, const std::string& baudRate, const TimingRow& row) {
    if (baudRate == "2400") {
        timer.setInterval(row.at2400);
    } else if (baudRate == "4800") {
        timer.setInterval(row.at4800);
    } else if (baudRate == "9600") {
        timer.setInterval(row.at9600);
    } else if (baudRate == "19200") {
        timer.setInterval(row.at19200);
    }
}

}  // namespace dalmora
