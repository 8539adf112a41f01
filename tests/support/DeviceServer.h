#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <netdb.h>
#include <netinet/in.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

// Debian's ser2net as a serial device server on loopback: each device added is served on a TCP port of
// its own, Telnet with COM port control or raw bytes, from Start() until the object goes away. One client
// at a time, as the server has it by default: a connection left open turns the next client away.
class DeviceServer {
public:
    enum class Accepter { Rfc2217, Raw };

    DeviceServer() = default;
    ~DeviceServer() {
        for (const int held : m_held)
            ::close(held);
        m_process.kill();
        m_process.waitForFinished();
    }
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Before Start(): serves `device` on a free port of `host`, "127.0.0.1" or "::1"; returns the port's
    // URL, or nothing when the machine has no such address (no IPv6 loopback).
    std::string Add(const std::string& device, Accepter accepter = Accepter::Rfc2217,
                    const std::string& host = "127.0.0.1") {
        const int port = FreePort(host);
        if (port == 0)
            return {};
        m_ports.push_back({host, port});
        m_config += "connection: &c" + std::to_string(m_ports.size()) +
                    "\n  accepter: " + (accepter == Accepter::Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,") +
                    host + "," + std::to_string(port) + "\n  connector: serialdev," + device +
                    ",19200n81,local\n"
                    // The server holds back what the device sends until the device has paused (1 ms at
                    // least); measured is the link and the hop, not that setting.
                    "  options:\n    chardelay: false\n";
        return (accepter == Accepter::Rfc2217 ? "rfc2217://" : "socket://") +
               (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
    }

    // Starts the server and waits, up to five seconds, until every port takes connections. Empty when
    // it does, else why not with the server's output.
    std::string Start() {
        if (!m_dir.isValid())
            return "no temporary folder";
        const QString config = m_dir.filePath("ser2net.yaml"), output = m_dir.filePath("output.txt");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) || file.write(m_config.c_str()) != qint64(m_config.size()))
            return "cannot write " + config.toStdString();
        file.close();
        const QString program = QFile::exists("/usr/sbin/ser2net") ? "/usr/sbin/ser2net" : "ser2net";
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(output);
        // A test that crashes takes its server with it.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        // No UUCP lock files: pty numbers come round again, and a killed server leaves its locks behind.
        m_process.start(program, {"-n", "-d", "-u", "-P", m_dir.filePath("pid"), "-c", config});
        if (!m_process.waitForStarted())
            return "cannot start " + program.toStdString() + ": " + m_process.errorString().toStdString();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (const auto& [host, port] : m_ports)
            while (!Accepts(host, port)) {
                if (std::chrono::steady_clock::now() > deadline || m_process.waitForFinished(50)) {
                    QFile log(output);
                    log.open(QIODevice::ReadOnly);
                    return "ser2net does not take connections on port " + std::to_string(port) + ":\n" +
                           log.readAll().toStdString();
                }
            }
        return {};
    }

    // After Start(): a client of the last port added, for as long as the server runs, so that the next
    // one finds the port busy.
    void Occupy() { m_held.push_back(Socket(m_ports.back().first, m_ports.back().second, false)); }

private:
    // A stream socket on `host`:`port`, bound or connected; -1 when that fails.
    static int Socket(const std::string& host, int port, bool bind) {
        addrinfo hints{};
        hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
            return -1;
        int fd = ::socket(found->ai_family, SOCK_STREAM, 0);
        if (fd >= 0 && (bind ? ::bind(fd, found->ai_addr, found->ai_addrlen)
                             : ::connect(fd, found->ai_addr, found->ai_addrlen)) != 0) {
            ::close(fd);
            fd = -1;
        }
        ::freeaddrinfo(found);
        return fd;
    }

    // A port nobody listens on now: the system's pick for port 0.
    static int FreePort(const std::string& host) {
        const int fd = Socket(host, 0, true);
        sockaddr_storage bound{};
        socklen_t size = sizeof bound;
        if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size) != 0)
            return ::close(fd), 0;
        ::close(fd);
        return ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                                 : reinterpret_cast<sockaddr_in&>(bound).sin_port);
    }

    static bool Accepts(const std::string& host, int port) {
        const int fd = Socket(host, port, false);
        ::close(fd);
        return fd >= 0;
    }

    std::string m_config;
    std::vector<std::pair<std::string, int>> m_ports;
    std::vector<int> m_held;
    QTemporaryDir m_dir;
    QProcess m_process;
};
