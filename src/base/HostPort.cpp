#include "HostPort.h"

#include "Decimal.h"

namespace {

bool HostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

}  // namespace

std::string HostPort::Text() const {
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return port < 0 ? shown : shown + ":" + std::to_string(port);
}

bool ParseHostPort(const std::string& text, HostPort& out, std::string& why) {
    HostPort result;
    std::string rest;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos) {
            why = "no ']' after the IPv6 address";
            return false;
        }
        result.host = text.substr(1, close - 1);
        // Brackets are for IPv6 only, whose addresses are hex digits, ':' and '.'.
        if (result.host.find(':') == std::string::npos ||
            result.host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) {
            why = "'" + result.host + "' in brackets is not an IPv6 address";
            return false;
        }
        rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            why = "'" + rest + "' after the address";
            return false;
        }
    } else {
        const size_t colon = text.find(':');
        result.host = text.substr(0, colon);
        if (colon != std::string::npos) rest = text.substr(colon);
        if (rest.find(':', 1) != std::string::npos) {
            why = "an IPv6 address is written in brackets, [::1]:PORT";
            return false;
        }
        for (char c : result.host) {
            if (!HostCharacter(c)) {
                why = "'" + result.host + "' is not a host name or address";
                return false;
            }
        }
    }
    if (result.host.empty()) {
        why = "no host";
        return false;
    }
    if (!rest.empty()) {
        uint64_t port = 0;
        if (rest.size() == 1) {
            why = "no port after ':'";
            return false;
        }
        if (!ParseDecimal(rest.substr(1), 65535, port)) {
            why = "port '" + rest.substr(1) + "' is not 0..65535";
            return false;
        }
        result.port = static_cast<int>(port);
    }
    out = result;
    return true;
}
