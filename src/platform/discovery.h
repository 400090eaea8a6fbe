#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>

namespace varnel {

// A machine as a source of the network listing gives it. Names are CP932 bytes, as the tables hold
// them.
struct ListedMachine {
    QByteArray workgroup;
    QByteArray host;
    QHostAddress address; // null when the source gives none
};

// Live discovery of the machines that run this program: each copy announces itself while its
// endpoint is open, and every copy keeps a picture of the others. Safe to call from the window
// thread: nothing here waits for the discovery daemon, except Found with settle.
class Discovery {
public:
    virtual ~Discovery() = default;

    // The machines known now, in the order first seen. With settle, waits until discovery has
    // settled after start-up (or for at most a couple of seconds); without, returns at once.
    virtual QList<ListedMachine> Found(bool settle) = 0;
    // The addresses discovery knows for a machine now; empty when it knows none.
    virtual QList<QHostAddress> AddressesOf(const QByteArray& host) const = 0;

    // Whether this machine is announced (while its endpoint is open), and under which workgroup.
    virtual void SetAnnounced(bool announced) = 0;
    virtual void SetWorkgroup(const QByteArray& workgroup) = 0;
    // The public key this machine announces beside its workgroup, and the one a machine announces
    // now (empty when none).
    virtual void SetPublicKey(const QByteArray& key) { Q_UNUSED(key); }
    virtual QByteArray PublicKeyOf(const QByteArray& host) const {
        Q_UNUSED(host);
        return {};
    }
};

} // namespace varnel
