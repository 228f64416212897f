// tiltlog against a standard Modbus device made with libmodbus.

#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "SimProcess.h"
#include "TiltlogRig.h"

namespace {

// Raw X:Y:T as the device holds them, and what each is read as. Bytes 0xFF in
// every sample; the temperatures just below zero are all 0xFF in their high byte.
const std::vector<std::string> kSamples = {"0x23FF:18000:-1", "0:0x11FF:-256", "12345:0xFF:2510"};
const std::vector<Row> kRows = {
    {"2.15", "90.00", "-0.01"}, {"-90.00", "-43.93", "-2.56"}, {"33.45", "-87.45", "25.10"}};
// Outside the sensor's ranges: X of 565.35 degrees, and 90 degrees Celsius.
const std::vector<std::string> kImplausible = {"0xFFFF:9000:0", "9000:9000:9000"};

size_t LastMiscount(const std::string& err) {
    const size_t at = err.rfind("miscount ");
    return at == std::string::npos ? 0 : std::stoul(err.substr(at + 9));
}

TEST(TiltlogModbus,
     FiveRegistersFromAStandardRtuSlaveGiveItsTemperatureAndRefuseImplausibleValues) {
    std::vector<std::string> args = {"rtu", "1"};
    args.insert(args.end(), kSamples.begin(), kSamples.end());
    args.insert(args.end(), kImplausible.begin(), kImplausible.end());
    SimProcess slave(MODBUS_PARTNER_PATH, args);
    ASSERT_TRUE(slave.Started());
    Rig rig;
    rig.Start({"--port", slave.PtyPath(), "--protocol", "modbus", "--address", "1", "--registers",
               "5", "--interval-ms", "20", "--output", "-"},
              true);
    std::vector<Row> rows;
    ASSERT_TRUE(rig.WaitFor([&] {
        return CsvRows(rig.out, rows) && rows.size() >= 6 && LastMiscount(rig.err) >= 4;
    })) << rig.out
        << rig.err;
    rig.Signal(SIGTERM);
    EXPECT_EQ(rig.Wait(), 0) << rig.err;
    ASSERT_TRUE(CsvRows(rig.out, rows));
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], kRows[i % kRows.size()]) << i;
}

TEST(TiltlogModbus, AModbusTcpServerGivesRowsExactlyAsItsRegistersHoldThem) {
    std::vector<std::string> args = {"tcp", "1"};
    args.insert(args.end(), kSamples.begin(), kSamples.end());
    SimProcess server(MODBUS_PARTNER_PATH, args);
    ASSERT_TRUE(server.Started());
    Rig rig;
    rig.Start({"--port", server.PtyPath(), "--protocol", "modbus", "--address", "1", "--registers",
               "5", "--interval-ms", "20", "--count", "7", "--output", "-"});
    EXPECT_EQ(rig.Wait(), 0) << rig.err;
    std::vector<Row> rows;
    ASSERT_TRUE(CsvRows(rig.out, rows)) << rig.out;
    ASSERT_EQ(rows.size(), 7u);
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], kRows[i % kRows.size()]) << i;
}

}  // namespace
