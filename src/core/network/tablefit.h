#pragma once

#include <QByteArray>
#include <QList>

namespace varnel {

// One workgroup of a listing with the names of its machines (without the two backslashes), in
// listing order.
struct ListedGroup {
    QByteArray name;
    QList<QByteArray> hosts;
};

// A listing longer than the tables of NetBrowser hold loses whatever comes last, which may be this
// machine: then host name detection finds no name and mail goes out without a sender. This cuts such
// a listing so that the machine groups[group].hosts[host] stays within the tables: it takes the place
// of the last entries that would have fitted before it. A listing in which that machine fits anyway
// is left as it is. provider is the provider name every workgroup record carries.
void KeepWithinTables(QList<ListedGroup>& groups, const QByteArray& provider, qsizetype group,
                      qsizetype host);

} // namespace varnel
