#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "MqttTarget.h"
#include "PublishQueue.h"
#include "RowFeed.h"

struct mosquitto;

struct MqttSettings {
    MqttTarget target;
    std::string caFile;  // mqtts: empty for the system's certificates
    std::string clientId;
    size_t queueLimit = 100000;
    std::vector<uint8_t> addresses;  // each gets its retained status topic
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
    void Goodbye(std::chrono::steady_clock::time_point deadline);
    void Say(std::string text);
    void WaitForWake(std::chrono::milliseconds timeout);
    std::string StatusTopic(uint8_t address) const;
    static std::string Reason(int rc);
    // Reason() with what the library does not say: which time-out, which TLS fault.
    std::string Explain(int rc);

    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);

    const MqttSettings settings_;
    static constexpr size_t kWindow = 256;  // rows sent and not yet acknowledged

    mutable std::mutex mutex_;  // queue_, messages_, the flags below
    PublishQueue queue_;
    std::vector<std::string> messages_;
    bool dropSaid_ = false;
    bool finishing_ = false;
    std::chrono::steady_clock::time_point finishBy_;

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
