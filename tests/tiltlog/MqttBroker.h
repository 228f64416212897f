#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;

// A real mosquitto broker, on 127.0.0.1 at a port of its own, in a folder of
// its own. It keeps sessions on its disk, so a subscriber's queue survives
// a restart as it does on a site's broker.
class MqttBroker {
public:
    // With a `user` the broker takes only that user with that password.
    explicit MqttBroker(const std::string& user = "", const std::string& password = "");
    // A second listener, TLS on a certificate for 127.0.0.1 from a CA of the
    // test's own; false when openssl could not make them.
    // `expiredServer`: its certificate has expired by the time this returns.
    bool AddTlsListener(bool expiredServer = false);
    uint16_t TlsPort() const { return tlsPort_; }
    std::string CaFile() const { return dir_ + "/ca.pem"; }
    // A CA that signed nothing the broker shows.
    std::string StrangerCaFile() const { return dir_ + "/stranger.pem"; }
    ~MqttBroker();
    MqttBroker(const MqttBroker&) = delete;
    MqttBroker& operator=(const MqttBroker&) = delete;

    bool Start();  // true once it accepts connections
    // Why Start failed, for the test's failure message.
    const std::string& Problem() const { return problem_; }
    void Stop();  // SIGTERM, and waits for it to end
    // Replaces the password and has the broker read it again.
    bool ChangePassword(const std::string& password);
    uint16_t Port() const { return port_; }
    std::string Url(const std::string& credentials, const std::string& prefix) const;

private:
    bool WritePasswordFile(const std::string& password);

    std::string dir_, user_, problem_;
    uint16_t port_ = 0;
    uint16_t tlsPort_ = 0;
    pid_t pid_ = -1;
};

// A subscriber through the library: every message under `filter` as it arrived.
class MqttSubscriber {
public:
    struct Message {
        std::string topic, payload;
        bool retained;
    };
    // `id` empty: the one session the broker keeps for the tests; otherwise a
    // session of its own that ends with it.
    MqttSubscriber(uint16_t port, const std::string& filter, const std::string& id = "");
    ~MqttSubscriber();
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    bool WaitSubscribed(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Subscribed this many times: a broker's restart is one more.
    int Subscriptions() const;
    std::vector<Message> Messages() const;
    // Polls until `count` messages on `topic` have arrived.
    bool WaitFor(const std::string& topic, size_t count,
                 std::chrono::milliseconds limit = std::chrono::seconds(30)) const;

private:
    static void OnConnect(mosquitto*, void*, int rc);
    static void OnSubscribe(mosquitto*, void*, int, int, const int*);
    static void OnMessage(mosquitto*, void*, const struct mosquitto_message*);

    std::string filter_;
    mosquitto* mosq_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
    bool subscribed_ = false;
    int subscriptions_ = 0;
};
