// The simulator against an independent Modbus master, libmodbus, through the COM1 link.

#include <gtest/gtest.h>

#include <modbus.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "sim_process.h"

namespace dalmora::testing {
namespace {

// Station 1: T3 at 19200 with one decimal. Station 6: ZC37 at 19200 with two decimals (its DP is
// register 24). Station 3: T3 at 9600. No noise, PV at SV: the live values are exact.
constexpr const char* kConfig = R"({
  "meters": [
    {"station": 1, "model": "T3", "baud": 19200, "pv": 25.0, "noise": 0,
     "registers": {"0": 250, "33": 1, "4": 1200, "41": 0}},
    {"station": 6, "model": "ZC37", "baud": 19200, "pv": 12.34, "noise": 0,
     "registers": {"0": 1234, "24": 2, "4": -500}},
    {"station": 3, "model": "T3", "baud": 9600, "pv": 30.0, "noise": 0,
     "registers": {"0": 300, "33": 1}}
  ]})";

struct ModbusDeleter {
    void operator()(modbus_t* ctx) const {
        modbus_close(ctx);
        modbus_free(ctx);
    }
};
using Master = std::unique_ptr<modbus_t, ModbusDeleter>;

Master connect(const std::string& device, int baud) {
    Master master(modbus_new_rtu(device.c_str(), baud, 'N', 8, 2));
    if (!master || modbus_connect(master.get()) != 0) {
        ADD_FAILURE() << "libmodbus cannot open " << device << ": " << modbus_strerror(errno);
        return nullptr;
    }
    modbus_set_response_timeout(master.get(), 0, 400'000);
    return master;
}

std::vector<std::uint16_t> readInput(modbus_t* ctx, int station, int address, int count) {
    std::vector<std::uint16_t> values(static_cast<std::size_t>(count));
    modbus_set_slave(ctx, station);
    const int n = modbus_read_input_registers(ctx, address, count, values.data());
    EXPECT_EQ(n, count) << "station " << station << ": " << modbus_strerror(errno);
    return values;
}

std::vector<std::uint16_t> readHolding(modbus_t* ctx, int station, int address, int count) {
    std::vector<std::uint16_t> values(static_cast<std::size_t>(count));
    modbus_set_slave(ctx, station);
    const int n = modbus_read_registers(ctx, address, count, values.data());
    EXPECT_EQ(n, count) << "station " << station << ": " << modbus_strerror(errno);
    return values;
}

class InteropTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(sim_.stop(), 0); }
    SimProcess sim_{kConfig};
};

TEST_F(InteropTest, libmodbusReadsTheConfiguredValuesOfTwoStations) {
    const Master master = connect(sim_.linkPath(), 19200);
    ASSERT_TRUE(master);

    struct Row {
        int station;
        int liveCount;
        int holdingCount;
        std::uint16_t pv;
        std::uint16_t sv;
        int dpRegister;
        std::uint16_t dp;
        int idRegister;
        int baudRegister;
        std::uint16_t alarm1;
        std::uint16_t code;
    };
    for (const Row row : {Row{1, 22, 68, 250, 250, 33, 1, 42, 43, 1200, 64},
                          Row{6, 17, 58, 1234, 1234, 24, 2, 32, 33, 65036, 70}}) {
        const auto live = readInput(master.get(), row.station, 4096, row.liveCount);
        EXPECT_EQ(live[0], row.pv) << "PV of station " << row.station;
        EXPECT_EQ(live[1], row.sv) << "SV of station " << row.station;
        const auto holding = readHolding(master.get(), row.station, 0, row.holdingCount);
        EXPECT_EQ(holding[0], row.sv);
        EXPECT_EQ(holding[4], row.alarm1);
        EXPECT_EQ(holding[static_cast<std::size_t>(row.dpRegister)], row.dp);
        EXPECT_EQ(holding[static_cast<std::size_t>(row.idRegister)], row.station);
        EXPECT_EQ(holding[static_cast<std::size_t>(row.baudRegister)], 3) << "19200 is the fourth baud";
        EXPECT_EQ(readInput(master.get(), row.station, 7936, 1)[0], row.code << 8);
    }
}

TEST_F(InteropTest, libmodbusWritesOneRegisterAndReadsItBack) {
    const Master master = connect(sim_.linkPath(), 19200);
    ASSERT_TRUE(master);
    modbus_set_slave(master.get(), 1);
    ASSERT_EQ(modbus_write_register(master.get(), 0, 275), 1) << modbus_strerror(errno);
    EXPECT_EQ(readHolding(master.get(), 1, 0, 1)[0], 275);
    EXPECT_EQ(readInput(master.get(), 1, 4096, 2)[1], 275) << "the live SV follows";

    EXPECT_EQ(modbus_write_register(master.get(), 33, 7), -1);
    EXPECT_EQ(errno, EMBXILVAL) << "a DP of 7 is refused with exception 3";
    std::uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(master.get(), 68, 1, &value), -1);
    EXPECT_EQ(errno, EMBXILADD);
    EXPECT_EQ(readHolding(master.get(), 6, 0, 1)[0], 1234) << "the other station is untouched";
}

TEST_F(InteropTest, stationSetTo9600AnswersOnlyAt9600) {
    {
        const Master fast = connect(sim_.linkPath(), 19200);
        ASSERT_TRUE(fast);
        modbus_set_slave(fast.get(), 3);
        std::uint16_t value = 0;
        EXPECT_EQ(modbus_read_input_registers(fast.get(), 4096, 1, &value), -1);
        EXPECT_EQ(errno, ETIMEDOUT);
    }
    const Master slow = connect(sim_.linkPath(), 9600);
    ASSERT_TRUE(slow);
    const auto live = readInput(slow.get(), 3, 4096, 22);
    EXPECT_EQ(live[0], 300);
    EXPECT_EQ(live[1], 300);
}

}  // namespace
}  // namespace dalmora::testing
