#include "platform/avahidiscovery.h"

#include <QHash>

#include "platform/directoryprovider.h"
#include "platform/udpendpoint.h"
#include "text/cp932.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>
#include <avahi-common/timeval.h>

#include <QtGlobal>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

#include <sys/eventfd.h>
#include <unistd.h>

namespace varnel {

namespace {

// A daemon that is not there is looked for again this often (one that is there but restarts is
// noticed at once through the system bus).
constexpr unsigned kRetryMs = 3000;

QByteArray FromNetwork(const char* utf8) {
    QByteArray bytes;
    if (!utf8 || !cp932::Encode(QString::fromUtf8(utf8), bytes))
        return {};
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            return {};
    }
    return bytes;
}

std::string ToNetwork(const QByteArray& cp932) {
    return cp932::Decode(cp932).toStdString();
}

} // namespace

// Everything with an Avahi name runs on the poll thread, inside the callbacks of the threaded poll
// (which holds its lock around them). What the window thread sees or asks for lives under mutex.
struct AvahiDiscovery::Impl {
    // Found by the browser: one service instance on one interface and protocol.
    using Key = std::tuple<AvahiIfIndex, AvahiProtocol, std::string, std::string>;
    struct Entry {
        AvahiServiceResolver* resolver = nullptr;
        quint64 order = 0;
        bool pending = true; // not yet resolved, nor failed
        bool resolved = false;
        ListedMachine machine;
        QByteArray publicKey; // what its TXT "key" entry gives, empty without one
    };
    enum class Link { Starting, Absent, Present };

    explicit Impl(const QByteArray& hostName) : serviceName(ToNetwork(hostName)) {}

    // ---- poll thread only -----------------------------------------------------------------------
    AvahiThreadedPoll* poll = nullptr;
    AvahiWatch* wake = nullptr;
    AvahiTimeout* retry = nullptr;
    AvahiClient* client = nullptr;    // the client object, connected or not
    AvahiClient* connected = nullptr; // the same once the daemon runs; null otherwise
    AvahiServiceBrowser* browser = nullptr;
    AvahiEntryGroup* group = nullptr;
    std::map<Key, Entry> entries;
    quint64 nextOrder = 0;
    bool allForNow = false;
    bool registered = false;
    bool established = false; // the daemon holds serviceName for this copy on the network
    QByteArray registeredWorkgroup;
    QByteArray registeredKey;
    bool toldAbsent = false;
    std::string serviceName; // this machine's host name, or the alternative Avahi proposed

    // ---- shared ---------------------------------------------------------------------------------
    mutable std::mutex mutex;
    std::condition_variable changed;
    int wakeFd = -1;
    Link link = Link::Starting;
    bool settled = false;
    bool firstWaitDone = false;
    QList<ListedMachine> snapshot;
    QHash<QByteArray, QByteArray> snapshotKeys; // lower-case host name -> announced key
    bool wantAnnounced = false;
    QByteArray wantWorkgroup;
    QByteArray wantKey;

    void SetLink(Link value) {
        const std::lock_guard<std::mutex> lock(mutex);
        link = value;
        changed.notify_all();
    }

    // Whether a service found is this copy's own announcement, under the name the daemon holds for it.
    bool IsOwn(const Key& key) const { return established && std::get<2>(key) == serviceName; }

    void Publish() {
        std::map<quint64, ListedMachine> ordered;
        QHash<QByteArray, QByteArray> publicKeys;
        for (const auto& [key, entry] : entries) {
            if (!entry.resolved)
                continue;
            ListedMachine machine = entry.machine;
            QByteArray publicKey = entry.publicKey;
            // The name is this copy's: what the daemon may still have cached under it (the service
            // that held the name before a conflict went our way) is stale, so this machine is
            // listed as what it announces.
            if (IsOwn(key)) {
                machine.workgroup = registeredWorkgroup;
                machine.address = QHostAddress(QHostAddress::LocalHost);
                publicKey = registeredKey;
            }
            if (!publicKey.isEmpty())
                publicKeys.insert(machine.host.toLower(), publicKey);
            ordered.emplace(entry.order, std::move(machine));
        }
        QList<ListedMachine> machines;
        for (const auto& [order, machine] : ordered)
            machines.append(machine);
        bool nowSettled = allForNow;
        for (const auto& [key, entry] : entries)
            nowSettled = nowSettled && !entry.pending;
        const std::lock_guard<std::mutex> lock(mutex);
        snapshot = std::move(machines);
        snapshotKeys = std::move(publicKeys);
        settled = nowSettled;
        changed.notify_all();
    }

    // Frees the client with everything it owns; the picture empties.
    void Drop() {
        if (client)
            avahi_client_free(client); // frees its browser, resolvers and entry group too
        client = connected = nullptr;
        browser = nullptr;
        group = nullptr;
        registered = established = false;
        entries.clear();
        allForNow = false;
        Publish();
    }

    void ScheduleRetry(unsigned ms) {
        timeval when{};
        avahi_elapse_time(&when, ms, 0);
        avahi_threaded_poll_get(poll)->timeout_update(retry, &when);
    }

    void Connect() {
        Drop();
        int error = 0;
        client =
            avahi_client_new(avahi_threaded_poll_get(poll), AVAHI_CLIENT_NO_FAIL, &OnClient, this, &error);
        if (!client) {
            // No system bus at all: look again later.
            TellAbsent(avahi_strerror(error));
            SetLink(Link::Absent);
            ScheduleRetry(kRetryMs);
        }
    }

    void TellAbsent(const char* why) {
        if (!toldAbsent)
            qWarning("discovery: no Avahi daemon (%s); machines come from the directory file only", why);
        toldAbsent = true;
    }

    void StartBrowsing(AvahiClient* c) {
        if (browser)
            return;
        allForNow = false;
        browser = avahi_service_browser_new(c, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, ServiceType(), nullptr,
                                            AvahiLookupFlags(0), &OnBrowse, this);
        if (!browser) {
            qWarning("discovery: cannot browse: %s", avahi_strerror(avahi_client_errno(c)));
            ScheduleRetry(kRetryMs);
        }
        Publish();
    }

    // Brings the announcement in line with what the window thread asked for.
    void Reconcile() {
        bool announce = false;
        QByteArray workgroup;
        QByteArray key;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            announce = wantAnnounced && !wantWorkgroup.isEmpty();
            workgroup = wantWorkgroup;
            key = wantKey;
        }
        if (!connected)
            return;
        if (!announce) {
            if (group && registered)
                avahi_entry_group_reset(group); // withdrawn: the daemon says goodbye on the network
            registered = established = false;
            return;
        }
        const std::string txt = "workgroup=" + ToNetwork(workgroup);
        // Without a key the entry is left out: an empty "key=" would say nothing.
        const std::string keyTxt = key.isEmpty() ? std::string() : "key=" + key.toBase64().toStdString();
        const char* keyEntry = keyTxt.empty() ? nullptr : keyTxt.c_str();
        if (registered) {
            if ((workgroup != registeredWorkgroup || key != registeredKey) &&
                avahi_entry_group_update_service_txt(group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                     AvahiPublishFlags(0), serviceName.c_str(), ServiceType(),
                                                     nullptr, txt.c_str(), keyEntry, nullptr) >= 0) {
                registeredWorkgroup = workgroup;
                registeredKey = key;
            }
            return;
        }
        Register(workgroup, key, txt, keyEntry);
    }

    void Register(const QByteArray& workgroup, const QByteArray& key, const std::string& txt,
                  const char* keyEntry) {
        if (!group)
            group = avahi_entry_group_new(connected, &OnGroup, this);
        if (!group) {
            qWarning("discovery: cannot announce: %s", avahi_strerror(avahi_client_errno(connected)));
            return;
        }
        // A name another service of this daemon already has is replaced as Avahi proposes.
        for (int attempt = 0; attempt < 16; ++attempt) {
            const int result = avahi_entry_group_add_service(
                group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0), serviceName.c_str(),
                ServiceType(), nullptr, nullptr, UdpEndpoint::kMailPort, txt.c_str(), keyEntry, nullptr);
            if (result == AVAHI_ERR_COLLISION) {
                Rename();
                avahi_entry_group_reset(group);
                continue;
            }
            if (result < 0 || avahi_entry_group_commit(group) < 0) {
                qWarning("discovery: cannot announce %s: %s", serviceName.c_str(), avahi_strerror(result));
                avahi_entry_group_reset(group);
                return;
            }
            registered = true;
            registeredWorkgroup = workgroup;
            registeredKey = key;
            return;
        }
    }

    void Rename() {
        char* alternative = avahi_alternative_service_name(serviceName.c_str());
        if (alternative) {
            qWarning("discovery: the name %s is taken on the network; announced as %s", serviceName.c_str(),
                     alternative);
            serviceName = alternative;
            avahi_free(alternative);
        }
    }

    // ---- callbacks (poll thread) ----------------------------------------------------------------
    static void OnClient(AvahiClient* c, AvahiClientState state, void* data) {
        auto* self = static_cast<Impl*>(data);
        switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            self->connected = c;
            if (self->toldAbsent)
                qWarning("discovery: Avahi daemon found");
            self->toldAbsent = false;
            self->SetLink(Link::Present);
            self->StartBrowsing(c);
            self->Reconcile();
            break;
        case AVAHI_CLIENT_S_REGISTERING:
        case AVAHI_CLIENT_S_COLLISION:
            // The daemon is (re)establishing its host name: our service goes up again once it runs.
            if (self->group)
                avahi_entry_group_reset(self->group);
            self->registered = self->established = false;
            break;
        case AVAHI_CLIENT_CONNECTING:
            // The bus is there, the daemon is not: the client waits for it by itself.
            self->connected = nullptr;
            self->TellAbsent("not running");
            self->SetLink(Link::Absent);
            break;
        case AVAHI_CLIENT_FAILURE:
            // The daemon went away (or never answered): start over with a fresh client, outside this
            // callback. Until then nothing is known.
            self->connected = nullptr;
            self->TellAbsent(avahi_strerror(avahi_client_errno(c)));
            self->SetLink(Link::Absent);
            self->entries.clear(); // their resolvers die with the client
            self->Publish();
            self->ScheduleRetry(avahi_client_errno(c) == AVAHI_ERR_DISCONNECTED ? 0 : kRetryMs);
            break;
        }
    }

    static void OnBrowse(AvahiServiceBrowser* b, AvahiIfIndex interface, AvahiProtocol protocol,
                         AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                         AvahiLookupResultFlags, void* data) {
        auto* self = static_cast<Impl*>(data);
        switch (event) {
        case AVAHI_BROWSER_NEW: {
            const Key key{interface, protocol, name ? name : "", domain ? domain : ""};
            const auto known = self->entries.find(key);
            if (known != self->entries.end() && known->second.resolver)
                break;
            AvahiServiceResolver* resolver =
                avahi_service_resolver_new(avahi_service_browser_get_client(b), interface, protocol, name,
                                           type, domain, protocol, AvahiLookupFlags(0), &OnResolve, self);
            if (!resolver)
                break;
            if (known != self->entries.end()) { // its last resolver failed: this is a new try
                known->second.resolver = resolver;
                known->second.pending = true;
                self->Publish();
                break;
            }
            Entry entry;
            entry.order = self->nextOrder++;
            entry.resolver = resolver;
            self->entries.emplace(key, std::move(entry));
            self->Publish();
            break;
        }
        case AVAHI_BROWSER_REMOVE: {
            const auto found =
                self->entries.find(Key{interface, protocol, name ? name : "", domain ? domain : ""});
            if (found != self->entries.end()) {
                if (found->second.resolver)
                    avahi_service_resolver_free(found->second.resolver);
                self->entries.erase(found);
            }
            self->Publish();
            break;
        }
        case AVAHI_BROWSER_ALL_FOR_NOW:
            self->allForNow = true;
            self->Publish();
            break;
        case AVAHI_BROWSER_CACHE_EXHAUSTED:
            break;
        case AVAHI_BROWSER_FAILURE:
            qWarning("discovery: browsing failed: %s",
                     avahi_strerror(avahi_client_errno(avahi_service_browser_get_client(b))));
            self->ScheduleRetry(kRetryMs);
            break;
        }
    }

    static void OnResolve(AvahiServiceResolver* r, AvahiIfIndex interface, AvahiProtocol protocol,
                          AvahiResolverEvent event, const char* name, const char*, const char* domain,
                          const char*, const AvahiAddress* address, uint16_t, AvahiStringList* txt,
                          AvahiLookupResultFlags, void* data) {
        auto* self = static_cast<Impl*>(data);
        const auto found =
            self->entries.find(Key{interface, protocol, name ? name : "", domain ? domain : ""});
        if (found == self->entries.end() || found->second.resolver != r)
            return;
        Entry& entry = found->second;
        entry.pending = false;
        if (event == AVAHI_RESOLVER_FOUND) {
            entry.resolved = self->Describe(interface, name, address, txt, entry.machine);
            entry.publicKey = KeyIn(txt);
        } else {
            // Not resolved in time (or no longer): left out until the browser reports it anew.
            avahi_service_resolver_free(r);
            entry.resolver = nullptr;
            entry.resolved = false;
        }
        self->Publish();
    }

    static void OnGroup(AvahiEntryGroup* g, AvahiEntryGroupState state, void* data) {
        auto* self = static_cast<Impl*>(data);
        if (state == AVAHI_ENTRY_GROUP_ESTABLISHED) {
            self->established = true;
            self->Publish();
        } else if (state == AVAHI_ENTRY_GROUP_COLLISION) {
            // Another machine announces the same name: take the next one Avahi proposes.
            self->Rename();
            avahi_entry_group_reset(g);
            self->registered = self->established = false;
            self->Reconcile();
        } else if (state == AVAHI_ENTRY_GROUP_FAILURE) {
            qWarning("discovery: announcement failed: %s",
                     avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(g))));
            avahi_entry_group_reset(g);
            self->registered = self->established = false;
        }
    }

    static void OnWake(AvahiWatch*, int fd, AvahiWatchEvent, void* data) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
        static_cast<Impl*>(data)->Reconcile();
    }

    static void OnRetry(AvahiTimeout*, void* data) { static_cast<Impl*>(data)->Connect(); }

    // The public key a TXT record announces: a "key" entry of base64 for 32 bytes, else none.
    static QByteArray KeyIn(AvahiStringList* txt) {
        QByteArray publicKey;
        if (AvahiStringList* item = avahi_string_list_find(txt, "key")) {
            char* key = nullptr;
            char* value = nullptr;
            if (avahi_string_list_get_pair(item, &key, &value, nullptr) == 0 && value) {
                const auto decoded = QByteArray::fromBase64Encoding(QByteArray(value),
                                                                    QByteArray::AbortOnBase64DecodingErrors);
                if (decoded && decoded.decoded.size() == 32)
                    publicKey = decoded.decoded;
            }
            avahi_free(key);
            avahi_free(value);
        }
        return publicKey;
    }

    // The machine a resolved service stands for. False when its names cannot be told in the tables.
    bool Describe(AvahiIfIndex interface, const char* name, const AvahiAddress* address, AvahiStringList* txt,
                  ListedMachine& machine) const {
        machine.host = FromNetwork(name);
        // A service without a workgroup (announced by hand, say) stands in the default one.
        machine.workgroup = DirectoryProvider::DefaultWorkgroup();
        if (AvahiStringList* item = avahi_string_list_find(txt, "workgroup")) {
            char* key = nullptr;
            char* value = nullptr;
            if (avahi_string_list_get_pair(item, &key, &value, nullptr) == 0 && value && *value)
                machine.workgroup = FromNetwork(value);
            avahi_free(key);
            avahi_free(value);
        }
        machine.address = QHostAddress();
        if (address) {
            char text[AVAHI_ADDRESS_STR_MAX] = {};
            avahi_address_snprint(text, sizeof text, address);
            machine.address.setAddress(QString::fromLatin1(text));
            if (machine.address.protocol() == QAbstractSocket::IPv6Protocol && machine.address.isLinkLocal())
                machine.address.setScopeId(QString::number(interface));
        }
        return !machine.host.isEmpty() && !machine.workgroup.isEmpty();
    }
};

AvahiDiscovery::AvahiDiscovery(const QByteArray& hostName) : d(std::make_unique<Impl>(hostName)) {
    d->poll = avahi_threaded_poll_new();
    d->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!d->poll || d->wakeFd < 0) {
        d->link = Impl::Link::Absent;
        return;
    }
    const AvahiPoll* api = avahi_threaded_poll_get(d->poll);
    d->wake = api->watch_new(api, d->wakeFd, AVAHI_WATCH_IN, &Impl::OnWake, d.get());
    timeval now{};
    avahi_elapse_time(&now, 0, 0);
    d->retry = api->timeout_new(api, &now, &Impl::OnRetry, d.get()); // the first connect
    if (!d->wake || !d->retry || avahi_threaded_poll_start(d->poll) < 0)
        d->link = Impl::Link::Absent;
}

AvahiDiscovery::~AvahiDiscovery() {
    if (d->poll) {
        avahi_threaded_poll_stop(d->poll);
        // The thread has ended: what it owned is ours to free. Closing the client withdraws the
        // announcement in the daemon.
        if (d->client)
            avahi_client_free(d->client);
        const AvahiPoll* api = avahi_threaded_poll_get(d->poll);
        if (d->wake)
            api->watch_free(d->wake);
        if (d->retry)
            api->timeout_free(d->retry);
        avahi_threaded_poll_free(d->poll);
    }
    if (d->wakeFd >= 0)
        ::close(d->wakeFd);
}

QList<ListedMachine> AvahiDiscovery::Found(bool settle) {
    std::unique_lock<std::mutex> lock(d->mutex);
    if (settle && !d->firstWaitDone) {
        d->firstWaitDone = true;
        d->changed.wait_for(lock, kSettleWait, [&] {
            return d->link == Impl::Link::Absent || (d->link == Impl::Link::Present && d->settled);
        });
    }
    return d->snapshot;
}

QList<QHostAddress> AvahiDiscovery::AddressesOf(const QByteArray& host) const {
    QList<QHostAddress> addresses;
    const std::lock_guard<std::mutex> lock(d->mutex);
    for (const ListedMachine& machine : d->snapshot) {
        if (!machine.address.isNull() && DirectoryProvider::SameName(machine.host, host) &&
            !addresses.contains(machine.address))
            addresses.append(machine.address);
    }
    return addresses;
}

void AvahiDiscovery::SetAnnounced(bool announced) {
    {
        const std::lock_guard<std::mutex> lock(d->mutex);
        d->wantAnnounced = announced;
    }
    const uint64_t one = 1;
    if (d->wakeFd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(d->wakeFd, &one, sizeof one);
    }
}

void AvahiDiscovery::SetPublicKey(const QByteArray& key) {
    {
        const std::lock_guard<std::mutex> lock(d->mutex);
        d->wantKey = key;
    }
    const uint64_t one = 1;
    if (d->wakeFd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(d->wakeFd, &one, sizeof one);
    }
}

QByteArray AvahiDiscovery::PublicKeyOf(const QByteArray& host) const {
    const std::lock_guard<std::mutex> lock(d->mutex);
    return d->snapshotKeys.value(host.toLower());
}

void AvahiDiscovery::SetWorkgroup(const QByteArray& workgroup) {
    {
        const std::lock_guard<std::mutex> lock(d->mutex);
        d->wantWorkgroup = workgroup;
    }
    const uint64_t one = 1;
    if (d->wakeFd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(d->wakeFd, &one, sizeof one);
    }
}

} // namespace varnel
