#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "Ser2net.h"
#include "SimProcess.h"
#include "TiltlogRig.h"

namespace {

// tiltsim's motion at 1.415 s: X 2.15 degrees, in Modbus the counts 0x23FF.
constexpr double kXHoldsFF = 1.415;

TEST(TiltlogSer2net, RowsAreTheSensorsRepliesThroughRawAndTelnetServersInBothProtocols) {
    struct Case {
        const char* accepter;
        const char* scheme;
        SimProtocol protocol;
        const char* name;
    };
    for (const Case& c :
         {Case{"tcp", "tcp://", SimProtocol::Tarq, "tarq"},
          Case{"tcp", "tcp://", SimProtocol::Modbus, "modbus"},
          Case{"telnet(rfc2217),tcp", "rfc2217://", SimProtocol::Tarq, "tarq"},
          Case{"telnet(rfc2217),tcp", "rfc2217://", SimProtocol::Modbus, "modbus"}}) {
        SCOPED_TRACE(std::string(c.scheme) + c.name);
        SimulatorOptions options;
        options.protocol = c.protocol;
        options.address = 1;
        PtySensor sensor(options, kXHoldsFF);
        Ser2net server(sensor.Path(), c.accepter, "9600n81");
        ASSERT_TRUE(server.Ready());
        Rig rig;
        rig.Start({"--port", c.scheme + std::string("127.0.0.1:") + std::to_string(server.Port()),
                   "--protocol", c.name, "--address", "1", "--interval-ms", "30", "--count", "5",
                   "--output", "-"});
        EXPECT_EQ(rig.Wait(), 0) << rig.err;
        std::vector<Row> rows;
        EXPECT_TRUE(CsvRows(rig.out, rows)) << rig.out;
        EXPECT_EQ(rows, std::vector<Row>(5, Row{"2.15", "2.87", "25.01"}));
        EXPECT_EQ(rig.err.find("telnet"), std::string::npos) << rig.err;
    }
}

TEST(TiltlogSer2net, BaudAndParityTakeEffectAtATelnetServersPort) {
    // A sensor that hears only its own line, behind a server set otherwise.
    SimProcess sim({"--protocol", "modbus", "--address", "1", "--standard", "--baud", "19200",
                    "--parity", "O"});
    ASSERT_TRUE(sim.Started());
    Ser2net server(sim.PtyPath(), "telnet(rfc2217),tcp", "9600n81");
    ASSERT_TRUE(server.Ready());
    const std::string address = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
    Rig rig;
    rig.Start({"--port", address, "--baud", "19200", "--parity", "O", "--protocol", "modbus",
               "--address", "1", "--interval-ms", "30", "--count", "3", "--output", "-"});
    EXPECT_EQ(rig.Wait(), 0) << rig.err;
    EXPECT_NE(rig.err.find(address + " at 19200 8O1"), std::string::npos) << rig.err;
}

TEST(TiltlogSer2net, ARawPortToATelnetServerSaysSoOnce) {
    SimulatorOptions options;
    options.protocol = SimProtocol::Modbus;
    options.address = 1;
    PtySensor sensor(options, kXHoldsFF);
    Ser2net server(sensor.Path(), "telnet(rfc2217),tcp", "9600n81");
    ASSERT_TRUE(server.Ready());
    const std::string address = "127.0.0.1:" + std::to_string(server.Port());
    Rig rig;
    rig.Start({"--port", "tcp://" + address, "--protocol", "modbus", "--address", "1",
               "--interval-ms", "30", "--output", "-"});
    const std::string told = "this server speaks telnet: use rfc2217://" + address;
    ASSERT_TRUE(rig.WaitForError(told)) << rig.err;
    rig.WaitFor([&] { return rig.err.find(told) != rig.err.rfind(told); },
                std::chrono::milliseconds(300));
    rig.Signal(SIGTERM);
    rig.Wait();
    const size_t at = rig.err.find(told);
    EXPECT_NE(at, std::string::npos) << rig.err;
    EXPECT_EQ(rig.err.find(told, at + 1), std::string::npos) << rig.err;
}

}  // namespace
