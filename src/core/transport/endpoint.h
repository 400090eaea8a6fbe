#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <chrono>

namespace varnel {

// How the datagram last read arrived: in clear, or sealed and signed under the key pinned for its
// sender, or under another key (the sender's key changed, or someone else's claims its name).
enum class Seal { Plain, Pinned, Unpinned };

// The local datagram endpoint of this machine and the way to reach the endpoint of a named machine.
// Implemented by the platform (UDP) and by the in-memory test network.
class Endpoint {
public:
    virtual ~Endpoint() = default;

    // Takes the endpoint. False when it cannot be had (another copy owns it on this machine).
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // Size of the next waiting datagram (0 for an empty one), or -1 when none waits or the endpoint
    // is closed.
    virtual qint64 PendingSize() = 0;
    // Reads exactly the next waiting datagram. False when the read fails or nothing waits.
    virtual bool ReadNext(QByteArray& datagram) = 0;
    // Whether the datagram last read came from one of this machine's own addresses.
    virtual bool LastFromThisMachine() const = 0;

    // How the datagram last read arrived, and whether the datagram last sent went sealed. Only an
    // endpoint that seals knows; every other one is plain.
    virtual Seal LastSeal() const { return Seal::Plain; }
    virtual bool LastSendSealed() const { return false; }

    // Sends one datagram to the endpoint of the named machine, now or never: false when the name is
    // not resolved yet (a lookup then starts in the background), cannot be resolved, or the datagram
    // was not handed to the system.
    virtual bool SendTo(QByteArrayView host, QByteArrayView datagram) = 0;
    // Sends one datagram as soon as the name is resolved: at once when its address is known, else
    // when the lookup in the background answers. False when the name is known not to resolve, or
    // the datagram cannot be kept until then.
    virtual bool SendWhenResolved(QByteArrayView host, QByteArrayView datagram) {
        return SendTo(host, datagram);
    }
    // Looks the named machines up in parallel and waits until all have answered, at most limit.
    virtual void Resolve(const QList<QByteArray>& hosts, std::chrono::milliseconds limit) {
        Q_UNUSED(hosts);
        Q_UNUSED(limit);
    }
};

} // namespace varnel
