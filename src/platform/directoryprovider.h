#pragma once

#include "network/netprovider.h"
#include "network/tablefit.h"
#include "platform/discovery.h"
#include "platform/hostaddresses.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

namespace varnel {

// The network neighbourhood of a Linux machine, merged from its sources in this order: the machines
// that live discovery finds, the directory file written by an administrator, and this machine
// itself, added last when no source lists it yet. Discovery's workgroups and machines come in name
// order; the file's keep the order it gives; each workgroup stands where it is first seen. However long the
// listing, this machine stays within the tables.
//
// This machine's own workgroup is the "Workgroup" setting when there is one, else the workgroup under
// which the directory file first lists this machine, else WORKGROUP.
//
// Names match without regard to ASCII case, as host names do in DNS and workgroup names on the
// office network; the spelling seen first is kept. Double-byte characters (code page 932) are
// compared exactly, so their second byte is never folded.
class DirectoryProvider : public NetProvider {
public:
    using Machine = ListedMachine;

    // A line of the directory file that cannot be used.
    using Problem = UnusableLine;

    // The provider name every listing carries.
    static QByteArray ProviderName() { return QByteArrayLiteral("Varnel Network"); }
    // ~/.config/kobu/network.txt (XDG config home).
    static QString DefaultPath();
    // The name the system gives this machine.
    static QByteArray SystemHostName();
    static QByteArray DefaultWorkgroup() { return QByteArrayLiteral("WORKGROUP"); }

    // addresses receives the addresses the sources give, anew at every first-level listing.
    // workgroupSetting: the "Workgroup" setting as CP932 bytes, empty when there is none.
    // discovery: live discovery, or null for none; it is told this machine's workgroup.
    DirectoryProvider(HostAddresses& addresses, QByteArray workgroupSetting, QString path = DefaultPath(),
                      QByteArray hostName = SystemHostName(), Discovery* discovery = nullptr);

    // Reads the sources anew (the file included) and lists their workgroups. The first listing waits
    // for discovery to settle; later ones take what it knows at that moment.
    bool ListGroups(QList<NetResource>& out) override;
    // The machines of a workgroup of the last first-level listing. False for a workgroup it did not
    // list.
    bool ListHosts(const NetResource& group, QList<NetResource>& out) override;
    // The unusable lines of the directory file found by the first listing, once.
    SourceNotice TakeNotice() override;
    // Running while discovery finds the machine; not running when discovery found it earlier in
    // this run and no longer does; unknown otherwise (no discovery, or a machine it never saw, such
    // as one only the directory file names behind a router).
    Presence PresenceOf(QByteArrayView host) override;

    // This machine's workgroup as the last listing found it.
    QByteArray OwnWorkgroup() const { return m_ownWorkgroup; }

    // Reads the directory file: one machine a line, "WORKGROUP HOSTNAME [ADDRESS]", '#' starts a
    // comment. A line that cannot be used is skipped and added to problems. A missing file lists
    // nothing.
    static QList<Machine> ReadDirectoryFile(const QString& path, QList<Problem>* problems = nullptr);
    // Compares two names as the network does (see above).
    static bool SameName(const QByteArray& a, const QByteArray& b);
    // Orders two names the way SameName compares them: negative, 0 (the same name) or positive.
    static int NameOrder(const QByteArray& a, const QByteArray& b);

private:
    static QList<Machine> ParseDirectoryFile(const QString& path, QList<Problem>& problems);
    QByteArray WorkgroupFrom(const QList<Machine>& listed) const;
    void Add(const Machine& machine);
    void KeepThisMachine();
    void RememberLive(const QByteArray& host);

    HostAddresses& m_addresses;
    QByteArray m_setting;
    QString m_path;
    QByteArray m_hostName;
    Discovery* m_discovery;
    QByteArray m_ownWorkgroup;
    bool m_listed = false;
    SourceNotice m_notice;
    QList<ListedGroup> m_groups;
    QList<QByteArray> m_seenLive; // every machine discovery has listed in this run
};

} // namespace varnel
