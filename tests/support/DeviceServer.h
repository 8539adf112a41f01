#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

// Debian's ser2net as a serial device server on loopback: each device added is served on a TCP port of
// its own, Telnet with COM port control or raw bytes, from Start() until the object goes away.
class DeviceServer {
public:
    enum class Accepter { Rfc2217, Raw };

    DeviceServer() = default;
    ~DeviceServer() {
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
        m_config += "connection: &c" + std::to_string(m_ports.size()) + "\n  accepter: " +
                    (accepter == Accepter::Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,") + host + "," +
                    std::to_string(port) + "\n  connector: serialdev," + device +
                    ",19200n81,local\n"
                    // The link closes the port after every exchange and opens it at once for the next: a
                    // close the server has not yet seen must not turn the new client away.
                    "  options:\n    kickolduser: true\n";
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

private:
    // A port nobody listens on now: the system's pick for port 0.
    static int FreePort(const std::string& host) {
        Address address = Loopback(host, 0);
        const int fd = ::socket(address.family, SOCK_STREAM, 0);
        socklen_t size = sizeof address.storage;
        int port = 0;
        if (fd >= 0 && ::bind(fd, address.Get(), address.size) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address.storage), &size) == 0)
            port = ntohs(address.family == AF_INET6 ? address.v6().sin6_port : address.v4().sin_port);
        ::close(fd);
        return port;
    }

    static bool Accepts(const std::string& host, int port) {
        const Address address = Loopback(host, port);
        const int fd = ::socket(address.family, SOCK_STREAM, 0);
        const bool accepted = fd >= 0 && ::connect(fd, address.Get(), address.size) == 0;
        ::close(fd);
        return accepted;
    }

    struct Address {
        int family;
        socklen_t size;
        sockaddr_storage storage{};
        const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&storage); }
        sockaddr_in& v4() { return *reinterpret_cast<sockaddr_in*>(&storage); }
        sockaddr_in6& v6() { return *reinterpret_cast<sockaddr_in6*>(&storage); }
    };

    static Address Loopback(const std::string& host, int port) {
        const bool v6 = host.find(':') != std::string::npos;
        Address address{v6 ? AF_INET6 : AF_INET, v6 ? socklen_t(sizeof(sockaddr_in6)) : socklen_t(sizeof(sockaddr_in))};
        if (v6) {
            address.v6().sin6_family = AF_INET6;
            address.v6().sin6_port = htons(std::uint16_t(port));
            ::inet_pton(AF_INET6, host.c_str(), &address.v6().sin6_addr);
        } else {
            address.v4().sin_family = AF_INET;
            address.v4().sin_port = htons(std::uint16_t(port));
            ::inet_pton(AF_INET, host.c_str(), &address.v4().sin_addr);
        }
        return address;
    }

    std::string m_config;
    std::vector<std::pair<std::string, int>> m_ports;
    QTemporaryDir m_dir;
    QProcess m_process;
};
