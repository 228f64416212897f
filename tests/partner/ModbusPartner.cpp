// A standard Modbus device made with libmodbus, for tests and benchmarks: a
// Modbus TCP server on 127.0.0.1 or an RTU slave on a pseudo-terminal, whose
// holding registers 2 to 6 carry samples in the tilt sensor's layout.
//
//   modbus_partner tcp|rtu ADDRESS X:Y:T [X:Y:T]...
//
// X and Y are the raw unsigned 32-bit angle counts, T the raw signed 16-bit
// temperature (decimal or 0x hex). Each read is answered with the next sample,
// round and round. The first line of standard output is where to connect:
// modbus-tcp://127.0.0.1:PORT, or the path of the terminal to open. Runs until
// killed.

#include <errno.h>
#include <fcntl.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Sample {
    uint32_t x = 0;
    uint32_t y = 0;
    int16_t t = 0;
};

// The sensor's layout: each angle least significant byte first over two
// registers; the temperature in register 6, high byte first.
void Lay(const Sample& s, uint16_t* reg) {
    const auto angle = [](uint32_t v, uint16_t* at) {
        at[0] = static_cast<uint16_t>((v & 0xFF) << 8 | (v >> 8 & 0xFF));
        at[1] = static_cast<uint16_t>((v >> 16 & 0xFF) << 8 | (v >> 24 & 0xFF));
    };
    angle(s.x, reg + 2);
    angle(s.y, reg + 4);
    reg[6] = static_cast<uint16_t>(s.t);
}

bool ParseSample(const char* text, Sample& s) {
    char* end = nullptr;
    const long long x = strtoll(text, &end, 0);
    if (*end != ':') return false;
    const long long y = strtoll(end + 1, &end, 0);
    if (*end != ':') return false;
    const long long t = strtoll(end + 1, &end, 0);
    if (*end != '\0' || x < 0 || x > UINT32_MAX || y < 0 || y > UINT32_MAX || t < INT16_MIN ||
        t > INT16_MAX)
        return false;
    s = Sample{static_cast<uint32_t>(x), static_cast<uint32_t>(y), static_cast<int16_t>(t)};
    return true;
}

// Answers requests on `ctx` until the connection fails.
void Serve(modbus_t* ctx, modbus_mapping_t* map, const std::vector<Sample>& samples,
           size_t& served) {
    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    const int header = modbus_get_header_length(ctx);
    for (;;) {
        const int n = modbus_receive(ctx, query);
        if (n == 0) continue;  // for another slave
        if (n < 0) {
            if (errno == EMBBADCRC || errno == EMBBADDATA) continue;
            return;
        }
        if (query[header] == 0x03) Lay(samples[served++ % samples.size()], map->tab_registers);
        if (modbus_reply(ctx, query, n, map) < 0 && errno != EMBBADDATA) return;
    }
}

int OpenPty(std::string& slavePath) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
    slavePath = ptsname(master);
    return master;
}

// Bytes between the two terminals' masters, as a null-modem cable.
void Relay(int a, int b) {
    pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
    uint8_t buf[512];
    for (;;) {
        if (poll(p, 2, -1) < 0 && errno != EINTR) return;
        for (int i = 0; i < 2; ++i) {
            if (!(p[i].revents & POLLIN)) continue;
            const ssize_t n = read(p[i].fd, buf, sizeof buf);
            if (n > 0 && write(p[1 - i].fd, buf, static_cast<size_t>(n)) != n) return;
        }
    }
}

int RunTcp(modbus_mapping_t* map, const std::vector<Sample>& samples) {
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", 0);
    const int listener = ctx ? modbus_tcp_listen(ctx, 1) : -1;
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (listener < 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
        fprintf(stderr, "modbus_partner: cannot listen: %s\n", modbus_strerror(errno));
        return 1;
    }
    printf("modbus-tcp://127.0.0.1:%u\n", ntohs(bound.sin_port));
    fflush(stdout);
    size_t served = 0;
    for (int s = listener;;) {
        if (modbus_tcp_accept(ctx, &s) < 0) return 1;
        Serve(ctx, map, samples, served);
        close(modbus_get_socket(ctx));
    }
}

int RunRtu(int address, modbus_mapping_t* map, const std::vector<Sample>& samples) {
    std::string slave, line;
    const int sensorSide = OpenPty(slave);
    const int clientSide = OpenPty(line);
    // Held open in raw mode, so the client's terminal never echoes before it is opened.
    const int held = clientSide < 0 ? -1 : open(line.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    if (held < 0 || tcgetattr(held, &tio) != 0) return 1;
    cfmakeraw(&tio);
    tcsetattr(held, TCSANOW, &tio);
    modbus_t* ctx = modbus_new_rtu(slave.c_str(), 9600, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, address) != 0 || modbus_connect(ctx) != 0) {
        fprintf(stderr, "modbus_partner: cannot open %s: %s\n", slave.c_str(),
                modbus_strerror(errno));
        return 1;
    }
    std::thread(Relay, sensorSide, clientSide).detach();
    printf("%s\n", line.c_str());
    fflush(stdout);
    size_t served = 0;
    for (;;) Serve(ctx, map, samples, served);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Sample> samples;
    for (int i = 3; i < argc; ++i) {
        Sample s;
        if (!ParseSample(argv[i], s)) {
            fprintf(stderr, "modbus_partner: '%s' is no sample X:Y:T\n", argv[i]);
            return 2;
        }
        samples.push_back(s);
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    const int address = argc > 2 ? atoi(argv[2]) : 0;
    if ((mode != "tcp" && mode != "rtu") || address < 1 || address > 247 || samples.empty()) {
        fprintf(stderr, "usage: modbus_partner tcp|rtu ADDRESS X:Y:T [X:Y:T]...\n");
        return 2;
    }
    modbus_mapping_t* map = modbus_mapping_new(0, 0, 16, 0);
    if (!map) return 1;
    return mode == "tcp" ? RunTcp(map, samples) : RunRtu(address, map, samples);
}
