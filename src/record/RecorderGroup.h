#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CsvRecorder.h"
#include "RecordingAlerts.h"

// The file prefix of one sensor on a bus: "Tiltscope" and 3 give "Tiltscope_A3",
// as tiltlog names its files.
std::string AddressPrefix(const std::string& prefix, uint8_t address);

// The recorders of one recording. While one address is polled that is the
// window's own recorder, naming its files as it always has; while a bus of
// several is polled each address has a recorder of its own, named with
// AddressPrefix, with its own rotation and its own continuation after Browse.
//
// For the controlling (UI) thread only. A pointer from For or ForEach is good
// until the next SetAddresses.
class RecorderGroup {
public:
    using Visit =
        std::function<void(uint8_t address, CsvRecorder& recorder, RecordingAlerts& alerts)>;

    // `single` is not owned and must outlive the group; per-address recorders
    // are made with `clock` and `options`.
    RecorderGroup(CsvRecorder& single, Clock& clock, RecorderOptions options = {});
    ~RecorderGroup();  // stops the per-address recorders, writing what they hold

    RecorderGroup(const RecorderGroup&) = delete;
    RecorderGroup& operator=(const RecorderGroup&) = delete;

    // The polled addresses: none or one mean the single recorder, more mean one
    // recorder each. During a recording the addresses that stay keep their file,
    // a new one starts a new file in the current folder and a removed one is
    // stopped with its rows written. True when the first file (the one the
    // window shows) is another recorder's now.
    bool SetAddresses(const std::vector<uint8_t>& addresses);
    bool IsBus() const { return bus_; }

    // Where the rows of `address` go: the single recorder whatever the address
    // when one is polled; on a bus null for an address that is not recording.
    CsvRecorder* For(uint8_t address);

    // Starts every member; false (and nothing recording) when one cannot start.
    bool Start(const std::string& folder, const std::string& prefix);
    void Stop();
    // Browse for every member: each goes on in a fresh file in `folder`. Returns
    // the first member's new file name, for display.
    std::string ChangeFolder(const std::string& folder, const std::string& prefix);

    bool IsRecording() const;
    std::string CurrentPath() const;  // the first member's file
    // Each member in address order as given, with what has been told about it.
    void ForEach(const Visit& visit);
    // WriteNow on every recording member within one deadline; true when all wrote.
    bool WriteNow(std::chrono::milliseconds timeout);

private:
    struct Member {
        uint8_t address = 0;
        std::unique_ptr<CsvRecorder> own;  // null for the single recorder
        CsvRecorder* recorder = nullptr;
        RecordingAlerts alerts;
    };

    std::unique_ptr<Member> MakeMember(uint8_t address, bool ownRecorder);
    std::string PrefixOf(const Member& m) const;
    bool StartMember(Member& m);

    CsvRecorder& single_;
    Clock& clock_;
    RecorderOptions options_;
    bool bus_ = false;
    bool on_ = false;  // between Start and Stop
    std::string folder_;
    std::string prefix_;
    std::vector<std::unique_ptr<Member>> members_;
};
