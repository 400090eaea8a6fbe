#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace varnel {

// One entry of a network listing, as the two-level provider reports it.
struct NetResource {
    enum Usage : int { Connectable = 1, Container = 2 };
    QByteArray remoteName; // a workgroup's name, or "\\HOST" for a machine
    QByteArray provider;
    int usage = 0;
};

// Whether a machine's copy of the program is known to run: live discovery knows it, a listing from a
// file does not.
enum class Presence { Unknown, Running, NotRunning };

// The network neighbourhood in two levels: the workgroups, and the machines of one workgroup.
class NetProvider {
public:
    virtual ~NetProvider() = default;
    // First level. False when the network cannot be opened for listing.
    virtual bool ListGroups(QList<NetResource>& out) = 0;
    // Second level: the machines of one workgroup as returned by ListGroups. False when that
    // workgroup cannot be opened.
    virtual bool ListHosts(const NetResource& group, QList<NetResource>& out) = 0;
    // What the person should learn about the sources of the listings so far (lines of a file that
    // could not be used, say), given once; empty when there is nothing to tell.
    virtual QString TakeNotice() { return {}; }
    // What the provider knows of the program on that machine now.
    virtual Presence PresenceOf([[maybe_unused]] QByteArrayView host) { return Presence::Unknown; }
};

} // namespace varnel
