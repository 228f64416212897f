#pragma once

#include <chrono>
#include <string>

// Why a TLS handshake with a broker fails. The MQTT library says only "a TLS
// error"; a handshake of our own, checked as the library checks it, names the
// fault, and tells a certificate that can never pass from a passing outage.
struct TlsVerdict {
    bool handshakeFailed = false;
    bool certificateRefused = false;  // the chain, its dates or its name
    std::string reason;               // for the operator; empty when it passed
};

// Connects to `host`:`port` within `limit` and shakes hands, trusting `caFile`
// or, when it is empty, the system's certificates, and checking that the
// certificate names `host`.
TlsVerdict ProbeTls(const std::string& host, int port, const std::string& caFile,
                    std::chrono::milliseconds limit);
