#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace dalmora {

// Port failures that are none of the numbered ones the engine acts on (8002, 8012, 8018, 8020,
// 8021) carry this base plus QSerialPort's error code, with Qt's wording as description, so the
// engine reports them with their reason: a write error is 8090 + 7 = 8097.
inline constexpr int kOtherPortErrorBase = 8090;

// One port the console can open as COMn.
struct SerialDevice {
    int number = 0;    // the n of "COMn"
    QString location;  // what is opened for it: a device path, or the Windows port name
    QString name;      // what the computer calls it: "USB Serial Port", "ttyUSB0", a link's target
};

// The ports the console can open, by number, in the order the serial settings window lists them.
// On Linux the computer's serial devices are numbered in natural order of their names (ttyS0,
// ttyS1, ..., ttyS10, ttyUSB0: COM1, COM2, ...); an entry "COMn" in the program folder (a link to
// a device or a pseudo-terminal) takes the place of the n-th device. On Windows the number is the
// one in the port's own name.
[[nodiscard]] std::vector<SerialDevice> serialDeviceList(const QString& programFolder);

// The order devices are numbered in: "ttyS2" before "ttyS10" (runs of digits by value).
[[nodiscard]] bool deviceNameLess(const QString& a, const QString& b);

// The line as the settings text "19200,N,8,2" gives it: baud, parity letter (N, E, O, M, S, either
// case), data bits 5 to 8, stop bits 1, 1.5 or 2. Nothing for a text of another shape.
struct LineSettings {
    qint32 baud = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};
[[nodiscard]] std::optional<LineSettings> parseLineSettings(const std::string& text);

// The console's serial port on QSerialPort. Never waits: readAll takes what the system has
// received by now, whether or not the event loop has run since the bytes arrived. A device that
// goes away (adapter unplugged, pseudo-terminal closed) closes the port and is reported once as
// error 8020 by the next readAll, so that the engine's recovery can open it again later.
class QtSerialPort final : public SerialPort {
public:
    explicit QtSerialPort(QString programFolder);
    ~QtSerialPort() override;

    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    void open(int number, const std::string& settings) override;
    void close() override;
    [[nodiscard]] bool isOpen() const override;
    void write(const Bytes& bytes) override;
    [[nodiscard]] Bytes readAll() override;

private:
    [[nodiscard]] QString deviceFor(int number) const;
    void applyLine(const LineSettings& line, const std::string& text);
    void onError(QSerialPort::SerialPortError error);
    [[noreturn]] void throwFault();
    void shutPort();

    QString programFolder_;
    QSerialPort port_;
    std::optional<Error> fault_;  // a lost device, not yet reported
    unsigned generation_ = 0;     // counts opens and closes, so a late close spares a newer port
};

}  // namespace dalmora
