#include "platform/directoryprovider.h"

#include "text/cp932.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QtGlobal>

#include <unistd.h>

namespace varnel {

namespace {

QByteArray DefaultWorkgroup() {
    return QByteArrayLiteral("WORKGROUP");
}

// A lead byte of a code page 932 double-byte character.
bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

unsigned char FoldAscii(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b - 'A' + 'a') : b;
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

DirectoryProvider::DirectoryProvider(HostAddresses& addresses, QByteArray workgroup, QString path,
                                     QByteArray hostName)
    : m_addresses(addresses), m_workgroup(workgroup.isEmpty() ? DefaultWorkgroup() : std::move(workgroup)),
      m_path(std::move(path)), m_hostName(std::move(hostName)) {}

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

QList<DirectoryProvider::Machine> DirectoryProvider::ReadDirectoryFile(const QString& path) {
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
        QByteArray line = lines[n];
        const qsizetype comment = line.indexOf('#');
        if (comment >= 0)
            line.truncate(comment);
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
                qWarning("%s:%lld: skipped, a name has a character without a Shift-JIS form",
                         qPrintable(path), static_cast<long long>(n + 1));
                continue;
            }
            line = bytes;
        }
        const QList<QByteArray> fields = line.split(' ');
        Machine machine;
        bool good = fields.size() == 2 || fields.size() == 3;
        if (good) {
            machine.workgroup = fields[0];
            machine.host = fields[1];
            if (fields.size() == 3)
                good = machine.address.setAddress(QString::fromLatin1(fields[2]));
        }
        if (!good) {
            qWarning("%s:%lld: skipped, expected WORKGROUP HOSTNAME [ADDRESS]", qPrintable(path),
                     static_cast<long long>(n + 1));
            continue;
        }
        machines.append(machine);
    }
    return machines;
}

void DirectoryProvider::Add(const Machine& machine) {
    if (machine.workgroup.isEmpty() || machine.host.isEmpty())
        return;
    if (!machine.address.isNull())
        m_addresses.Learn(machine.host, machine.address);

    Group* group = nullptr;
    for (Group& g : m_groups) {
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

bool DirectoryProvider::ListGroups(QList<NetResource>& out) {
    out.clear();
    m_addresses.Clear();
    m_groups.clear();
    const QList<Machine> discovered = Discovered();
    for (const Machine& machine : discovered)
        Add(machine);
    const QList<Machine> listed = ReadDirectoryFile(m_path);
    for (const Machine& machine : listed)
        Add(machine);
    // Last, so that a lone copy still finds itself, and never twice when a source lists it.
    Add({m_workgroup, m_hostName, {}});
    // This machine is always reachable over loopback, whether or not the resolver knows its name.
    if (m_addresses.Lookup(m_hostName).isEmpty())
        m_addresses.Learn(m_hostName, QHostAddress(QHostAddress::LocalHost));

    for (const Group& group : m_groups)
        out.append({group.name, ProviderName(), NetResource::Container});
    return true;
}

bool DirectoryProvider::ListHosts(const NetResource& group, QList<NetResource>& out) {
    out.clear();
    for (const Group& g : m_groups) {
        if (!SameName(g.name, group.remoteName))
            continue;
        for (const QByteArray& host : g.hosts)
            out.append({QByteArrayLiteral("\\\\") + host, ProviderName(), NetResource::Connectable});
        return true;
    }
    return false;
}

} // namespace varnel
