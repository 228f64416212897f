#include "TcpAddress.h"

namespace {

constexpr char kScheme[] = "tcp://";

std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool AllDigits(const std::string& text) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

bool TcpAddress::Parse(const std::string& text, TcpAddress& out) {
    const std::string t = Trimmed(text);
    const size_t schemeLength = sizeof kScheme - 1;
    if (t.compare(0, schemeLength, kScheme) != 0) return false;
    const std::string rest = t.substr(schemeLength);
    std::string host;
    std::string service;
    if (!rest.empty() && rest[0] == '[') {
        // An IPv6 address carries colons of its own, hence the brackets.
        const size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return false;
        host = rest.substr(1, close - 1);
        service = rest.substr(close + 2);
    } else {
        const size_t colon = rest.rfind(':');
        if (colon == std::string::npos) return false;
        host = rest.substr(0, colon);
        service = rest.substr(colon + 1);
        if (host.find(':') != std::string::npos) return false;
    }
    if (host.empty() || !AllDigits(service) || std::stoul(service) == 0 ||
        std::stoul(service) > 65535)
        return false;
    out.host = host;
    out.service = service;
    return true;
}

bool TcpAddress::IsAddress(const std::string& text) {
    TcpAddress ignored;
    return Parse(text, ignored);
}
