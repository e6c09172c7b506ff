#include "link/qt/qt_serial_port.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QSerialPortInfo>

#include <algorithm>
#include <charconv>
#include <utility>

#ifndef Q_OS_WIN
#include <poll.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

namespace dalmora {

namespace {

// Each poll of the device takes up to 32 KiB; a Modbus answer is far below one round.
constexpr int kMaxDrainRounds = 16;

Error notOpen() {
    return Error(error_number::kPortNotOpen, "Operation valid only when the port is open");
}

Error otherError(const QSerialPort& port) {
    return Error(kOtherPortErrorBase + static_cast<int>(port.error()), port.errorString().toStdString());
}

// n for a name "COMn" (n from 1), 0 for any other name.
int comNumber(const QString& name) {
    if (!name.startsWith(QLatin1String("COM")) || name.size() == 3) return 0;
    bool ok = false;
    const int number = QStringView(name).mid(3).toInt(&ok);
    return ok && number > 0 && name[3].isDigit() && name[3] != u'0' ? number : 0;
}

// The computer's own serial devices with their numbers.
std::vector<SerialDevice> machineDevices() {
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::vector<SerialDevice> devices;
#ifdef Q_OS_WIN
    for (const QSerialPortInfo& port : ports) {
        const int number = comNumber(port.portName());
        if (number == 0) continue;
        const QString name = port.description().isEmpty() ? port.portName() : port.description();
        devices.push_back({number, port.portName(), name});
    }
#else
    std::sort(ports.begin(), ports.end(), [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
        return deviceNameLess(a.portName(), b.portName());
    });
    int number = 0;
    for (const QSerialPortInfo& port : ports) {
        const QString name = port.description().isEmpty() ? port.portName() : port.description();
        devices.push_back({++number, port.systemLocation(), name});
    }
#endif
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.number < b.number; });
    return devices;
}

#ifndef Q_OS_WIN
// The entry "COMn" of the program folder, if there is one (it may be a link to nothing).
std::optional<QFileInfo> folderEntry(const QString& programFolder, int number) {
    if (programFolder.isEmpty()) return std::nullopt;
    QFileInfo entry(QDir(programFolder).filePath(QStringLiteral("COM%1").arg(number)));
    if (entry.isSymLink() || entry.exists()) return entry;
    return std::nullopt;
}
#endif

// A pseudo-terminal carries bytes, not characters on a wire: Linux keeps it at 8 data bits
// without parity and refuses other framing. The simulator and network bridges sit behind one.
bool isPseudoTerminal([[maybe_unused]] const QSerialPort& port) {
#ifdef Q_OS_LINUX
    struct stat status {};
    if (::fstat(port.handle(), &status) != 0 || !S_ISCHR(status.st_mode)) return false;
    const unsigned int kind = major(status.st_rdev);
    return kind >= 136 && kind <= 143;  // the slave side of Unix98 pseudo-terminals
#else
    return false;
#endif
}

// Whether the device is gone for good (unplugged, the far end of a pseudo-terminal closed),
// rather than, say, only unable to take more output right now.
bool deviceHungUp([[maybe_unused]] const QSerialPort& port) {
#ifdef Q_OS_WIN
    return true;
#else
    pollfd device{port.handle(), 0, 0};
    return ::poll(&device, 1, 0) < 0 || (device.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#endif
}

}  // namespace

bool deviceNameLess(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i;
            while (endA < a.size() && a[endA].isDigit()) ++endA;
            qsizetype endB = j;
            while (endB < b.size() && b[endB].isDigit()) ++endB;
            while (i + 1 < endA && a[i] == u'0') ++i;  // leading zeros do not count
            while (j + 1 < endB && b[j] == u'0') ++j;
            const QStringView numberA = QStringView(a).mid(i, endA - i);
            const QStringView numberB = QStringView(b).mid(j, endB - j);
            if (numberA.size() != numberB.size()) return numberA.size() < numberB.size();
            if (numberA != numberB) return numberA < numberB;
            i = endA;
            j = endB;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

std::vector<SerialDevice> serialDeviceList([[maybe_unused]] const QString& programFolder) {
    std::vector<SerialDevice> devices = machineDevices();
#ifndef Q_OS_WIN
    if (programFolder.isEmpty()) return devices;
    const QStringList entries = QDir(programFolder).entryList(
        {QStringLiteral("COM*")}, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entryName : entries) {
        const int number = comNumber(entryName);
        if (number == 0) continue;
        // The folder's entry stands in for the device of the same number, even when it leads
        // nowhere: opening COMn then fails, so the list must not offer the device either.
        std::erase_if(devices, [number](const SerialDevice& d) { return d.number == number; });
        const QString target = QFileInfo(QDir(programFolder).filePath(entryName)).canonicalFilePath();
        if (!target.isEmpty()) devices.push_back({number, target, target});
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.number < b.number; });
#endif
    return devices;
}

std::optional<LineSettings> parseLineSettings(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (items.size() != 4) return std::nullopt;

    LineSettings line;
    const std::string& baud = items[0];
    const auto [end, ec] = std::from_chars(baud.data(), baud.data() + baud.size(), line.baud);
    if (ec != std::errc{} || end != baud.data() + baud.size() || line.baud <= 0) return std::nullopt;

    if (items[1].size() != 1) return std::nullopt;
    switch (items[1][0]) {
        case 'N': case 'n': line.parity = QSerialPort::NoParity; break;
        case 'E': case 'e': line.parity = QSerialPort::EvenParity; break;
        case 'O': case 'o': line.parity = QSerialPort::OddParity; break;
        case 'M': case 'm': line.parity = QSerialPort::MarkParity; break;
        case 'S': case 's': line.parity = QSerialPort::SpaceParity; break;
        default: return std::nullopt;
    }

    const std::string& data = items[2];
    if (data == "5") line.dataBits = QSerialPort::Data5;
    else if (data == "6") line.dataBits = QSerialPort::Data6;
    else if (data == "7") line.dataBits = QSerialPort::Data7;
    else if (data == "8") line.dataBits = QSerialPort::Data8;
    else return std::nullopt;

    const std::string& stop = items[3];
    if (stop == "1") line.stopBits = QSerialPort::OneStop;
    else if (stop == "1.5") line.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == "2") line.stopBits = QSerialPort::TwoStop;
    else return std::nullopt;
    return line;
}

QtSerialPort::QtSerialPort(QString programFolder) : programFolder_(std::move(programFolder)) {
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                     [this](QSerialPort::SerialPortError error) { onError(error); });
}

QtSerialPort::~QtSerialPort() {
    QObject::disconnect(&port_, nullptr, nullptr, nullptr);
    port_.close();
}

QString QtSerialPort::deviceFor(int number) const {
    if (number < 1) return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    // A link in the program folder wins; one that leads nowhere is no port at all.
    if (const auto entry = folderEntry(programFolder_, number)) return entry->canonicalFilePath();
    for (const SerialDevice& device : machineDevices()) {
        if (device.number == number) return device.location;
    }
    return {};
#endif
}

void QtSerialPort::open(int number, const std::string& settings) {
    close();
    const std::optional<LineSettings> line = parseLineSettings(settings);
    if (!line) {
        throw Error(error_number::kDeviceControlBlock, "Invalid port settings \"" + settings + "\"");
    }
    const QString location = deviceFor(number);
    if (location.isEmpty()) {
        throw Error(error_number::kInvalidPortNumber, "Invalid port number");
    }
    port_.setPortName(location);
    if (!port_.open(QIODevice::ReadWrite)) {
        const std::string reason = port_.errorString().toStdString();
        port_.clearError();
        throw Error(error_number::kInvalidPortNumber,
                    "Invalid port number (" + location.toStdString() + ": " + reason + ")");
    }
    ++generation_;
    applyLine(*line, settings);
}

void QtSerialPort::applyLine(const LineSettings& line, const std::string& text) {
    const bool pseudoTerminal = isPseudoTerminal(port_);
    QSerialPort::StopBits stopBits = line.stopBits;
#ifndef Q_OS_WIN
    // Terminal devices here know one or two stop bits only. Two give the far end at least the
    // pause it expects; receiving is the same either way.
    if (stopBits == QSerialPort::OneAndHalfStop) stopBits = QSerialPort::TwoStop;
#endif
    const bool applied = port_.setBaudRate(line.baud) &&
                         (port_.setDataBits(line.dataBits) || pseudoTerminal) &&
                         (port_.setParity(line.parity) || pseudoTerminal) &&
                         port_.setStopBits(stopBits);
    if (!applied) {
        const std::string reason = port_.errorString().toStdString();
        shutPort();
        throw Error(error_number::kDeviceControlBlock,
                    "Could not apply the line settings " + text + " (" + reason + ")");
    }
    port_.clearError();
}

void QtSerialPort::close() {
    fault_.reset();
    shutPort();
}

bool QtSerialPort::isOpen() const {
    return port_.isOpen();
}

void QtSerialPort::write(const Bytes& bytes) {
    if (fault_) {
        shutPort();
        throw *fault_;
    }
    if (!port_.isOpen()) throw notOpen();
    port_.clearError();
    const auto size = static_cast<qint64>(bytes.size());
    const qint64 written = port_.write(reinterpret_cast<const char*>(bytes.data()), size);
    // Hand the frame to the system now rather than when the event loop next runs: the meter's
    // answer time is counted from this tick.
    if (written == size) port_.flush();
    if (fault_) {
        shutPort();
        throw *fault_;
    }
    if (written != size || port_.error() != QSerialPort::NoError) {
        const Error error = otherError(port_);
        port_.clearError();
        throw error;
    }
}

Bytes QtSerialPort::readAll() {
    // Take in what the system holds now: the event loop may not have run since it arrived.
    if (!fault_ && port_.isOpen()) {
        for (int round = 0; round < kMaxDrainRounds && port_.waitForReadyRead(0); ++round) {
        }
    }
    if (fault_) throwFault();
    if (!port_.isOpen()) throw notOpen();
    port_.clearError();  // a poll that found nothing leaves a timeout behind
    const QByteArray data = port_.readAll();
    return Bytes(data.begin(), data.end());
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    // A read that finds the end of the device means it is gone. A full output queue is also a
    // resource error, but the line is still there: that write fails on its own.
    const bool lost = error == QSerialPort::ReadError ||
                      (error == QSerialPort::ResourceError && deviceHungUp(port_));
    if (!lost || fault_ || !port_.isOpen()) return;
    fault_.emplace(error_number::kReadError,
                   "Error reading device (" + port_.errorString().toStdString() + ")");
    // The device stays readable-at-end forever: without a close the event loop would spin on it
    // until the engine's next tick. Not closed here, inside the port's own notification.
    const unsigned generation = generation_;
    QMetaObject::invokeMethod(
        &port_, [this, generation] { if (generation == generation_) shutPort(); },
        Qt::QueuedConnection);
}

void QtSerialPort::throwFault() {
    shutPort();
    const Error fault = *fault_;
    fault_.reset();
    throw fault;
}

void QtSerialPort::shutPort() {
    if (port_.isOpen()) {
        port_.close();
        ++generation_;
    }
    port_.clearError();
}

}  // namespace dalmora
