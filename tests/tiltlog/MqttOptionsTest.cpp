// What --mqtt and its options accept, beyond the URL's plain forms.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "MqttTarget.h"
#include "Options.h"

namespace {

std::string Error(const std::vector<std::string>& args, LoggerOptions& o) {
    const ParseOutcome r = ParseOptions(args, "/opt/tiltscope/data", o);
    return r.action == ParseOutcome::Action::Fail ? r.message : "(accepted)";
}

std::string Error(const std::vector<std::string>& args) {
    LoggerOptions o;
    return Error(args, o);
}

TEST(MqttUrl, WhatABrokerCannotTakeIsRefusedAndUtf8IsNot) {
    const std::string longest(65524, 'p');  // with "/255/status": 65535 bytes
    const struct {
        std::string url;
        const char* says;
    } cases[] = {
        {"mqtt://u:p%00w@h/p", "NUL (%00)"},
        {"mqtt://u%01@h/p", "user name is not UTF-8"},
        {"mqtt://%4@h/p", "%-escape in the user name"},
        {"mqtt://[broker.example]/p", "is not mqtt://"},
        {"mqtt://h/p?qos=1", "no '?'"},
        {"mqtt://h/caf\xe9", "prefix is not UTF-8"},
        {"mqtt://h/a\x01"
         "b",
         "prefix is not UTF-8"},
        {"mqtt://h/\xc0\xaf", "prefix is not UTF-8"},      // an overlong '/'
        {"mqtt://h/\xed\xa0\x80", "prefix is not UTF-8"},  // a surrogate
        {"mqtt://h/" + longest + "p", "65525 bytes; at most 65524"},
    };
    for (const auto& c : cases) {
        MqttTarget t;
        std::string error;
        EXPECT_FALSE(ParseMqttUrl(c.url, t, error)) << c.url.substr(0, 40);
        EXPECT_NE(error.find(c.says), std::string::npos) << c.url.substr(0, 40) << ": " << error;
    }

    MqttTarget t;
    std::string error;
    ASSERT_TRUE(ParseMqttUrl("mqtt://u:p@ss@h/site/Z\xc3\xbcrich/\xf0\x9f\x8c\x8a", t, error))
        << error;
    EXPECT_EQ(t.password, "p@ss");
    EXPECT_EQ(t.prefix, "site/Z\xc3\xbcrich/\xf0\x9f\x8c\x8a");
    EXPECT_TRUE(ParseMqttUrl("mqtt://h/" + longest, t, error)) << error;
}

TEST(MqttOptions, AClientIdIsOneTo65535BytesOfText) {
    LoggerOptions o;
    const std::vector<std::string> mqtt{"--mqtt", "mqtt://h/p", "--mqtt-client-id"};
    const auto with = [&](const std::string& id) {
        std::vector<std::string> args = mqtt;
        args.push_back(id);
        return Error(args, o);
    };
    EXPECT_EQ(with(std::string(65535, 'c')), "(accepted)");
    EXPECT_EQ(o.mqttClientId.size(), 65535u);
    EXPECT_NE(with(std::string(65536, 'c')).find("1 to 65535 bytes"), std::string::npos);
    EXPECT_NE(with("tilt\x01").find("without control characters"), std::string::npos);
    EXPECT_NE(with("caf\xe9").find("UTF-8"), std::string::npos);
}

class MqttCaFile : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tiltlog-mqtt-ca-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
};

TEST_F(MqttCaFile, OnlyAReadableFileIsTakenAndOnlyForMqtts) {
    const std::string missing = dir_ + "/gone/ca.pem";
    EXPECT_EQ(Error({"--mqtt", "mqtts://h/p", "--mqtt-ca", missing}),
              "--mqtt-ca: '" + missing + "' cannot be read: No such file or directory");
    EXPECT_EQ(Error({"--mqtt", "mqtts://h/p", "--mqtt-ca", dir_}),
              "--mqtt-ca: '" + dir_ + "' is not a file");
    // Held open by a writer, so that reading it would not wait: refused all the same.
    const std::string fifo = dir_ + "/ca.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    EXPECT_EQ(Error({"--mqtt", "mqtts://h/p", "--mqtt-ca", fifo}),
              "--mqtt-ca: '" + fifo + "' is not a file");
    ::close(writer);

    const std::string ca = dir_ + "/ca.pem";
    std::ofstream(ca) << "-----BEGIN CERTIFICATE-----\n";
    LoggerOptions o;
    EXPECT_EQ(Error({"--mqtt", "mqtts://h/p", "--mqtt-ca", ca}, o), "(accepted)");
    EXPECT_EQ(o.mqttCa, ca);
    EXPECT_NE(Error({"--mqtt", "mqtt://h/p", "--mqtt-ca", ca}).find("is plain MQTT"),
              std::string::npos);
    EXPECT_EQ(Error({"--mqtt-ca", ca}), "--mqtt-ca: only --mqtt publishes");
}

class MqttPassword : public MqttCaFile {};

// A password kept out of the command line, where every user sees it in ps.
TEST_F(MqttPassword, ComesFromAFileOrTheEnvironmentAndFromOnePlaceOnly) {
    const std::string file = dir_ + "/password";
    std::ofstream(file) << "p@ss:w/rd\n";
    const auto parse = [](const std::vector<std::string>& args, const char* variable,
                          LoggerOptions& o) {
        const ParseOutcome r = ParseOptions(args, "/data", o, "../config/ports", variable);
        return r.action == ParseOutcome::Action::Fail ? r.message : "(accepted)";
    };
    LoggerOptions o;
    EXPECT_EQ(parse({"--mqtt", "mqtt://u@h/p", "--mqtt-password-file", file}, nullptr, o),
              "(accepted)");
    EXPECT_TRUE(o.mqtt.hasPassword);
    EXPECT_EQ(o.mqtt.password, "p@ss:w/rd");
    LoggerOptions e;
    EXPECT_EQ(parse({"--mqtt", "mqtt://u@h/p"}, "fr0m-env", e), "(accepted)");
    EXPECT_EQ(e.mqtt.password, "fr0m-env");
    LoggerOptions none;
    EXPECT_EQ(parse({"--output", "-"}, "fr0m-env", none), "(accepted)");  // not publishing

    const struct {
        std::vector<std::string> args;
        const char* variable;
        const char* says;
    } refused[] = {
        {{"--mqtt", "mqtt://u:x@h/p", "--mqtt-password-file", file}, nullptr, "in one place"},
        {{"--mqtt", "mqtt://u:x@h/p"}, "fr0m-env", "TILTLOG_MQTT_PASSWORD"},
        {{"--mqtt", "mqtt://u@h/p", "--mqtt-password-file", file}, "fr0m-env", "in one place"},
        {{"--mqtt", "mqtt://h/p", "--mqtt-password-file", file}, nullptr, "no user name"},
        {{"--mqtt", "mqtt://u@h/p", "--mqtt-password-file", dir_ + "/gone"},
         nullptr,
         "No such file"},
        {{"--mqtt", "mqtt://u@h/p", "--mqtt-password-file", "/dev/null"}, nullptr, "not a file"},
        {{"--mqtt-password-file", file}, nullptr, "only --mqtt publishes"},
    };
    for (const auto& c : refused) {
        LoggerOptions r;
        const std::string error = parse(c.args, c.variable, r);
        EXPECT_NE(error.find(c.says), std::string::npos) << c.args.back() << ": " << error;
        EXPECT_EQ(error.find("p@ss"), std::string::npos) << error;
        EXPECT_EQ(error.find("fr0m"), std::string::npos) << error;
    }
    std::ofstream(file, std::ios::trunc) << "\n";
    EXPECT_NE(parse({"--mqtt", "mqtt://u@h/p", "--mqtt-password-file", file}, nullptr, o)
                  .find("is empty"),
              std::string::npos);
}

}  // namespace

// Whatever shape a URL has, a password in it is never shown: not in a refusal,
// not in what an accepted URL is described as.
TEST(MqttUrl, APasswordIsNeverShownWhateverTheUrlsShape) {
    const std::string secret = "S3cr3tPw";
    const char* schemes[] = {"mqtt://", "mqtts://", "MQTT://", "mqtt:/",   "mqtt//",
                             "mqtt:",   "mqtt:///", "tcp://",  "mqtt:\\\\"};
    const char* hosts[] = {"h", "h:1883", "[::1]:8883", "h:", "10.0.0.1:99", "h:x"};
    const char* prefixes[] = {"p", "site/a", "p@x", "", "a/b@c", "p/#"};
    const std::string noise = "ab/@:%9#?.";
    std::mt19937 random(31);
    const auto piece = [&](size_t most) {
        std::string s(random() % (most + 1), ' ');
        for (char& c : s) c = noise[random() % noise.size()];
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string user = piece(3);
        user.erase(std::remove(user.begin(), user.end(), ':'), user.end());
        const std::string url = std::string(schemes[random() % 9]) + (user.empty() ? "u" : user) +
                                ":" + piece(3) + secret + piece(3) + "@" + hosts[random() % 6] +
                                "/" + prefixes[random() % 6];
        MqttTarget t;
        std::string error;
        const std::string shown = ParseMqttUrl(url, t, error)
                                      ? t.Describe() + " " + t.host + " " + t.prefix + " " + t.user
                                      : error;
        ASSERT_EQ(shown.find(secret), std::string::npos) << url << " -> " << shown;
    }
    // No '@' at all: what follows the ':' may still be a password.
    MqttTarget t;
    std::string error;
    EXPECT_FALSE(ParseMqttUrl("mqtt://u:" + secret, t, error));
    EXPECT_EQ(error.find(secret), std::string::npos) << error;
    EXPECT_FALSE(ParseMqttUrl("mqtt://u:" + secret + "/p", t, error));
    EXPECT_EQ(error.find(secret), std::string::npos) << error;
}
