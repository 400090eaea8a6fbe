#include "platform/directoryprovider.h"

#include "network/netbrowser.h"
#include "text/cp932.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QtGlobal>
#include <algorithm>
#include <utility>

#include <unistd.h>

namespace varnel {

namespace {

// A lead byte of a code page 932 double-byte character.
bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

unsigned char FoldAscii(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b - 'A' + 'a') : b;
}

// Control bytes other than blanks have no place in a text line: the file is not text there.
bool HasControlBytes(const QByteArray& line) {
    for (const char c : line) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && b != '\t' && b != '\r' && b != '\v' && b != '\f') || b == 0x7F)
            return true;
    }
    return false;
}

} // namespace

QString DirectoryProvider::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kobu/network.txt");
}

QByteArray DirectoryProvider::SystemHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return QByteArray(name);
}

DirectoryProvider::DirectoryProvider(HostAddresses& addresses, QByteArray workgroupSetting, QString path,
                                     QByteArray hostName, Discovery* discovery)
    : m_addresses(addresses), m_setting(std::move(workgroupSetting)), m_path(std::move(path)),
      m_hostName(std::move(hostName)), m_discovery(discovery) {
    // Discovery announces this machine as soon as its endpoint opens, before the first listing.
    QList<Problem> quiet;
    m_ownWorkgroup = WorkgroupFrom(ParseDirectoryFile(m_path, quiet));
    if (m_discovery)
        m_discovery->SetWorkgroup(m_ownWorkgroup);
}

// Orders names as SameName matches them: ASCII letters without regard to case, double-byte
// characters by their bytes; names that match compare equal.
int DirectoryProvider::NameOrder(const QByteArray& a, const QByteArray& b) {
    bool trail = false;
    for (qsizetype k = 0; k < a.size() && k < b.size(); ++k) {
        const auto x = static_cast<unsigned char>(a[k]);
        const auto y = static_cast<unsigned char>(b[k]);
        const bool exact = trail || IsLeadByte(x);
        trail = exact && !trail;
        const int cx = exact ? x : FoldAscii(x);
        const int cy = exact ? y : FoldAscii(y);
        if (cx != cy)
            return cx < cy ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool DirectoryProvider::SameName(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    bool trail = false;
    for (qsizetype k = 0; k < a.size(); ++k) {
        const auto x = static_cast<unsigned char>(a[k]);
        const auto y = static_cast<unsigned char>(b[k]);
        if (trail || IsLeadByte(x)) {
            if (x != y)
                return false;
            trail = !trail;
            continue;
        }
        if (FoldAscii(x) != FoldAscii(y))
            return false;
    }
    return true;
}

QList<DirectoryProvider::Machine> DirectoryProvider::ReadDirectoryFile(const QString& path,
                                                                       QList<Problem>* problems) {
    QList<Problem> found;
    const QList<Machine> machines = ParseDirectoryFile(path, found);
    if (problems)
        *problems = found;
    return machines;
}

QList<DirectoryProvider::Machine> DirectoryProvider::ParseDirectoryFile(const QString& path,
                                                                        QList<Problem>& problems) {
    QList<Machine> machines;
    QFile file(path);
    if (!file.exists())
        return machines; // the file is optional
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("%s: cannot be read: %s", qPrintable(path), qPrintable(file.errorString()));
        return machines;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const auto skip = [&](Problem::Reason reason) { problems.append({n + 1, reason, lines[n]}); };
        QByteArray line = lines[n];
        const qsizetype comment = line.indexOf('#');
        if (comment >= 0)
            line.truncate(comment);
        if (HasControlBytes(line)) {
            skip(Problem::Binary);
            continue;
        }
        line = line.simplified();
        if (line.isEmpty())
            continue;
        // The file is usually written in UTF-8 by a Linux editor, while names travel as CP932: a
        // UTF-8 line is converted; a line that is not UTF-8 is taken as CP932 bytes as it stands.
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(line);
        if (!utf8.hasError()) {
            QByteArray bytes;
            if (!cp932::Encode(text, bytes)) {
                skip(Problem::Unencodable);
                continue;
            }
            line = bytes;
        } else if (cp932::Decode(line).contains(QChar::ReplacementCharacter)) {
            skip(Problem::Binary);
            continue;
        }
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 2 && fields.size() != 3) {
            skip(Problem::Fields);
            continue;
        }
        Machine machine{fields[0], fields[1], {}};
        // Cut short, a name could name another machine, and mail would go there.
        if (machine.workgroup.size() > NetBrowser::kMaxName || machine.host.size() > NetBrowser::kMaxName) {
            skip(Problem::TooLong);
            continue;
        }
        if (fields.size() == 3 && (!machine.address.setAddress(QString::fromLatin1(fields[2])) ||
                                   !IsMachineAddress(machine.address))) {
            skip(Problem::Address);
            continue;
        }
        machines.append(machine);
    }
    return machines;
}

QByteArray DirectoryProvider::WorkgroupFrom(const QList<Machine>& listed) const {
    if (!m_setting.isEmpty())
        return m_setting;
    for (const Machine& machine : listed) {
        if (SameName(machine.host, m_hostName))
            return machine.workgroup;
    }
    return DefaultWorkgroup();
}

void DirectoryProvider::Add(const Machine& machine) {
    if (machine.workgroup.isEmpty() || machine.host.isEmpty())
        return;
    m_addresses.Name(machine.host);
    if (!machine.address.isNull())
        m_addresses.Learn(machine.host, machine.address);

    ListedGroup* group = nullptr;
    for (ListedGroup& g : m_groups) {
        if (SameName(g.name, machine.workgroup)) {
            group = &g;
            break;
        }
    }
    if (!group) {
        m_groups.append({machine.workgroup, {}});
        group = &m_groups.back();
    }
    for (const QByteArray& host : group->hosts) {
        if (SameName(host, machine.host))
            return;
    }
    group->hosts.append(machine.host);
}

// However long the listing, this machine stays within the tables, under its own workgroup.
void DirectoryProvider::KeepThisMachine() {
    for (qsizetype g = 0; g < m_groups.size(); ++g) {
        if (!SameName(m_groups[g].name, m_ownWorkgroup))
            continue;
        const QList<QByteArray>& hosts = m_groups[g].hosts;
        for (qsizetype h = 0; h < hosts.size(); ++h) {
            if (SameName(hosts[h], m_hostName)) {
                KeepWithinTables(m_groups, ProviderName(), g, h);
                return;
            }
        }
        return;
    }
}

bool DirectoryProvider::ListGroups(QList<NetResource>& out) {
    out.clear();
    m_addresses.Clear();
    m_groups.clear();
    const bool first = !m_listed;
    m_listed = true;

    QList<Machine> discovered = m_discovery ? m_discovery->Found(first) : QList<Machine>{};
    // Discovery reports in the order its answers happened to come; the listing is the same from run
    // to run: workgroups, then the machines of each, by name.
    std::stable_sort(discovered.begin(), discovered.end(), [](const Machine& a, const Machine& b) {
        const int group = NameOrder(a.workgroup, b.workgroup);
        return group != 0 ? group < 0 : NameOrder(a.host, b.host) < 0;
    });
    for (const Machine& machine : discovered)
        RememberLive(machine.host);
    QList<Problem> problems;
    const QList<Machine> listed = ReadDirectoryFile(m_path, &problems);
    if (first)
        m_notice = {m_path, problems};
    const QByteArray workgroup = WorkgroupFrom(listed);
    if (workgroup != m_ownWorkgroup) {
        m_ownWorkgroup = workgroup;
        if (m_discovery)
            m_discovery->SetWorkgroup(workgroup);
    }

    for (const Machine& machine : discovered)
        Add(machine);
    for (const Machine& machine : listed)
        Add(machine);
    // Last, so that a lone copy still finds itself, and never twice when a source lists it.
    Add({m_ownWorkgroup, m_hostName, {}});
    KeepThisMachine();
    // This machine is always reachable over loopback, whether or not the resolver knows its name.
    if (m_addresses.Lookup(m_hostName).isEmpty())
        m_addresses.Learn(m_hostName, QHostAddress(QHostAddress::LocalHost));

    for (const ListedGroup& group : m_groups)
        out.append({group.name, ProviderName(), NetResource::Container});
    return true;
}

bool DirectoryProvider::ListHosts(const NetResource& group, QList<NetResource>& out) {
    out.clear();
    for (const ListedGroup& g : m_groups) {
        if (!SameName(g.name, group.remoteName))
            continue;
        for (const QByteArray& host : g.hosts)
            out.append({QByteArrayLiteral("\\\\") + host, ProviderName(), NetResource::Connectable});
        return true;
    }
    return false;
}

SourceNotice DirectoryProvider::TakeNotice() {
    return std::exchange(m_notice, SourceNotice());
}

void DirectoryProvider::RememberLive(const QByteArray& host) {
    for (const QByteArray& seen : std::as_const(m_seenLive))
        if (SameName(seen, host))
            return;
    m_seenLive.append(host);
}

Presence DirectoryProvider::PresenceOf(QByteArrayView host) {
    if (!m_discovery)
        return Presence::Unknown;
    const QByteArray name = host.toByteArray();
    for (const Machine& machine : m_discovery->Found(false)) {
        if (SameName(machine.host, name)) {
            RememberLive(machine.host);
            return Presence::Running;
        }
    }
    for (const QByteArray& seen : std::as_const(m_seenLive))
        if (SameName(seen, name))
            return Presence::NotRunning;
    return Presence::Unknown;
}

} // namespace varnel
