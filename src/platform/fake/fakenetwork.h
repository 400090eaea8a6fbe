#pragma once

#include "transport/endpoint.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <chrono>
#include <deque>
#include <memory>

namespace varnel {

class FakeNetwork;

// One machine's endpoint on the in-memory network.
class FakeEndpoint final : public Endpoint {
public:
    FakeEndpoint(FakeNetwork& network, QByteArray name) : m_network(network), m_name(std::move(name)) {}

    bool Open() override;
    void Close() override {
        ++closes;
        m_open = false;
    }
    bool IsOpen() const override { return m_open; }
    qint64 PendingSize() override;
    bool ReadNext(QByteArray& datagram) override;
    // Whether the datagram last read was sent by this machine (under its own name).
    bool LastFromThisMachine() const override;
    bool SendTo(QByteArrayView host, QByteArrayView datagram) override;
    // Held while the name is in lookingUp, sent when AnswerLookups runs.
    bool SendWhenResolved(QByteArrayView host, QByteArrayView datagram) override;
    void Resolve(const QList<QByteArray>& hosts, std::chrono::milliseconds limit) override {
        resolved.append(hosts);
        resolveLimit = limit;
    }
    // The lookups of lookingUp answer: their held datagrams are sent.
    void AnswerLookups();

    const QByteArray& Name() const { return m_name; }
    // Puts a datagram in this endpoint's queue as if it had arrived from the network, sent by the
    // named machine (by default one that is not this machine).
    void Inject(const QByteArray& datagram, const QByteArray& from = QByteArray()) {
        m_queue.push_back({datagram, from});
    }
    qsizetype Waiting() const { return qsizetype(m_queue.size()); }
    // Reads every datagram waiting here, oldest first.
    QList<QByteArray> TakeAll() {
        QList<QByteArray> all;
        QByteArray datagram;
        while (PendingSize() >= 0 && ReadNext(datagram))
            all.append(datagram);
        return all;
    }

    bool failOpen = false;       // Open fails (another copy owns the endpoint)
    bool failSends = false;      // every send from here fails
    bool failReads = false;      // every read fails
    int readsBeforeFailure = -1; // when >= 0: that many more reads succeed, then every read fails
    QList<QByteArray> lookingUp; // names whose lookup has not answered yet: sends to them wait or fail
    QList<QByteArray> resolved;  // every name Resolve was asked for, in order
    std::chrono::milliseconds resolveLimit{0};
    int opens = 0;
    int closes = 0;

private:
    friend class FakeNetwork;
    bool IsLookingUp(QByteArrayView host) const;
    FakeNetwork& m_network;
    QByteArray m_name;
    struct Arrival {
        QByteArray bytes;
        QByteArray from;
    };
    bool m_open = false;
    std::deque<Arrival> m_queue;
    QByteArray m_lastFrom;
    QList<std::pair<QByteArray, QByteArray>> m_held; // host, datagram
};

// An in-memory network of named machines. A datagram sent to a known machine lands in its queue
// whether or not its endpoint is open (a closed endpoint loses it, as a real one would).
class FakeNetwork {
public:
    FakeEndpoint& AddHost(const QByteArray& name);
    FakeEndpoint* Host(QByteArrayView name);

    struct Datagram {
        QByteArray from;
        QByteArray to;
        QByteArray bytes; // as sent, terminating zero included
        bool delivered = false;
    };
    QList<Datagram> sent; // every datagram ever sent, in order
    // Datagrams sent to host (delivered or not).
    QList<QByteArray> SentTo(QByteArrayView host) const;

private:
    friend class FakeEndpoint;
    bool Deliver(const QByteArray& from, QByteArrayView to, QByteArrayView datagram);
    std::vector<std::unique_ptr<FakeEndpoint>> m_hosts;
};

} // namespace varnel
