#pragma once

#include "network/netprovider.h"
#include "platform/hostaddresses.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

namespace varnel {

// The network neighbourhood of a Linux machine, merged from its sources in this order: machines
// found live (a subclass's Discovered(), none here), the directory file written by an
// administrator, and this machine itself, added last when no source lists it yet. Workgroups and
// the machines of each keep the order first seen.
//
// Names match without regard to ASCII case, as host names do in DNS and workgroup names on the
// office network; the spelling seen first is kept. Double-byte characters (code page 932) are
// compared exactly, so their second byte is never folded.
class DirectoryProvider : public NetProvider {
public:
    struct Machine {
        QByteArray workgroup;
        QByteArray host;
        QHostAddress address; // null when the source gives none
    };

    // The provider name every listing carries.
    static QByteArray ProviderName() { return QByteArrayLiteral("Varnel Network"); }
    // ~/.config/kobu/network.txt (XDG config home).
    static QString DefaultPath();
    // The name the system gives this machine.
    static QByteArray SystemHostName();

    // addresses receives the addresses the sources give, anew at every first-level listing.
    DirectoryProvider(HostAddresses& addresses, QByteArray workgroup, QString path = DefaultPath(),
                      QByteArray hostName = SystemHostName());

    // Reads the sources anew (the file included) and lists their workgroups.
    bool ListGroups(QList<NetResource>& out) override;
    // The machines of a workgroup of the last first-level listing. False for a workgroup it did not
    // list.
    bool ListHosts(const NetResource& group, QList<NetResource>& out) override;

    // Reads the directory file: one machine a line, "WORKGROUP HOSTNAME [ADDRESS]", '#' starts a
    // comment. A malformed line is skipped with a warning naming the file and line. A missing file
    // lists nothing.
    static QList<Machine> ReadDirectoryFile(const QString& path);
    // Compares two names as the network does (see above).
    static bool SameName(const QByteArray& a, const QByteArray& b);

protected:
    // Machines found by live discovery, listed before the directory file.
    virtual QList<Machine> Discovered() { return {}; }

private:
    struct Group {
        QByteArray name;
        QList<QByteArray> hosts;
    };
    void Add(const Machine& machine);

    HostAddresses& m_addresses;
    QByteArray m_workgroup;
    QString m_path;
    QByteArray m_hostName;
    QList<Group> m_groups;
};

} // namespace varnel
