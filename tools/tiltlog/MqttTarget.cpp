#include "MqttTarget.h"

#include <algorithm>
#include <cctype>

#include "HostPort.h"

namespace {

const char kForm[] = "mqtt://[USER[:PASSWORD]@]HOST[:PORT]/PREFIX";
// An MQTT string's length field is 16 bits, and the longest topic is the status one.
constexpr size_t kMaxTopicBytes = 65535;
constexpr size_t kMaxPrefixBytes = kMaxTopicBytes - sizeof "/255/status" + 1;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %40 for '@', %3A for ':', %2F for '/': how a URL carries them inside a user or password.
bool PercentDecode(const std::string& in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        const int hi = i + 2 < in.size() ? HexDigit(in[i + 1]) : -1;
        const int lo = hi >= 0 ? HexDigit(in[i + 2]) : -1;
        if (lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

// Where the part after the scheme begins, however the scheme was mistyped
// ("mqtt:/", "mqtt//", "tcp://"): a user name may start there.
size_t AfterScheme(const std::string& url) {
    size_t i = 0;
    while (i < url.size() && (std::isalnum(static_cast<unsigned char>(url[i])) || url[i] == '+' ||
                              url[i] == '.' || url[i] == '-'))
        ++i;
    if (i < url.size() && url[i] == ':') ++i;
    while (i < url.size() && (url[i] == '/' || url[i] == '\\')) ++i;
    return i;
}

// The URL as a message may show it: whatever may be a password becomes "****".
// The last '@' ends the user part, since a password may hold '@' or '/'
// unescaped; with no '@', text after a ':' that is not a port may be one.
std::string Masked(const std::string& url) {
    const size_t from = AfterScheme(url);
    const size_t at = url.rfind('@');
    if (at != std::string::npos && at >= from) {
        const size_t colon = url.find(':', from);
        if (colon == std::string::npos || colon > at) return url;
        return url.substr(0, colon + 1) + "****" + url.substr(at);
    }
    const size_t end = std::min(url.find('/', from), url.size());
    const size_t colon = url.find(':', url[from] == '[' ? url.find(']', from) : from);
    if (colon >= end) return url;
    const std::string port = url.substr(colon + 1, end - colon - 1);
    if (port.find_first_not_of("0123456789") == std::string::npos) return url;
    return url.substr(0, colon + 1) + "****" + url.substr(end);
}

}  // namespace

bool IsMqttText(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned lead = byte(i);
        size_t extra = 0;
        unsigned cp = lead;
        if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            cp = lead & 0x07;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            cp = lead & 0x0F;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0x80) {
            return false;
        }
        if (i + extra >= text.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (byte(i + k) & 0x3F);
        }
        const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        // MQTT forbids NUL, and brokers may close the connection on other controls.
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return false;
        i += extra + 1;
    }
    return true;
}

std::string MqttTarget::Describe() const {
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(tls ? "mqtts://" : "mqtt://") + (v6 ? "[" + host + "]" : host) + ":" +
           std::to_string(port) + "/" + prefix;
}

bool ParseMqttUrl(const std::string& url, MqttTarget& out, std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = "--mqtt: " + why;
        return false;
    };
    const auto notForm = [&] { return fail("'" + Masked(url) + "' is not " + kForm); };
    MqttTarget t;
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) return notForm();
    const std::string scheme = Lower(url.substr(0, schemeEnd));
    if (scheme == "mqtts") {
        t.tls = true;
    } else if (scheme != "mqtt") {
        return notForm();
    }
    const size_t authorityAt = schemeEnd + 3;
    const size_t slash = url.find('/', authorityAt);
    if (slash == std::string::npos)
        return fail("no prefix in '" + Masked(url) + "': rows go to PREFIX/<address>");
    std::string authority = url.substr(authorityAt, slash - authorityAt);
    const std::string prefix = url.substr(slash + 1);
    // A '/' in a user name or password ends the host early; what follows would
    // be taken for a topic and shown wherever the topic is.
    if (prefix.find('@') != std::string::npos)
        return fail("an '@' after the first '/' in '" + Masked(url) +
                    "'; a '/' in a user name or password is written %2F");

    // The last '@': a password may hold one unescaped, a host never does.
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::string info = authority.substr(0, at);
        authority = authority.substr(at + 1);
        const size_t colon = info.find(':');
        t.hasUser = true;
        if (!PercentDecode(info.substr(0, colon), t.user))
            return fail("a bad %-escape in the user name");
        if (t.user.empty()) return notForm();
        if (!IsMqttText(t.user))
            return fail("the user name is not UTF-8 text without control characters");
        if (colon != std::string::npos) {
            t.hasPassword = true;
            // Never echoed: the message names the URL without it.
            if (!PercentDecode(info.substr(colon + 1), t.password))
                return fail("a bad %-escape in the password");
            // The library takes the password as a C string: it would end at a NUL.
            if (t.password.find('\0') != std::string::npos)
                return fail("the password holds a NUL (%00)");
        }
    }

    HostPort hostPort;
    std::string why;
    if (!ParseHostPort(authority, hostPort, why)) {
        // Only a port that is there and wrong gets a message of its own.
        if (why.compare(0, 6, "port '") != 0) return notForm();
        const std::string portText = authority.substr(authority.rfind(':') + 1);
        // Not a number: it may be half of a password that lost its '@'.
        if (at == std::string::npos &&
            portText.find_first_not_of("0123456789") != std::string::npos)
            return fail("what follows ':' in '" + Masked(url) + "' is not a port 1..65535");
        return fail("port '" + portText + "' is not 1..65535");
    }
    if (hostPort.port == 0) return fail("port '0' is not 1..65535");
    t.host = hostPort.host;
    t.port = hostPort.port > 0 ? hostPort.port : t.tls ? 8883 : 1883;

    if (prefix.empty())
        return fail("no prefix in '" + Masked(url) + "': rows go to PREFIX/<address>");
    for (char wildcard : {'+', '#'}) {
        if (prefix.find(wildcard) != std::string::npos)
            return fail(std::string("the prefix '") + prefix + "' holds the wildcard '" + wildcard +
                        "', and no row can be published to a wildcard");
    }
    if (prefix.find('?') != std::string::npos || prefix.find('\0') != std::string::npos)
        return fail("the prefix '" + prefix + "' is not a topic: no '?' and no NUL");
    if (prefix.front() == '/' || prefix.back() == '/' || prefix.find("//") != std::string::npos)
        return fail("the prefix '" + prefix + "' has an empty level");
    // Not echoed: its bytes are what the terminal could not show.
    if (!IsMqttText(prefix)) return fail("the prefix is not UTF-8 text without control characters");
    if (prefix.size() > kMaxPrefixBytes)
        return fail("the prefix is " + std::to_string(prefix.size()) + " bytes; at most " +
                    std::to_string(kMaxPrefixBytes) + " leave room for /<address>/status");
    t.prefix = prefix;
    out = t;
    return true;
}
