#include "network/tablefit.h"

#include "network/netbrowser.h"

namespace varnel {

namespace {

NetResource GroupRecord(const QByteArray& name, const QByteArray& provider) {
    return {name, provider, NetResource::Container};
}

NetResource HostRecord(const QByteArray& host, const QByteArray& provider) {
    return {QByteArrayLiteral("\\\\") + host, provider, NetResource::Connectable};
}

// Both levels follow the browser's rules: the records of a level are taken in order while they fit
// the listing buffer; then the count limit applies to the entries the browser keeps (names that are
// too long are read but never kept). Until the kept machine is reached, room for it is held back in
// the buffer of its level and in the count; whatever no longer fits besides it is dropped.

// First level: the workgroups. Returns the new index of the kept workgroup.
qsizetype FitGroups(QList<ListedGroup>& groups, const QByteArray& provider, qsizetype kept) {
    const qsizetype keptCost = NetBrowser::RecordCost(GroupRecord(groups[kept].name, provider));
    qsizetype room = NetBrowser::kListingBuffer;
    int stored = 0;
    bool full = false;
    QList<ListedGroup> out;
    qsizetype newIndex = -1;
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const qsizetype cost = NetBrowser::RecordCost(GroupRecord(groups[i].name, provider));
        const bool counts = groups[i].name.size() <= NetBrowser::kMaxName;
        if (i == kept) {
            newIndex = out.size();
            out.append(std::move(groups[i]));
            room -= cost;
            stored += counts ? 1 : 0;
            continue;
        }
        const bool before = i < kept;
        if (full || cost > room - (before ? keptCost : 0)) {
            full = true; // the browser fetches nothing after the first record that does not fit
            continue;
        }
        if (counts && stored + (before ? 1 : 0) >= NetBrowser::kMaxGroups)
            continue;
        out.append(std::move(groups[i]));
        room -= cost;
        stored += counts ? 1 : 0;
    }
    groups = std::move(out);
    return newIndex;
}

// Second level: the machines of each workgroup, counted across the workgroups in their order.
void FitHosts(QList<ListedGroup>& groups, const QByteArray& provider, qsizetype keptGroup, qsizetype kept) {
    const qsizetype keptCost = NetBrowser::RecordCost(HostRecord(groups[keptGroup].hosts[kept], provider));
    int stored = 0;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        if (groups[g].name.size() > NetBrowser::kMaxName)
            continue; // not a workgroup for the browser: its machines are never read
        qsizetype room = NetBrowser::kListingBuffer;
        bool full = false;
        QList<QByteArray> out;
        const QList<QByteArray>& hosts = groups[g].hosts;
        for (qsizetype h = 0; h < hosts.size(); ++h) {
            const qsizetype cost = NetBrowser::RecordCost(HostRecord(hosts[h], provider));
            const bool counts = hosts[h].size() <= NetBrowser::kMaxName;
            if (g == keptGroup && h == kept) {
                out.append(hosts[h]);
                room -= cost;
                stored += 1;
                continue;
            }
            const bool before = g < keptGroup || (g == keptGroup && h < kept);
            const qsizetype held = (before && g == keptGroup) ? keptCost : 0;
            if (full || cost > room - held) {
                full = true;
                continue;
            }
            if (stored + (before ? 1 : 0) >= NetBrowser::kMaxHosts)
                continue;
            out.append(hosts[h]);
            room -= cost;
            stored += counts ? 1 : 0;
        }
        groups[g].hosts = std::move(out);
    }
}

} // namespace

void KeepWithinTables(QList<ListedGroup>& groups, const QByteArray& provider, qsizetype group,
                      qsizetype host) {
    if (group < 0 || group >= groups.size() || host < 0 || host >= groups[group].hosts.size())
        return;
    // A name the tables cannot hold cannot be kept in them.
    if (groups[group].name.size() > NetBrowser::kMaxName || provider.size() > NetBrowser::kMaxName ||
        groups[group].hosts[host].size() > NetBrowser::kMaxName)
        return;
    const qsizetype keptGroup = FitGroups(groups, provider, group);
    FitHosts(groups, provider, keptGroup, host);
}

} // namespace varnel
