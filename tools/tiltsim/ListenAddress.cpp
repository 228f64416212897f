#include "ListenAddress.h"

#include <arpa/inet.h>

#include <cctype>

bool ParseListenAddress(const std::string& url, ListenAddress& out, std::string& error) {
    static const std::string kScheme = "tcp://";
    if (url.compare(0, kScheme.size(), kScheme) != 0) {
        error = "'" + url + "' does not start with tcp://";
        return false;
    }
    const std::string rest = url.substr(kScheme.size());
    const size_t colon = rest.rfind(':');
    if (colon == std::string::npos) {
        error = "'" + url + "' has no :PORT";
        return false;
    }
    const std::string host = rest.substr(0, colon);
    const std::string port = rest.substr(colon + 1);
    in_addr ip{};
    if (host.empty() || inet_pton(AF_INET, host.c_str(), &ip) != 1) {
        error = "'" + host + "' in '" + url + "' is not an IPv4 address";
        return false;
    }
    unsigned long value = 0;
    bool digits = !port.empty() && port.size() <= 5;
    for (char c : port) {
        if (!std::isdigit(static_cast<unsigned char>(c))) digits = false;
        if (digits) value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (!digits || value > 65535) {
        error = "'" + port + "' in '" + url + "' is not a port 0..65535";
        return false;
    }
    out.host = host;
    out.port = static_cast<uint16_t>(value);
    return true;
}
