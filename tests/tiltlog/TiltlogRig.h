#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A tiltlog process and, optionally, a USB adapter of the test's own between it
// and tiltsim: a pty that tiltlog opens through a link, whose bytes the rig
// relays to and from tiltsim's pty. Bytes move only while the test waits in
// WaitFor, so the test alone decides when requests pass and when the adapter
// is pulled.
class Rig {
public:
    Rig() = default;
    // `requestSize`: the bytes of one request, so that they pass whole.
    Rig(const std::string& simPty, size_t requestSize);
    ~Rig();
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    void Start(const std::vector<std::string>& args, bool stderrTerminal = false);
    bool WaitFor(const std::function<bool()>& what,
                 std::chrono::milliseconds limit = std::chrono::seconds(20));
    bool WaitForError(const std::string& text);
    // The exit status, or -1 when it had to be killed or did not exit normally.
    int Wait();
    void Signal(int sig) const;
    // The reader of standard output goes away.
    void CloseStdout();

    const std::string& Link() const { return link_; }
    void PassRequests(int n) { passes_ += n; }
    void StopPassing() { passes_ = 0; }
    void Inject(const Bytes& bytes);  // to the sensor, as if from tiltlog
    void Pull();
    void Plug();

    std::string out, err;  // collected so far
    Bytes delivered;       // what the adapter handed tiltlog
    int requestsSeen = 0;
    int requestsPassed = 0;  // each one answered by tiltsim, sooner or later

private:
    void Pump(int timeoutMs);

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1, sim_ = -1, master_ = -1, slave_ = -1;
    std::string dir_, link_;
    size_t requestSize_ = 0;
    Bytes pending_;
    int passes_ = 0;
};

// The value texts the window shows and records for the bytes a sensor sent.
struct Row {
    std::string x, y, t;
    bool operator==(const Row& o) const { return x == o.x && y == o.y && t == o.t; }
};
// So that a failed comparison shows the rows, not their bytes.
void PrintTo(const Row& row, std::ostream* os);
std::vector<Row> WindowRows(const Bytes& received, int protocol, uint8_t address,
                            const std::string& ratio = "0.01", const std::string& xRange = "90deg",
                            const std::string& yRange = "90deg");

// The rows of CSV text after its header; false when a line does not end in CR LF,
// has other than four fields or a malformed time stamp.
bool CsvRows(const std::string& text, std::vector<Row>& rows);
// The rows of the one file in `folder`, named prefix_YYYYMMDDhhmmss.csv.
std::vector<Row> OnlyFileRows(const std::string& folder, const std::string& prefix = "Tiltscope");
std::string TempFolder();
