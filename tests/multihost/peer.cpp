// A small stand-in for another machine on the office network, driven by the multi-host test: it
// owns the mail port of its own address, sends hand-made datagrams (good and bad) to a running
// varnel and checks what comes back. POSIX sockets only.
//
//   peer [-b ADDRESS] [-p PORT] STEP...
//
// Steps run in order; the first failing step ends the run with exit code 1 (usage errors: 2).
//   send HOST[:PORT] BYTES            send one datagram of exactly BYTES (no zero byte added)
//   sendfile HOST[:PORT] FILE         send the contents of FILE as one datagram
//   flood HOST[:PORT] COUNT SECS BYTES  send up to COUNT datagrams, each BYTES with every "{n}"
//                                     replaced by the running number; stop after SECS seconds
//   floodmix HOST[:PORT] COUNT SECS BYTES BYTES  the same, the two patterns taking turns
//   expect SECS BYTES                 wait up to SECS for a datagram equal to BYTES (consumed)
//   absent SECS BYTES                 fail when a datagram equal to BYTES arrives within SECS
//   collect SECS                      take in datagrams for SECS seconds
//   relay SECS PERCENT A B            for SECS seconds, pass what comes from address A on to B and
//                                     what comes from B on to A (both at the mail port), dropping
//                                     PERCENT % of them (the same ones every run); prints the counts
//   sleep SECS
// BYTES use C escapes: \a \b \r \n \t \0 \\ \xHH. Every datagram taken in is printed on stdout as
// "recv ADDRESS:PORT BYTES" in the same notation, so the output can be compared in a shell script.
// Datagrams that no "expect" consumed stay in a backlog that later steps look at first.

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::string;
using Clock = std::chrono::steady_clock;

constexpr int kDefaultPort = 20595;
constexpr std::size_t kMaxDatagram = 65536;

struct Received {
    std::string from;
    Bytes bytes;
};

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<Bytes> Unescape(const std::string& text) {
    Bytes out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case 'a':
            out.push_back('\a');
            break;
        case 'b':
            out.push_back('\b');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 't':
            out.push_back('\t');
            break;
        case '0':
            out.push_back('\0');
            break;
        case '\\':
            out.push_back('\\');
            break;
        case 'x': {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int hi = HexValue(text[i + 1]);
            const int lo = HexValue(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::string Escape(const Bytes& bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\a':
            out += "\\a";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\0':
            out += "\\0";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (c >= 0x20 && c < 0x7f) {
                out.push_back(ch);
            } else {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            }
        }
    }
    return out;
}

std::optional<double> Seconds(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value < 0 || value > 3600)
        return std::nullopt;
    return value;
}

std::optional<sockaddr_in> Resolve(const std::string& target) {
    std::string host = target;
    int port = kDefaultPort;
    if (const auto colon = target.rfind(':'); colon != std::string::npos) {
        host = target.substr(0, colon);
        port = std::atoi(target.c_str() + colon + 1);
        if (port <= 0 || port > 65535)
            return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return std::nullopt;
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    freeaddrinfo(found);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

class Peer {
public:
    Peer() = default;
    ~Peer() {
        if (m_socket >= 0)
            close(m_socket);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool Bind(const std::string& address, int port) {
        m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (m_socket < 0) {
            std::perror("socket");
            return false;
        }
        // A large queue, so that a burst of answers is not lost while a step sends.
        const int size = 8 * 1024 * 1024;
        setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(static_cast<uint16_t>(port));
        if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
            std::fprintf(stderr, "peer: bad bind address %s\n", address.c_str());
            return false;
        }
        if (bind(m_socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            std::fprintf(stderr, "peer: cannot bind %s:%d: %s\n", address.c_str(), port,
                         std::strerror(errno));
            return false;
        }
        return true;
    }

    bool Send(const std::string& target, const Bytes& bytes) {
        const auto address = Resolve(target);
        if (!address) {
            std::fprintf(stderr, "peer: cannot resolve %s\n", target.c_str());
            return false;
        }
        const ssize_t sent = sendto(m_socket, bytes.data(), bytes.size(), 0,
                                    reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
        if (sent != static_cast<ssize_t>(bytes.size())) {
            std::fprintf(stderr, "peer: send of %zu bytes to %s failed: %s\n", bytes.size(), target.c_str(),
                         std::strerror(errno));
            return false;
        }
        return true;
    }

    bool Flood(const std::string& target, long count, double seconds, const std::vector<Bytes>& patterns) {
        const auto address = Resolve(target);
        if (!address) {
            std::fprintf(stderr, "peer: cannot resolve %s\n", target.c_str());
            return false;
        }
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        long sent = 0;
        long failed = 0;
        for (long n = 0; n < count && Clock::now() < deadline; ++n) {
            Bytes bytes;
            const std::string number = std::to_string(n);
            const Bytes& pattern = patterns[std::size_t(n) % patterns.size()];
            for (std::size_t i = 0; i < pattern.size(); ++i) {
                if (pattern.compare(i, 3, "{n}") == 0) {
                    bytes += number;
                    i += 2;
                } else {
                    bytes.push_back(pattern[i]);
                }
            }
            if (sendto(m_socket, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&*address),
                       sizeof *address) < 0)
                ++failed;
            else
                ++sent;
        }
        std::printf("flood %s sent %ld failed %ld\n", target.c_str(), sent, failed);
        return true;
    }

    // Takes in datagrams until the deadline or until one equals wanted (which is then consumed).
    bool Wait(double seconds, const std::optional<Bytes>& wanted) {
        if (wanted && TakeFromBacklog(*wanted))
            return true;
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            pollfd fd{m_socket, POLLIN, 0};
            const int ready = poll(&fd, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno != EINTR) {
                std::perror("poll");
                return false;
            }
            if (ready <= 0)
                continue;
            auto item = ReceiveOne();
            if (!item)
                continue;
            std::printf("recv %s %s\n", item->from.c_str(), Escape(item->bytes).c_str());
            std::fflush(stdout);
            if (wanted && item->bytes == *wanted)
                return true;
            m_backlog.push_back(std::move(*item));
        }
    }

    // A lossy stretch of line between two machines that address each other at this peer.
    bool Relay(double seconds, int percent, const std::string& a, const std::string& b) {
        const auto addressA = Resolve(a);
        const auto addressB = Resolve(b);
        if (!addressA || !addressB) {
            std::fprintf(stderr, "peer: cannot resolve %s or %s\n", a.c_str(), b.c_str());
            return false;
        }
        unsigned state = 20595;
        long passed = 0;
        long dropped = 0;
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        std::vector<char> buffer(kMaxDatagram);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                break;
            pollfd fd{m_socket, POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                continue;
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t got = recvfrom(m_socket, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&from), &length);
            if (got < 0)
                continue;
            const sockaddr_in* to = nullptr;
            if (from.sin_addr.s_addr == addressA->sin_addr.s_addr)
                to = &*addressB;
            else if (from.sin_addr.s_addr == addressB->sin_addr.s_addr)
                to = &*addressA;
            if (to == nullptr)
                continue;
            state = state * 1103515245u + 12345u;
            if (int((state >> 16) % 100) < percent) {
                ++dropped;
                continue;
            }
            sendto(m_socket, buffer.data(), std::size_t(got), 0, reinterpret_cast<const sockaddr*>(to),
                   sizeof *to);
            ++passed;
        }
        std::printf("relay %s %s passed %ld dropped %ld\n", a.c_str(), b.c_str(), passed, dropped);
        return true;
    }

    bool InBacklog(const Bytes& bytes) const {
        for (const auto& item : m_backlog)
            if (item.bytes == bytes)
                return true;
        return false;
    }

private:
    bool TakeFromBacklog(const Bytes& wanted) {
        for (auto it = m_backlog.begin(); it != m_backlog.end(); ++it) {
            if (it->bytes == wanted) {
                m_backlog.erase(it);
                return true;
            }
        }
        return false;
    }

    std::optional<Received> ReceiveOne() {
        std::vector<char> buffer(kMaxDatagram);
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = recvfrom(m_socket, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0)
            return std::nullopt;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        return Received{std::string(text) + ":" + std::to_string(ntohs(from.sin_port)),
                        Bytes(buffer.data(), static_cast<std::size_t>(got))};
    }

    int m_socket = -1;
    std::deque<Received> m_backlog;
};

int Usage() {
    std::fprintf(stderr, "usage: peer [-b ADDRESS] [-p PORT] STEP...\n"
                         "steps: send HOST BYTES | sendfile HOST FILE | flood HOST COUNT SECS BYTES |\n"
                         "       floodmix HOST COUNT SECS BYTES BYTES |\n"
                         "       expect SECS BYTES | absent SECS BYTES | collect SECS | sleep SECS |\n"
                         "       relay SECS PERCENT A B\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string bindAddress = "0.0.0.0";
    int port = kDefaultPort;
    std::size_t i = 0;
    while (i + 1 < args.size() && (args[i] == "-b" || args[i] == "-p")) {
        if (args[i] == "-b")
            bindAddress = args[i + 1];
        else
            port = std::atoi(args[i + 1].c_str());
        i += 2;
    }
    if (i == args.size() || port <= 0 || port > 65535)
        return Usage();

    Peer peer;
    if (!peer.Bind(bindAddress, port))
        return 1;

    auto need = [&](std::size_t n) { return i + n < args.size(); };
    while (i < args.size()) {
        const std::string& step = args[i];
        bool ok = false;
        std::string what = step;
        if (step == "send" && need(2)) {
            const auto bytes = Unescape(args[i + 2]);
            if (!bytes)
                return Usage();
            ok = peer.Send(args[i + 1], *bytes);
            what += " " + args[i + 1] + " " + Escape(*bytes);
            i += 3;
        } else if (step == "sendfile" && need(2)) {
            std::ifstream file(args[i + 2], std::ios::binary);
            const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            ok = file.good() || file.eof() ? peer.Send(args[i + 1], bytes) : false;
            what += " " + args[i + 1] + " " + args[i + 2] + " (" + std::to_string(bytes.size()) + " bytes)";
            i += 3;
        } else if ((step == "flood" && need(4)) || (step == "floodmix" && need(5))) {
            const long count = std::atol(args[i + 2].c_str());
            const auto seconds = Seconds(args[i + 3]);
            const std::size_t kinds = step == "flood" ? 1 : 2;
            std::vector<Bytes> patterns;
            for (std::size_t k = 0; k < kinds; ++k) {
                const auto bytes = Unescape(args[i + 4 + k]);
                if (!bytes)
                    return Usage();
                patterns.push_back(*bytes);
            }
            if (count <= 0 || !seconds)
                return Usage();
            ok = peer.Flood(args[i + 1], count, *seconds, patterns);
            i += 4 + kinds;
        } else if ((step == "expect" || step == "absent") && need(2)) {
            const auto seconds = Seconds(args[i + 1]);
            const auto bytes = Unescape(args[i + 2]);
            if (!seconds || !bytes)
                return Usage();
            if (step == "expect") {
                ok = peer.Wait(*seconds, *bytes);
            } else {
                ok = !peer.InBacklog(*bytes) && !peer.Wait(*seconds, *bytes);
            }
            what += " " + args[i + 1] + " " + Escape(*bytes);
            i += 3;
        } else if (step == "relay" && need(4)) {
            const auto seconds = Seconds(args[i + 1]);
            const int percent = std::atoi(args[i + 2].c_str());
            if (!seconds || percent < 0 || percent > 100)
                return Usage();
            ok = peer.Relay(*seconds, percent, args[i + 3], args[i + 4]);
            what += " " + args[i + 1] + " " + args[i + 2] + " " + args[i + 3] + " " + args[i + 4];
            i += 5;
        } else if ((step == "collect" || step == "sleep") && need(1)) {
            const auto seconds = Seconds(args[i + 1]);
            if (!seconds)
                return Usage();
            if (step == "collect")
                peer.Wait(*seconds, std::nullopt);
            else
                usleep(static_cast<useconds_t>(*seconds * 1e6));
            ok = true;
            i += 2;
        } else {
            return Usage();
        }
        std::printf("%s %s\n", ok ? "ok" : "FAIL", what.c_str());
        if (!ok)
            return 1;
    }
    return 0;
}
