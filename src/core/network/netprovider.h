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

// A line of a directory file that could not be used, and why.
struct UnusableLine {
    enum Reason { Fields, Address, TooLong, Binary, Unencodable };
    qsizetype number = 0; // counted from 1
    Reason reason = Fields;
    QByteArray text; // the line as the file holds it
};

// The lines of a source file the listings could not use; no lines: nothing to tell.
struct SourceNotice {
    QString path;
    QList<UnusableLine> lines;
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
    // What the person should learn about the sources of the listings so far (the lines of a file
    // that could not be used), given once; without lines when there is nothing to tell.
    virtual SourceNotice TakeNotice() { return {}; }
    // What the provider knows of the program on that machine now.
    virtual Presence PresenceOf([[maybe_unused]] QByteArrayView host) { return Presence::Unknown; }
};

} // namespace varnel
