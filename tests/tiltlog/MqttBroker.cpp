#include "MqttBroker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "FindProgram.h"

extern char** environ;

namespace {

uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool Accepts(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

template <typename F>
bool Poll(F done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

MqttBroker::MqttBroker(const std::string& user, const std::string& password) : user_(user) {
    char pattern[] = "/tmp/tiltlog-broker-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    port_ = FreePort();
    std::ofstream conf(dir_ + "/mosquitto.conf");
    conf << "listener " << port_ << " 127.0.0.1\n"
         << "persistence true\npersistence_location " << dir_ << "/\n"
         << "log_dest file " << dir_
         << "/broker.log\n"
         // However long the subscriber is away, its queue keeps every row.
         << "max_queued_messages 0\n";
    // Started by root, the broker would drop to a user that may not read this folder.
    if (::geteuid() == 0) conf << "user root\n";
    if (user.empty()) {
        conf << "allow_anonymous true\n";
    } else {
        conf << "allow_anonymous false\npassword_file " << dir_ << "/passwords\n";
        WritePasswordFile(password);
    }
}

MqttBroker::~MqttBroker() {
    Stop();
    std::filesystem::remove_all(dir_);
}

bool MqttBroker::AddTlsListener(bool expiredServer) {
    const std::string d = "'" + dir_ + "'";
    const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    // Written here: a shell's "> file" would lose to the ">/dev/null" every command gets.
    std::ofstream(dir_ + "/san.ext") << "subjectAltName=IP:127.0.0.1\n";
    const std::string commands[] = {
        "openssl req -x509 " + key + " -keyout " + d + "/ca.key -out " + d +
            "/ca.pem -subj /CN=tiltlog-test-ca -days 2",
        "openssl req -x509 " + key + " -keyout " + d + "/stranger.key -out " + d +
            "/stranger.pem -subj /CN=stranger -days 2",
        "openssl req " + key + " -keyout " + d + "/server.key -out " + d +
            "/server.csr -subj /CN=127.0.0.1",
        "openssl x509 -req -in " + d + "/server.csr -CA " + d + "/ca.pem -CAkey " + d +
            "/ca.key -CAcreateserial -out " + d + "/server.pem -days " +
            (expiredServer ? "0" : "2") + " -extfile " + d + "/san.ext",
    };
    for (const std::string& c : commands) {
        if (std::system((c + " >/dev/null 2>&1").c_str()) != 0) return false;
    }
    // Valid for no time at all: expired once its second has passed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (expiredServer && std::system(("openssl verify -CAfile " + d + "/ca.pem " + d +
                                         "/server.pem >/dev/null 2>&1")
                                            .c_str()) == 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
    }
    tlsPort_ = FreePort();
    std::ofstream conf(dir_ + "/mosquitto.conf", std::ios::app);
    conf << "listener " << tlsPort_ << " 127.0.0.1\n"
         << "cafile " << dir_ << "/ca.pem\ncertfile " << dir_ << "/server.pem\nkeyfile " << dir_
         << "/server.key\n";
    return true;
}

bool MqttBroker::WritePasswordFile(const std::string& password) {
    const std::string file = dir_ + "/passwords";
    std::filesystem::remove(file);
    std::ofstream(file).close();
    const std::string program = FindProgram("mosquitto_passwd");
    if (program.empty()) return false;
    const std::string command =
        "'" + program + "' -b '" + file + "' '" + user_ + "' '" + password + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool MqttBroker::Start() {
    const std::string program = FindProgram("mosquitto");
    if (program.empty()) {
        problem_ = "mosquitto is not installed (looked in PATH, /usr/sbin and /sbin)";
        return false;
    }
    const std::string conf = dir_ + "/mosquitto.conf";
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("-c"),
                    const_cast<char*>(conf.c_str()), nullptr};
    // Its own complaints (run as root, and the like) go to its log, not the test's output.
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, (dir_ + "/stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int failed = ::posix_spawn(&pid_, program.c_str(), &files, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&files);
    if (failed != 0) {
        pid_ = -1;
        problem_ = "cannot start " + program + ": " + std::strerror(failed);
        return false;
    }
    if (Poll([&] { return Accepts(port_); }, std::chrono::seconds(10))) return true;
    problem_ = program + " took no connection on port " + std::to_string(port_) +
               " within 10 s; its log: " + dir_ + "/stderr";
    return false;
}

void MqttBroker::Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

bool MqttBroker::ChangePassword(const std::string& password) {
    if (!WritePasswordFile(password)) return false;
    return pid_ > 0 && ::kill(pid_, SIGHUP) == 0;
}

std::string MqttBroker::Url(const std::string& credentials, const std::string& prefix) const {
    return "mqtt://" + (credentials.empty() ? "" : credentials + "@") +
           "127.0.0.1:" + std::to_string(port_) + "/" + prefix;
}

MqttSubscriber::MqttSubscriber(uint16_t port, const std::string& filter, const std::string& id)
    : filter_(filter) {
    mosquitto_lib_init();
    // A session the broker keeps: what arrives while this one is away waits for it.
    mosq_ = id.empty() ? mosquitto_new("tiltlog-test-subscriber", false, this)
                       : mosquitto_new(id.c_str(), true, this);
    mosquitto_connect_callback_set(mosq_, &OnConnect);
    mosquitto_subscribe_callback_set(mosq_, &OnSubscribe);
    mosquitto_message_callback_set(mosq_, &OnMessage);
    mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
    mosquitto_connect_async(mosq_, "127.0.0.1", port, 30);
    mosquitto_loop_start(mosq_);
}

MqttSubscriber::~MqttSubscriber() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
}

void MqttSubscriber::OnConnect(mosquitto* mosq, void* self, int rc) {
    auto* s = static_cast<MqttSubscriber*>(self);
    if (rc == 0) mosquitto_subscribe(mosq, nullptr, s->filter_.c_str(), 1);
}

void MqttSubscriber::OnSubscribe(mosquitto*, void* self, int, int, const int*) {
    auto* s = static_cast<MqttSubscriber*>(self);
    std::lock_guard<std::mutex> lock(s->mutex_);
    s->subscribed_ = true;
    ++s->subscriptions_;
}

void MqttSubscriber::OnMessage(mosquitto*, void* self, const mosquitto_message* m) {
    auto* s = static_cast<MqttSubscriber*>(self);
    std::lock_guard<std::mutex> lock(s->mutex_);
    s->messages_.push_back(
        {m->topic,
         std::string(static_cast<const char*>(m->payload), static_cast<size_t>(m->payloadlen)),
         m->retain});
}

bool MqttSubscriber::WaitSubscribed(std::chrono::milliseconds limit) {
    return Poll(
        [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return subscribed_;
        },
        limit);
}

int MqttSubscriber::Subscriptions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return subscriptions_;
}

std::vector<MqttSubscriber::Message> MqttSubscriber::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

bool MqttSubscriber::WaitFor(const std::string& topic, size_t count,
                             std::chrono::milliseconds limit) const {
    return Poll(
        [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            size_t n = 0;
            for (const Message& m : messages_) n += m.topic == topic;
            return n >= count;
        },
        limit);
}
