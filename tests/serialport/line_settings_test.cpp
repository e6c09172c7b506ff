#include <gtest/gtest.h>

#include "link/qt/qt_serial_port.h"

namespace dalmora {
namespace {

struct LineCase {
    const char* text;
    qint32 baud;
    QSerialPort::Parity parity;
    QSerialPort::DataBits dataBits;
    QSerialPort::StopBits stopBits;
};

TEST(LineSettings, readBaudParityLetterDataAndStopBits) {
    const LineCase cases[] = {
        {"9600,E,7,1", 9600, QSerialPort::EvenParity, QSerialPort::Data7, QSerialPort::OneStop},
        {"19200,N,8,2", 19200, QSerialPort::NoParity, QSerialPort::Data8, QSerialPort::TwoStop},
        {"2400,O,5,1.5", 2400, QSerialPort::OddParity, QSerialPort::Data5, QSerialPort::OneAndHalfStop},
        {"57600,M,6,1", 57600, QSerialPort::MarkParity, QSerialPort::Data6, QSerialPort::OneStop},
        {"4800,S,8,1", 4800, QSerialPort::SpaceParity, QSerialPort::Data8, QSerialPort::OneStop},
        {"38400,e,8,1", 38400, QSerialPort::EvenParity, QSerialPort::Data8, QSerialPort::OneStop},
    };
    for (const LineCase& c : cases) {
        const auto line = parseLineSettings(c.text);
        ASSERT_TRUE(line.has_value()) << c.text;
        EXPECT_EQ(line->baud, c.baud) << c.text;
        EXPECT_EQ(line->parity, c.parity) << c.text;
        EXPECT_EQ(line->dataBits, c.dataBits) << c.text;
        EXPECT_EQ(line->stopBits, c.stopBits) << c.text;
    }
}

TEST(LineSettings, refuseTextsOfAnotherShape) {
    for (const char* text : {"", "9600,N,8", "9600,N,8,1,", "9600,,8,1", "9600,X,8,1", "9600,NO,8,1",
                             "9600,N,9,1", "9600,N,4,1", "9600,N,8,3", "9600,N,8,1.0", "0,N,8,1",
                             "-9600,N,8,1", "96OO,N,8,1", "9600 ,N,8,1", "99999999999,N,8,1"}) {
        EXPECT_FALSE(parseLineSettings(text).has_value()) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace dalmora
