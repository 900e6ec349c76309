#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>

namespace testing_support {

// A real nginx for tests, serving the folder `root` with autoindex listings,
// byte ranges and gzip for HTML:
// - plain HTTP on a free 127.0.0.1 port (and on the same port of [::1] when
//   asked for);
// - HTTPS on a second port, with a certificate for 127.0.0.1, ::1 and
//   localhost signed by a CA made for the test (CaFile());
// - on both, "/redirect?to=URL" answers 302 with URL as its Location;
// - its configuration, logs and temp folders in a folder of its own, in the
//   foreground as one process; stopped and removed by the destructor.
// Served files must be readable by the user running the test.
class NginxServer {
public:
    struct Options {
        bool ipv6 = false;  // also listen on [::1] with the plain port
    };

    explicit NginxServer(std::string root, Options options);
    explicit NginxServer(std::string root) : NginxServer(std::move(root), Options{}) {}
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // False when nginx is not installed; tests skip then.
    static bool Available();
    // True once nginx answers; otherwise Error() says why it did not start.
    bool Running() const { return m_pid > 0; }
    const std::string& Error() const { return m_error; }

    std::uint16_t Port() const { return m_port; }
    std::uint16_t TlsPort() const { return m_tlsPort; }
    std::string HttpUrl(std::string_view path = "/") const;   // http://127.0.0.1:port/path
    std::string HttpsUrl(std::string_view path = "/") const;  // https://127.0.0.1:port/path
    std::string Ipv6Url(std::string_view path = "/") const;   // http://[::1]:port/path
    // The test CA's certificate (PEM), for SSL_CERT_FILE.
    const std::string& CaFile() const { return m_caFile; }
    // The access log so far, one request a line in nginx's combined format.
    std::string AccessLog() const;

private:
    bool MakeCertificates();
    bool Start(bool ipv6);
    void Stop();

    std::string m_root;
    std::string m_prefix;
    std::string m_caFile;
    std::string m_error;
    std::uint16_t m_port = 0;
    std::uint16_t m_tlsPort = 0;
    pid_t m_pid = -1;
};

}  // namespace testing_support
