#pragma once

#include <string>

// Where --mqtt publishes: mqtt://[USER[:PASSWORD]@]HOST[:PORT]/PREFIX, or
// mqtts:// for TLS.
struct MqttTarget {
    bool tls = false;
    bool hasUser = false;
    std::string user;  // percent-decoded
    bool hasPassword = false;
    std::string password;  // percent-decoded
    std::string host;      // without the brackets of an IPv6 literal
    int port = 0;          // 1883, or 8883 for mqtts, when the URL names none
    std::string prefix;    // the topics' first levels: rows go to PREFIX/<address>

    // "mqtt://HOST:PORT/PREFIX": never the credentials, so it may be printed.
    std::string Describe() const;
};

// False with a one-line reason (no program name, no line end) in `error` when
// `url` is not such a URL, or its prefix holds a wildcard ('+' or '#').
bool ParseMqttUrl(const std::string& url, MqttTarget& out, std::string& error);

// True when MQTT carries `text` as a string (a user name, a client id, a topic):
// UTF-8, without NUL or other control characters.
bool IsMqttText(const std::string& text);
