#include "TlsProbe.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "SystemCalls.h"

namespace {

struct Closer {
    int fd;
    ~Closer() {
        if (fd >= 0) ::close(fd);
    }
};

// A blocking socket connected within `limit`, whose reads and writes give up after it.
int ConnectWithin(const std::string& host, int port, std::chrono::milliseconds limit,
                  std::string& error) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        error = std::string("the host name cannot be looked up: ") + ::gai_strerror(rc);
        return -1;
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, &::freeaddrinfo);
    error = "no address to connect to";
    for (const addrinfo* a = found; a; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            error = SystemText(errno);
            continue;
        }
        int err = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (err == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            const int ready =
                RetryEintr([&] { return ::poll(&p, 1, static_cast<int>(limit.count())); });
            socklen_t len = sizeof err;
            err = ready <= 0                                                ? ETIMEDOUT
                  : ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 ? errno
                                                                            : err;
        }
        if (err != 0) {
            error = SystemText(err);
            ::close(fd);
            continue;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        timeval tv{static_cast<time_t>(limit.count() / 1000),
                   static_cast<suseconds_t>(limit.count() % 1000 * 1000)};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        return fd;
    }
    return -1;
}

bool IsAddressLiteral(const std::string& host) {
    unsigned char buffer[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

std::string CertificateFault(long code, const std::string& host) {
    const std::string openssl = X509_verify_cert_error_string(code);
    switch (code) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return "its certificate has expired";
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return "its certificate is not valid yet (is this box's clock right?)";
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return "its certificate is for another host name than " + host;
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
            return "its certificate is signed by a certificate authority that is not trusted "
                   "here (" +
                   openssl + ")";
        default:
            return "its certificate cannot be verified (" + openssl + ")";
    }
}

}  // namespace

TlsVerdict ProbeTls(const std::string& host, int port, const std::string& caFile,
                    std::chrono::milliseconds limit) {
    TlsVerdict verdict;
    std::string error;
    Closer socket{ConnectWithin(host, port, limit, error)};
    if (socket.fd < 0) {
        verdict.handshakeFailed = true;
        verdict.reason = error;
        return verdict;
    }
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> ctx(SSL_CTX_new(TLS_client_method()),
                                                          &SSL_CTX_free);
    if (!ctx) {
        verdict.handshakeFailed = true;
        verdict.reason = "TLS cannot be set up (out of memory)";
        return verdict;
    }
    // The trust the feed itself is given.
    const bool own = !caFile.empty();
    if (SSL_CTX_load_verify_locations(ctx.get(), own ? caFile.c_str() : nullptr,
                                      own ? nullptr : "/etc/ssl/certs") != 1) {
        verdict.handshakeFailed = true;
        verdict.certificateRefused = own;
        verdict.reason = own ? "the CA certificate '" + caFile + "' cannot be loaded (" +
                                   ERR_reason_error_string(ERR_peek_last_error()) + ")"
                             : "the system's certificates (/etc/ssl/certs) cannot be loaded";
        ERR_clear_error();
        return verdict;
    }
    SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(ctx.get()), &SSL_free);
    if (!ssl || SSL_set_fd(ssl.get(), socket.fd) != 1) {
        verdict.handshakeFailed = true;
        verdict.reason = "TLS cannot be set up (out of memory)";
        return verdict;
    }
    if (IsAddressLiteral(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl.get()), host.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl.get(), host.c_str());
        SSL_set1_host(ssl.get(), host.c_str());
    }
    ERR_clear_error();
    errno = 0;
    const int rc = SSL_connect(ssl.get());
    if (rc == 1) return verdict;
    verdict.handshakeFailed = true;
    const long code = SSL_get_verify_result(ssl.get());
    if (code != X509_V_OK) {
        verdict.certificateRefused = true;
        verdict.reason = CertificateFault(code, host);
    } else if (const unsigned long e = ERR_peek_last_error(); e != 0) {
        const char* text = ERR_reason_error_string(e);
        verdict.reason =
            std::string("the TLS handshake failed (") + (text ? text : "no reason") + ")";
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
        verdict.reason = "the broker did not complete the TLS handshake within " +
                         std::to_string(limit.count() / 1000) + " s";
    } else {
        verdict.reason = errno != 0 ? "the TLS handshake failed: " + SystemText(errno)
                                    : "the broker closed the connection during the TLS handshake";
    }
    ERR_clear_error();
    return verdict;
}
