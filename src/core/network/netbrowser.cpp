#include "network/netbrowser.h"

#include "transport/textfields.h"

#include <QtGlobal>

namespace varnel {

namespace {

// The fixed part of a resource record in a listing buffer.
constexpr qsizetype kRecordSize = 32;

QByteArray Text(const QByteArray& bytes) {
    return TextFields::UpToZero(bytes).toByteArray();
}

// The leading records of a listing that fit in one listing buffer.
qsizetype FittingRecords(const QList<NetResource>& records) {
    qsizetype used = 0;
    qsizetype n = 0;
    for (const NetResource& r : records) {
        used += NetBrowser::RecordCost(r);
        if (used > NetBrowser::kListingBuffer)
            break;
        ++n;
    }
    return n;
}

// Names come from the network or from a file: show them on stderr without control bytes.
QByteArray Printable(const QByteArray& name) {
    QByteArray out;
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out.append(c);
        } else {
            out.append("\\x");
            out.append(QByteArray::number(b, 16).rightJustified(2, '0'));
        }
    }
    return out;
}

// An index into a table of count entries counted from 1.
bool InTable(int i, int count) {
    return i >= 1 && i <= count && i < NetBrowser::kTableSize;
}

} // namespace

NetBrowser::NetBrowser(NetProvider& provider) : m_provider(provider) {}

// A record costs the fixed part plus its texts with their zero bytes (no local name, no comment).
qsizetype NetBrowser::RecordCost(const NetResource& record) {
    return kRecordSize + Text(record.remoteName).size() + 1 + Text(record.provider).size() + 1;
}

int NetBrowser::Enumerate() {
    m_groupCount = 0;
    m_hostCount = 0;
    m_networkFound = false;
    for (int i = 0; i < kTableSize; ++i) {
        m_hostNames[i].clear();
        m_groupNames[i].clear();
        m_groupProviders[i].clear();
        m_hostGroups[i] = 0;
    }

    EnumerateGroups();

    for (int i = 1; i <= m_groupCount; ++i) {
        const NetResource group{m_groupNames[i], m_groupProviders[i], NetResource::Container};
        QList<NetResource> records;
        // A workgroup that cannot be opened, or that lists no machine, has no hosts; the workgroups
        // after it are still read.
        if (!m_provider.ListHosts(group, records))
            continue;
        const qsizetype fitting = FittingRecords(records);
        for (qsizetype r = 0; r < fitting; ++r) {
            if (m_hostCount >= kMaxHosts)
                break;
            const QByteArray remote = Text(records[r].remoteName);
            // The machine's network name opens with two backslashes.
            QByteArray host;
            TextFields::CopyRange(host, remote, 2, int(remote.size()) - 1);
            if (host.size() > kMaxName) {
                // Cut short it could name another machine, and mail would go there.
                qWarning("network: host name too long, skipped: %s", Printable(host).constData());
                continue;
            }
            ++m_hostCount;
            m_hostNames[m_hostCount] = host;
            m_hostGroups[m_hostCount] = i;
        }
    }

    m_networkFound = m_hostCount != 0;
    return m_hostCount;
}

int NetBrowser::EnumerateGroups() {
    QList<NetResource> records;
    int n = 0;
    if (m_provider.ListGroups(records)) {
        const qsizetype fitting = FittingRecords(records);
        qsizetype skipped = 0;
        for (qsizetype r = 0; r < fitting; ++r) {
            const NetResource& record = records[r];
            // Only a pure container is a workgroup; a connectable container is something else.
            if (record.usage != NetResource::Container)
                continue;
            const QByteArray name = Text(record.remoteName);
            const QByteArray provider = Text(record.provider);
            if (name.size() > kMaxName || provider.size() > kMaxName) {
                // The workgroup is opened again by these texts: a cut one would open nothing or
                // something else.
                qWarning("network: workgroup name or provider too long, skipped: %s (%s)",
                         Printable(name).constData(), Printable(provider).constData());
                continue;
            }
            if (n >= kMaxGroups) {
                ++skipped;
                continue;
            }
            ++n;
            m_groupNames[n] = name;
            m_groupProviders[n] = provider;
        }
        if (skipped > 0)
            qWarning("network: more than %d workgroups, %lld skipped", kMaxGroups,
                     static_cast<long long>(skipped));
    }
    m_groupCount = n;
    return n;
}

QByteArray NetBrowser::HostName(int i) const {
    return InTable(i, m_hostCount) ? m_hostNames[i] : QByteArray();
}

QByteArray NetBrowser::GroupName(int i) const {
    return InTable(i, m_groupCount) ? m_groupNames[i] : QByteArray();
}

int NetBrowser::GroupOfHost(int i) const {
    return InTable(i, m_hostCount) ? m_hostGroups[i] : 0;
}

bool NetBrowser::GetHostName(QByteArray& dst, int i) const {
    dst.clear();
    if (!InTable(i, m_hostCount))
        return false;
    dst = m_hostNames[i];
    return true;
}

bool NetBrowser::GetHostGroupName(QByteArray& dst, int i) const {
    dst.clear();
    if (!InTable(i, m_hostCount) || !InTable(m_hostGroups[i], m_groupCount))
        return false;
    dst = m_groupNames[m_hostGroups[i]];
    return true;
}

bool NetBrowser::GetHostGroupProvider(QByteArray& dst, int i) const {
    dst.clear();
    if (!InTable(i, m_hostCount) || !InTable(m_hostGroups[i], m_groupCount))
        return false;
    dst = m_groupProviders[m_hostGroups[i]];
    return true;
}

bool NetBrowser::GetGroupName(QByteArray& dst, int i) const {
    dst.clear();
    if (!InTable(i, m_groupCount))
        return false;
    dst = m_groupNames[i];
    return true;
}

bool NetBrowser::GetGroupProvider(QByteArray& dst, int i) const {
    dst.clear();
    if (!InTable(i, m_groupCount))
        return false;
    dst = m_groupProviders[i];
    return true;
}

} // namespace varnel
