#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CsvFollower.h"
#include "MqttTarget.h"
#include "PublishQueue.h"
#include "RowFeed.h"

struct mosquitto;

struct MqttSettings {
    static constexpr size_t kDefaultQueueBytes = 16u * 1024 * 1024;
    MqttTarget target;
    std::string caFile;  // mqtts: empty for the system's certificates
    std::string clientId;
    size_t queueBytes = kDefaultQueueBytes;  // rows held in memory
    std::vector<uint8_t> addresses;          // each gets its retained status topic
    // Set when the rows are recorded to CSV files too: each address's files'
    // prefix (as `addresses`) in `folder`. The feed then keeps its position
    // beside them, and rows memory cannot hold are read back from them.
    std::string folder;
    std::vector<std::string> prefixes;
    // Rows read back from the files go out no faster than this.
    unsigned catchUpRowsPerSecond = 2000;
    std::chrono::milliseconds firstBackoff{1000};
    std::chrono::milliseconds longestBackoff{30000};
    // Seconds between pings on a quiet connection: a broker that went away
    // without a word is noticed within one and a half of them.
    int keepAliveSeconds = 30;
};

// The MQTT feed on libmosquitto, driven from a thread of its own: it connects,
// sends the queue in order at QoS 1, and after a lost or refused connection
// tries again, waiting 1 s, then twice as long each time up to 30 s. Each
// connection is a new client of the library, so that nothing the last one
// held can go out again behind the queue's own resend.
// With CSV files, rows the broker has acknowledged are counted in a position
// file per address beside them; a run that begins with one first publishes
// the rows recorded after it, read from the files at a bounded rate. An
// address whose rows do not fit in memory goes on from its files the same way.
class MqttPublisher : public RowFeed {
public:
    explicit MqttPublisher(MqttSettings settings);
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // False with the reason when the thread or its wake-up cannot be made.
    bool Start(std::string& error);

    void Publish(uint8_t address, std::string payload) override;
    std::vector<std::string> TakeMessages() override;
    std::string StatusText() const override;
    Totals Finish(std::chrono::milliseconds grace) override;
    std::string Describe() const override { return settings_.target.Describe(); }

    bool Connected() const { return connected_.load(); }

    // The client id when none is given: this box and its port, so that a
    // restart is the same client and two loggers on one box are not.
    static std::string DefaultClientId(const std::string& hostName, const std::string& port);

private:
    void Main();
    bool Connect();
    // True when the run finished on it; false when it was lost.
    bool RunConnection();
    void Pump();
    void Lost(const std::string& reason);
    using SteadyClock = std::chrono::steady_clock;
    void Goodbye(SteadyClock::time_point deadline);
    void Say(std::string text);
    void WaitForWake(std::chrono::milliseconds timeout);
    std::string StatusTopic(uint8_t address) const;
    std::string LoggerTopic() const;
    bool Durable() const { return !settings_.folder.empty(); }
    // Rows read back from the files, as many as the rate and the memory allow.
    void CatchUp();
    // The positions on the disk: `now`, or at most once a second.
    void SavePositions(bool now);
    void SayOnce(const std::string& text);
    static std::string Reason(int rc);
    // Reason() with what the library does not say: which time-out, which TLS fault.
    std::string Explain(int rc);
    // Why the connection's socket `fd` hung up.
    std::string SocketGone(int fd);

    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);

    const MqttSettings settings_;

    // One address's rows as the files have them.
    struct Source {
        Source(uint8_t a, const std::string& folder, const std::string& prefix)
            : address(a), reader(folder, prefix), acknowledged(folder, prefix) {}
        uint8_t address;
        std::string positionPath;
        // The thread's own once started.
        CsvFollower reader;        // the next row to read back
        CsvFollower acknowledged;  // after the rows the broker has
        uint64_t deliveredSeen = 0;
        uint64_t beyondFiles = 0;  // acknowledged, not on the disk yet
        std::optional<FeedPosition> written;
        std::optional<FeedMessage> unqueued;  // read back, waiting for room
        bool pastOld = false;                 // the reader has read the earlier runs' rows
        // Found nothing new: the folder is looked at again after a pause.
        std::chrono::steady_clock::time_point readAgain{};
        // Under mutex_.
        bool live = true;      // this run's rows go to the queue as they come
        uint64_t runRows = 0;  // published in this run
        uint64_t skipTo = 0;   // run rows before this one are queued already
        uint64_t oldLeft = 0;  // rows of earlier runs still to publish
        // The newest run rows while the reader is behind: they go to the
        // queue once it reaches them. Bounded; what it sheds is in the file.
        std::deque<std::pair<uint64_t, FeedMessage>> tail;
        size_t tailBytes = 0;
    };
    // Queued rows leave the tails at the reader's pace; nothing else moves.
    void Requeue(Source& s);
    size_t tailLimit_ = 0;
    std::vector<Source> sources_;
    std::array<int, 256> sourceOf_{};
    SteadyClock::time_point nextSave_{};
    SteadyClock::time_point lastRefill_{};
    double catchUpTokens_ = 0;
    std::set<std::string> said_;
    static constexpr size_t kWindow = 256;  // rows sent and not yet acknowledged

    mutable std::mutex mutex_;  // queue_, messages_, the flags below
    PublishQueue queue_;
    std::vector<std::string> messages_;
    bool dropSaid_ = false;
    bool finishing_ = false;
    SteadyClock::time_point finishBy_;

    std::atomic<bool> connected_{false};
    int wakeFd_ = -1;
    std::thread thread_;

    // The thread's own.
    mosquitto* mosq_ = nullptr;
    bool accepted_ = false;            // the broker took this connection
    std::string refusal_;              // why it did not
    bool outageSaid_ = false;          // this outage has had its message
    bool certificateRefused_ = false;  // the last attempt's TLS verdict
    std::atomic<bool> misconfigured_{false};
    bool everConnected_ = false;
    std::chrono::milliseconds backoff_;
    std::vector<int> goodbyeMids_;
};
