#include "ListenAddress.h"

#include "HostPort.h"

namespace {

constexpr LinkScheme kSchemes[] = {LinkScheme::RawTcp, LinkScheme::Rfc2217, LinkScheme::ModbusTcp};

}  // namespace

std::string ListenAddress::Url(uint16_t boundPort) const {
    HostPort at;
    at.host = host;
    at.port = boundPort;
    return TcpAddress::SchemePrefix(scheme) + at.Text();
}

bool ParseListenAddress(const std::string& url, ListenAddress& out, std::string& error) {
    for (LinkScheme scheme : kSchemes) {
        const std::string prefix = TcpAddress::SchemePrefix(scheme);
        if (url.compare(0, prefix.size(), prefix) != 0) continue;
        HostPort at;
        std::string why;
        if (!ParseHostPort(url.substr(prefix.size()), at, why)) {
            error = "'" + url + "': " + why;
            return false;
        }
        if (at.port < 0) {
            error = "'" + url + "' has no :PORT";
            return false;
        }
        out.scheme = scheme;
        out.host = at.host;
        out.port = static_cast<uint16_t>(at.port);
        return true;
    }
    error = "'" + url + "' does not start with tcp://, rfc2217:// or modbus-tcp://";
    return false;
}
