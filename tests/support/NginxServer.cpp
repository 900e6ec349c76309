#include "NginxServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace testing_support {
namespace {

namespace fs = std::filesystem;
constexpr const char* kNginx = "/usr/sbin/nginx";

// A port that was free a moment ago; nginx is started again on another one
// when it was taken in between.
std::uint16_t FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

bool Accepts(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Url(const char* scheme, const char* host, std::uint16_t port, std::string_view path)
{
    return std::string(scheme) + "://" + host + ":" + std::to_string(port) + std::string(path);
}

}  // namespace

NginxServer::NginxServer(std::string root, Options options) : m_root(std::move(root))
{
    if (!Available()) {
        m_error = std::string(kNginx) + " is not installed";
        return;
    }
    char folder[] = "/tmp/tunorva-nginx-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        m_error = "no temporary folder";
        return;
    }
    m_prefix = folder;
    for (const char* sub : {"logs", "tmp", "tls"})
        fs::create_directories(fs::path(m_prefix) / sub);
    if (!MakeCertificates())
        return;
    for (int attempt = 0; attempt < 5 && !Running(); ++attempt)
        Start(options.ipv6);
}

NginxServer::~NginxServer()
{
    Stop();
    if (!m_prefix.empty()) {
        std::error_code ignored;
        fs::remove_all(m_prefix, ignored);
    }
}

bool NginxServer::Available()
{
    return ::access(kNginx, X_OK) == 0;
}

// A CA, and a server certificate it signed, made with the openssl tool.
bool NginxServer::MakeCertificates()
{
    const std::string tls = m_prefix + "/tls/";
    std::ofstream(tls + "server.ext") << "subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost\n";
    const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
    const std::string log = " >>" + tls + "openssl.log 2>&1";
    const std::string commands[] = {
        "openssl req -x509 " + key + "-keyout " + tls + "ca.key -out " + tls +
            "ca.pem -days 2 -subj '/CN=Tunorva Test CA' -addext basicConstraints=critical,CA:TRUE"
            " -addext keyUsage=critical,keyCertSign,cRLSign" + log,
        "openssl req " + key + "-keyout " + tls + "server.key -out " + tls + "server.csr -subj /CN=localhost" + log,
        "openssl x509 -req -in " + tls + "server.csr -CA " + tls + "ca.pem -CAkey " + tls + "ca.key -CAcreateserial -out " +
            tls + "server.pem -days 2 -extfile " + tls + "server.ext" + log,
    };
    for (const std::string& command : commands) {
        if (std::system(command.c_str()) != 0) {
            m_error = "openssl failed: " + ReadFile(tls + "openssl.log");
            return false;
        }
    }
    m_caFile = tls + "ca.pem";
    return true;
}

bool NginxServer::Start(bool ipv6)
{
    m_port = FreePort();
    m_tlsPort = FreePort();
    if (m_port == 0 || m_tlsPort == 0 || m_port == m_tlsPort) {
        m_error = "no free port";
        return false;
    }
    const std::string& p = m_prefix;
    std::ofstream conf(p + "/nginx.conf");
    // One process in the foreground: nothing is left running when it is
    // stopped, and it never switches to another user.
    conf << "master_process off;\n"
         << "pid " << p << "/nginx.pid;\n"
         << "error_log " << p << "/logs/error.log warn;\n"
         << "events { worker_connections 64; }\n"
         << "http {\n"
         << "  access_log " << p << "/logs/access.log;\n"
         << "  client_body_temp_path " << p << "/tmp/body;\n"
         << "  proxy_temp_path " << p << "/tmp/proxy;\n"
         << "  fastcgi_temp_path " << p << "/tmp/fastcgi;\n"
         << "  uwsgi_temp_path " << p << "/tmp/uwsgi;\n"
         << "  scgi_temp_path " << p << "/tmp/scgi;\n"
         << "  types { text/html html htm; audio/mpeg mp3; }\n"
         << "  default_type application/octet-stream;\n"
         << "  sendfile on;\n"
         << "  gzip on;\n"
         << "  gzip_min_length 1;\n"
         << "  server {\n"
         << "    listen 127.0.0.1:" << m_port << ";\n";
    if (ipv6)
        conf << "    listen [::1]:" << m_port << ";\n";
    conf << "    listen 127.0.0.1:" << m_tlsPort << " ssl;\n"
         << "    ssl_certificate " << p << "/tls/server.pem;\n"
         << "    ssl_certificate_key " << p << "/tls/server.key;\n"
         << "    root " << m_root << ";\n"
         << "    autoindex on;\n"
         // A redirect to any address: /redirect?to=URL.
         << "    location = /redirect { return 302 $arg_to; }\n"
         << "  }\n"
         << "}\n";
    conf.close();

    const pid_t pid = ::fork();
    if (pid < 0) {
        m_error = "fork failed";
        return false;
    }
    if (pid == 0) {
        const std::string conffile = p + "/nginx.conf";
        const std::string errorLog = p + "/logs/error.log";
        ::execl(kNginx, kNginx, "-p", p.c_str(), "-c", conffile.c_str(), "-e", errorLog.c_str(), "-g", "daemon off;",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            m_error = "nginx ended at start: " + ReadFile(p + "/logs/error.log");
            return false;
        }
        if (Accepts(m_port) && Accepts(m_tlsPort)) {
            m_pid = pid;
            m_error.clear();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    m_error = "nginx did not answer: " + ReadFile(p + "/logs/error.log");
    return false;
}

void NginxServer::Stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(m_pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_pid = -1;
}

std::string NginxServer::HttpUrl(std::string_view path) const
{
    return Url("http", "127.0.0.1", m_port, path);
}

std::string NginxServer::HttpsUrl(std::string_view path) const
{
    return Url("https", "127.0.0.1", m_tlsPort, path);
}

std::string NginxServer::Ipv6Url(std::string_view path) const
{
    return Url("http", "[::1]", m_port, path);
}

std::string NginxServer::AccessLog() const
{
    std::ifstream in(m_prefix + "/logs/access.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace testing_support
