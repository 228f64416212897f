#include "TcpAddress.h"

#include "Decimal.h"
#include "HostPort.h"

namespace {

constexpr LinkScheme kSchemes[] = {LinkScheme::RawTcp, LinkScheme::Rfc2217, LinkScheme::ModbusTcp};

std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool Fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}

}  // namespace

const char* TcpAddress::SchemePrefix(LinkScheme scheme) {
    switch (scheme) {
        case LinkScheme::Rfc2217:
            return "rfc2217://";
        case LinkScheme::ModbusTcp:
            return "modbus-tcp://";
        case LinkScheme::RawTcp:
            break;
    }
    return "tcp://";
}

bool TcpAddress::LooksLikeAddress(const std::string& text) {
    const std::string t = Trimmed(text);
    const size_t mark = t.find("://");
    if (mark == std::string::npos || mark == 0) return false;
    for (size_t i = 0; i < mark; ++i) {
        const char c = t[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(i > 0 && ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.')))
            return false;
    }
    return true;
}

bool TcpAddress::Parse(const std::string& text, TcpAddress& out, std::string* why) {
    const std::string t = Trimmed(text);
    TcpAddress result;
    std::string rest;
    bool known = false;
    for (LinkScheme scheme : kSchemes) {
        const std::string prefix = SchemePrefix(scheme);
        if (t.compare(0, prefix.size(), prefix) == 0) {
            result.scheme = scheme;
            rest = t.substr(prefix.size());
            known = true;
            break;
        }
    }
    if (!known) {
        const size_t mark = t.find("://");
        const std::string written = mark == std::string::npos ? t : t.substr(0, mark + 3);
        return Fail(why, "'" + written +
                             "' is not a network address: tcp://, rfc2217:// or modbus-tcp:// "
                             "then HOST:PORT");
    }
    if (result.scheme == LinkScheme::ModbusTcp) {
        const size_t slash = rest.find('/');
        if (slash != std::string::npos) {
            uint64_t unit = 0;
            if (!ParseDecimal(rest.substr(slash + 1), 255, unit))
                return Fail(why, "unit '" + rest.substr(slash + 1) + "' is not 0..255");
            result.unit = static_cast<int>(unit);
            rest = rest.substr(0, slash);
        }
    }
    HostPort hostPort;
    std::string problem;
    if (!ParseHostPort(rest, hostPort, problem)) return Fail(why, problem);
    if (hostPort.port < 0) return Fail(why, "no :PORT after the host");
    if (hostPort.port == 0) return Fail(why, "port 0 is no server's port (1..65535)");
    result.host = hostPort.host;
    result.service = std::to_string(hostPort.port);
    out = result;
    return true;
}

bool TcpAddress::IsAddress(const std::string& text) {
    TcpAddress ignored;
    return Parse(text, ignored);
}
