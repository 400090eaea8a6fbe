#include "platform/fake/fakenetwork.h"

#include <algorithm>
#include <utility>

namespace varnel {

bool FakeEndpoint::IsLookingUp(QByteArrayView host) const {
    return std::any_of(lookingUp.begin(), lookingUp.end(),
                       [&](const QByteArray& name) { return name.compare(host, Qt::CaseInsensitive) == 0; });
}

bool FakeEndpoint::Open() {
    ++opens;
    if (failOpen || m_open)
        return false;
    m_open = true;
    m_queue.clear(); // nothing reaches an endpoint that is not there
    return true;
}

qint64 FakeEndpoint::PendingSize() {
    if (!m_open || m_queue.empty())
        return -1;
    return m_queue.front().bytes.size();
}

bool FakeEndpoint::ReadNext(QByteArray& datagram) {
    if (!m_open || m_queue.empty() || failReads || readsBeforeFailure == 0)
        return false;
    if (readsBeforeFailure > 0)
        --readsBeforeFailure;
    datagram = m_queue.front().bytes;
    m_lastFrom = m_queue.front().from;
    m_queue.pop_front();
    return true;
}

bool FakeEndpoint::LastFromThisMachine() const {
    return !m_lastFrom.isEmpty() && m_lastFrom.compare(m_name, Qt::CaseInsensitive) == 0;
}

bool FakeEndpoint::SendTo(QByteArrayView host, QByteArrayView datagram) {
    if (IsLookingUp(host))
        return false; // nothing leaves for a name not resolved yet
    if (failSends) {
        m_network.sent.append({m_name, host.toByteArray(), datagram.toByteArray(), false});
        return false;
    }
    return m_network.Deliver(m_name, host, datagram);
}

bool FakeEndpoint::SendWhenResolved(QByteArrayView host, QByteArrayView datagram) {
    if (IsLookingUp(host)) {
        m_held.append({host.toByteArray(), datagram.toByteArray()});
        return true;
    }
    return SendTo(host, datagram);
}

void FakeEndpoint::AnswerLookups() {
    lookingUp.clear();
    const auto held = std::exchange(m_held, {});
    for (const auto& [host, datagram] : held)
        SendTo(host, datagram);
}

FakeEndpoint& FakeNetwork::AddHost(const QByteArray& name) {
    m_hosts.push_back(std::make_unique<FakeEndpoint>(*this, name));
    return *m_hosts.back();
}

FakeEndpoint* FakeNetwork::Host(QByteArrayView name) {
    for (auto& host : m_hosts) {
        if (host->m_name.compare(name, Qt::CaseInsensitive) == 0)
            return host.get();
    }
    return nullptr;
}

QList<QByteArray> FakeNetwork::SentTo(QByteArrayView host) const {
    QList<QByteArray> result;
    for (const Datagram& d : sent) {
        if (d.to == host)
            result.append(d.bytes);
    }
    return result;
}

bool FakeNetwork::Deliver(const QByteArray& from, QByteArrayView to, QByteArrayView datagram) {
    FakeEndpoint* target = Host(to);
    sent.append({from, to.toByteArray(), datagram.toByteArray(), target != nullptr});
    if (!target)
        return false; // an unknown name cannot be resolved
    if (target->m_open)
        target->m_queue.push_back({datagram.toByteArray(), from});
    return true;
}

} // namespace varnel
