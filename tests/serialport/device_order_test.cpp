#include <algorithm>

#include <QStringList>

#include <gtest/gtest.h>

#include "link/qt/qt_serial_port.h"

namespace dalmora {
namespace {

// COMn is the n-th device in this order, so the numbers must not move when a device with a
// longer number appears.
TEST(DeviceOrder, numbersInNamesCountByValue) {
    const QStringList ordered = {"rfcomm0", "ttyACM0", "ttyACM1", "ttyS0",   "ttyS2",
                                 "ttyS10",  "ttyS011", "ttyUSB0", "ttyUSB9", "ttyUSB10"};
    QStringList shuffled = ordered;
    std::reverse(shuffled.begin(), shuffled.end());
    std::rotate(shuffled.begin(), shuffled.begin() + 3, shuffled.end());
    std::sort(shuffled.begin(), shuffled.end(), deviceNameLess);
    EXPECT_EQ(shuffled, ordered);
    for (const QString& name : ordered) {
        EXPECT_FALSE(deviceNameLess(name, name)) << name.toStdString();
    }
}

}  // namespace
}  // namespace dalmora
