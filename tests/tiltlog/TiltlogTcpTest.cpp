#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "SimServer.h"
#include "TiltlogRig.h"

namespace {

// The row count of the last status line on standard error, 0 before the first.
size_t LastRows(const std::string& err) {
    const size_t at = err.rfind("rows ");
    return at == std::string::npos ? 0 : std::stoul(err.substr(at + 5));
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A device server that misbehaves as some do: it takes each connection and
// closes it at once, or says a line first, or (never accepting, so that the
// system takes the connection) never sends a byte.
class FaultyServer {
public:
    enum class Kind { Closes, SaysAndCloses, NeverSends };

    explicit FaultyServer(Kind kind) {
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(listener_, 8);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        address = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
        if (kind == Kind::NeverSends) return;
        thread_ = std::thread([this, kind] {
            static const char kWords[] = "Device open failure: Value or file not found\r\n";
            // Ends when the listener is shut down.
            for (int fd; (fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                if (kind == Kind::SaysAndCloses) ::send(fd, kWords, sizeof kWords - 1, 0);
                ::close(fd);
            }
        });
    }
    ~FaultyServer() {
        ::shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        ::close(listener_);
    }
    std::string address;

private:
    int listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::thread thread_;
};

TEST(TiltlogTcp, AFaultyServerIsToldOnceAndNeverALinePerRetry) {
    using Kind = FaultyServer::Kind;
    const struct {
        Kind kind;
        const char* interval;
        const char* told;
    } cases[] = {{Kind::Closes, "30", ": the server "},
                 {Kind::SaysAndCloses, "30", ": the server "},
                 {Kind::NeverSends, "0", " for 1 s; still listening\n"}};
    for (const auto& c : cases) {
        FaultyServer server(c.kind);
        Rig rig;
        rig.Start({"--port", server.address, "--interval-ms", c.interval, "--reconnect",
                   "--duration", "4", "--output", "-"});
        ASSERT_EQ(rig.Wait(), 0) << rig.err;
        EXPECT_EQ(Count(rig.err, server.address + c.told), 1u) << rig.err;
        EXPECT_EQ(Count(rig.err, "\n"), 3u) << rig.err;  // logging, the fault, no rows
    }
}

TEST(TiltlogTcp, AnUnknownHostIsOneLineSayingItCannotBeResolved) {
    Rig rig;
    rig.Start({"--port", "tcp://tiltscope-test.invalid:4001", "--output", "-"});
    EXPECT_EQ(rig.Wait(), 3);
    EXPECT_EQ(rig.err.rfind("tiltlog: cannot open tcp://tiltscope-test.invalid:4001: cannot "
                            "resolve tiltscope-test.invalid: ",
                            0),
              0u)
        << rig.err;
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
    ASSERT_TRUE(rig.WaitForError("lost " + address + ": the server ")) << rig.err;
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
