#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SimServer.h"
#include "TiltlogRig.h"

namespace {

// The row count of the last status line on standard error, 0 before the first.
size_t LastRows(const std::string& err) {
    const size_t at = err.rfind("rows ");
    return at == std::string::npos ? 0 : std::stoul(err.substr(at + 5));
}

TEST(TiltlogTcp, LogsRowsFromAServerInEitherProtocol) {
    struct Case {
        SimProtocol protocol;
        const char* name;
        uint8_t address;
    };
    for (const Case& c :
         {Case{SimProtocol::Tarq, "tarq", 0}, Case{SimProtocol::Modbus, "modbus", 7}}) {
        SimulatorOptions options;
        options.protocol = c.protocol;
        options.address = c.address;
        SimServer server(options);
        ASSERT_TRUE(server.Listening());
        Rig rig;
        rig.Start({"--port", server.Address(), "--protocol", c.name, "--address",
                   std::to_string(c.address), "--interval-ms", "30", "--count", "3", "--output",
                   "-"});
        EXPECT_EQ(rig.Wait(), 0) << c.name << ": " << rig.err;
        std::vector<Row> rows;
        EXPECT_TRUE(CsvRows(rig.out, rows)) << rig.out;
        EXPECT_EQ(rows.size(), 3u) << c.name;
    }
}

TEST(TiltlogTcp, ARawConverterRefusesLineSettingsAndIsNotAnnouncedWithThem) {
    for (const char* scheme : {"tcp://", "modbus-tcp://"}) {
        const std::string address = scheme + std::string("127.0.0.1:502");
        Rig rig;
        rig.Start({"--port", address, "--baud", "19200"});
        EXPECT_EQ(rig.Wait(), 2);
        EXPECT_EQ(rig.err, "tiltlog: --baud: " + address +
                               " is a converter that keeps its own baud rate and parity; set its "
                               "port to the sensor's in the converter, or use rfc2217:// where it "
                               "offers it (see --help)\n");
    }
    SimServer server;
    Rig rig;
    rig.Start({"--port", server.Address(), "--count", "1", "--output", "-"});
    EXPECT_EQ(rig.Wait(), 0);
    EXPECT_NE(rig.err.find(server.Address() + " (line settings: the converter's own), tarq"),
              std::string::npos)
        << rig.err;
}

TEST(TiltlogTcp, ARefusedServerGivesTheSystemsReasonAndStatusThree) {
    const std::string address = "tcp://127.0.0.1:" + std::to_string(SimServer::RefusingPort());
    Rig rig;
    rig.Start({"--port", address, "--output", "-"});
    EXPECT_EQ(rig.Wait(), 3);
    EXPECT_EQ(rig.err, "tiltlog: cannot open " + address + ": Connection refused\n");
    EXPECT_EQ(rig.out, "");
}

TEST(TiltlogTcp, ReconnectKeepsOneFileAcrossADroppedServer) {
    auto server = std::make_unique<SimServer>();
    ASSERT_TRUE(server->Listening());
    const uint16_t port = server->Port();
    const std::string address = server->Address();
    const std::string out = TempFolder();
    Rig rig;
    rig.Start({"--port", address, "--interval-ms", "30", "--reconnect", "--output", out}, true);
    ASSERT_TRUE(rig.WaitFor([&] { return LastRows(rig.err) >= 3; })) << rig.err;

    server.reset();  // the converter goes away: its connection closes, nobody listens
    ASSERT_TRUE(rig.WaitForError("lost " + address + "; trying again every second\n")) << rig.err;
    ASSERT_TRUE(rig.WaitForError("cannot open " + address +
                                 ": Connection refused; trying again every second\n"))
        << rig.err;
    const size_t rowsBefore = LastRows(rig.err);

    server = std::make_unique<SimServer>(SimulatorOptions(), port);
    ASSERT_TRUE(server->Listening());
    ASSERT_TRUE(rig.WaitForError(address + " open again\n")) << rig.err;
    ASSERT_TRUE(rig.WaitFor([&] { return LastRows(rig.err) >= rowsBefore + 3; })) << rig.err;
    rig.Signal(SIGTERM);
    ASSERT_EQ(rig.Wait(), 0) << rig.err;
    EXPECT_GE(OnlyFileRows(out).size(), rowsBefore + 3);
    std::filesystem::remove_all(out);
}

}  // namespace
