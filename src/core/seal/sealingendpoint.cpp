#include "seal/sealingendpoint.h"

#include "seal/keyring.h"
#include "seal/sealedformat.h"
#include "seal/sealmarks.h"
#include "store/mailrecord.h"
#include "transport/textfields.h"

#include <sodium.h>

namespace varnel {

namespace {

const unsigned char* Bytes(QByteArrayView v) {
    return reinterpret_cast<const unsigned char*>(v.data());
}

unsigned char* Bytes(QByteArray& a) {
    return reinterpret_cast<unsigned char*>(a.data());
}

QByteArrayView TextOf(QByteArrayView datagram) {
    return datagram.first(TextFields::TextLength(datagram));
}

// The status letter of a record datagram as the mail slot cuts it (the byte after the first record
// mark), or 0 when the text holds no record mark.
char LetterOf(QByteArrayView datagram) {
    const QByteArrayView text = TextOf(datagram);
    const qsizetype mark = text.indexOf(kRecordMark);
    return mark < 0 || mark + 1 >= text.size() ? '\0' : text[mark + 1];
}

bool IsProbe(QByteArrayView datagram) {
    return LetterOf(datagram) == 'c';
}

// Mail and its receipts; the probe and anything else stays what it is.
bool IsRecord(QByteArrayView datagram) {
    const char letter = LetterOf(datagram);
    return letter != '\0' && !IsProbe(datagram);
}

bool SameName(const QByteArray& a, const QByteArray& b) {
    return !a.isEmpty() && a.toLower() == b.toLower();
}

// A sealed record must be the signer's own: a mail names its sender, a receipt its recipient (the
// one who answers). Otherwise anyone with a key could seal a record in another machine's name.
bool SignerNamed(QByteArrayView record, const QByteArray& signer) {
    QByteArray sender;
    QByteArray recipient;
    const QByteArrayView text = TextOf(record);
    const qsizetype mark = text.indexOf(kRecordMark);
    const qsizetype end = text.lastIndexOf(kHeaderEnd);
    if (mark < 0 || end < mark)
        return false;
    const QByteArrayView header = text.sliced(mark, end - mark + 1);
    TextFields::NthField(sender, header, kSeparator, 2);
    TextFields::NthField(recipient, header, kSeparator, 3);
    switch (header.size() > 1 ? header[1] : '\0') {
    case 'S':
        return SameName(sender, signer);
    case 'G':
    case 'R':
        return SameName(recipient, signer);
    default:
        return SameName(sender, signer) || SameName(recipient, signer);
    }
}

} // namespace

SealingEndpoint::SealingEndpoint(Endpoint& inner, const Identity& identity, Keyring& keyring, Now now)
    : m_inner(inner), m_identity(identity), m_keyring(keyring), m_now(std::move(now)) {}

void SealingEndpoint::SetLocalName(const QByteArray& name) {
    m_localName = name;
    if (name.isEmpty())
        return;
    m_keyring.Learn(name, m_identity.PublicKey());
    // Those who asked while this machine did not know its name yet hear the answer now.
    for (const QByteArray& asker : std::exchange(m_unanswered, {}))
        m_inner.SendWhenResolved(asker, BuildKeyMessage({'A', m_localName, m_identity.PublicKey()}));
}

const QByteArray& SealingEndpoint::SharedKey(const QByteArray& signPublic) {
    auto it = m_shared.find(signPublic);
    if (it != m_shared.end())
        return *it;
    // A flood of made-up keys must not grow the table without end.
    if (m_shared.size() >= kMaxSharedKeys)
        m_shared.clear();
    // Both the conversion of the key and the shared key cost far more than a seal: once per machine.
    const QByteArray boxPublic = BoxPublicOf(signPublic);
    QByteArray shared(crypto_box_BEFORENMBYTES, '\0');
    if (boxPublic.isEmpty() ||
        crypto_box_beforenm(Bytes(shared), Bytes(boxPublic), Bytes(m_identity.BoxSecret())) != 0)
        shared.clear();
    return *m_shared.insert(signPublic, shared);
}

QByteArray SealingEndpoint::SealRecord(QByteArrayView recipientKey, QByteArrayView record) {
    if (m_localName.isEmpty())
        return {};
    const QByteArray& shared = SharedKey(recipientKey.toByteArray());
    if (shared.isEmpty())
        return {};
    const QByteArray plain =
        m_identity.Sign(SignedPart(recipientKey, m_localName, record)) + record.toByteArray();
    SealedEnvelope envelope{m_localName, m_identity.PublicKey(), QByteArray(kNonceSize, '\0'),
                            QByteArray(plain.size() + crypto_box_MACBYTES, '\0')};
    randombytes_buf(envelope.nonce.data(), size_t(kNonceSize));
    crypto_box_easy_afternm(Bytes(envelope.box), Bytes(plain), quint64(plain.size()), Bytes(envelope.nonce),
                            Bytes(shared));
    return BuildSealed(envelope);
}

bool SealingEndpoint::Opened(QByteArrayView raw, QByteArray& record) {
    const std::optional<SealedEnvelope> envelope = ParseSealed(raw);
    if (!envelope)
        return false;
    const QByteArray& shared = SharedKey(envelope->senderKey);
    if (shared.isEmpty())
        return false;
    QByteArray plain(envelope->box.size() - crypto_box_MACBYTES, '\0');
    if (crypto_box_open_easy_afternm(Bytes(plain), Bytes(envelope->box), quint64(envelope->box.size()),
                                     Bytes(envelope->nonce), Bytes(shared)) != 0)
        return false;
    const QByteArrayView signature = QByteArrayView(plain).first(kSignatureSize);
    const QByteArrayView body = QByteArrayView(plain).sliced(kSignatureSize);
    if (!VerifySignature(envelope->senderKey, SignedPart(m_identity.PublicKey(), envelope->sender, body),
                         signature))
        return false;
    // A datagram of ours coming back (sealed by this machine to another) is not mail from that other.
    if (envelope->senderKey == m_identity.PublicKey() && !SameName(envelope->sender, m_localName))
        return false;
    if (!SignerNamed(body, envelope->sender))
        return false;
    record = body.toByteArray();
    m_lastSeal = m_keyring.Offer(envelope->sender, envelope->senderKey) == Keyring::Seen::Changed
                     ? Seal::Unpinned
                     : Seal::Pinned;
    return true;
}

bool SealingEndpoint::Due(QHash<QByteArray, std::chrono::steady_clock::time_point>& last,
                          QByteArrayView host) {
    const QByteArray id = host.toByteArray().toLower();
    const auto now = m_now();
    auto it = last.find(id);
    if (it != last.end() && now - *it < kKeyRequestPause)
        return false;
    // Names seen long ago are forgotten, so the table stays as small as the network.
    if (last.size() >= kMaxSharedKeys)
        last.clear();
    last.insert(id, now);
    return true;
}

void SealingEndpoint::RequestKey(QByteArrayView host) {
    if (m_localName.isEmpty() || host.isEmpty() || host.size() > kMaxSealedName || !Due(m_asked, host))
        return;
    m_inner.SendWhenResolved(host, BuildKeyMessage({'Q', m_localName, m_identity.PublicKey()}));
}

void SealingEndpoint::TakeKeyMessage(QByteArrayView raw) {
    const std::optional<KeyMessage> message = ParseKeyMessage(raw);
    if (!message)
        return;
    // A key heard this way only fills a name without one: it never displaces a pinned key.
    if (message->kind == 'A') {
        if (m_asked.contains(message->name.toLower()))
            m_keyring.Learn(message->name, message->key);
        return;
    }
    m_keyring.Learn(message->name, message->key);
    if (m_localName.isEmpty()) {
        if (m_unanswered.size() < kMaxUnanswered && !m_unanswered.contains(message->name))
            m_unanswered.append(message->name);
        return;
    }
    if (Due(m_answered, message->name))
        m_inner.SendWhenResolved(message->name, BuildKeyMessage({'A', m_localName, m_identity.PublicKey()}));
}

bool SealingEndpoint::ReadNext(QByteArray& datagram) {
    m_lastSeal = Seal::Plain;
    QByteArray raw;
    if (!m_inner.ReadNext(raw)) {
        datagram.clear();
        return false;
    }
    datagram.clear();
    if (LooksSealed(raw)) {
        if (!Opened(raw, datagram))
            ++m_refusals.broken; // a seal that does not verify is dropped
        return true;
    }
    if (LooksKeyMessage(raw)) {
        TakeKeyMessage(raw);
        return true;
    }
    if (m_sealedOnly && IsRecord(raw)) {
        ++m_refusals.plainIn;
        return true;
    }
    datagram = std::move(raw);
    return true;
}

SealingEndpoint::Route SealingEndpoint::Prepare(QByteArrayView host, QByteArrayView datagram,
                                                QByteArray& out) {
    m_lastSendSealed = false;
    if (!IsRecord(datagram)) {
        out = datagram.toByteArray();
        return Route::Plain;
    }
    QByteArray key = m_keyring.Pinned(host);
    if (key.isEmpty() && m_announced && m_keyring.Learn(host, m_announced(host.toByteArray())))
        key = m_keyring.Pinned(host);
    if (!key.isEmpty() && !m_localName.isEmpty()) {
        out = SealRecord(key, datagram);
        if (!out.isEmpty()) {
            m_lastSendSealed = true;
            return Route::Sealed;
        }
    }
    // Next time this may go sealed.
    RequestKey(host);
    if (m_sealedOnly) {
        ++m_refusals.plainOut;
        return Route::Refused;
    }
    out = datagram.toByteArray();
    return Route::Plain;
}

bool SealingEndpoint::Sent(bool sealed, bool sent, QByteArrayView datagram) {
    m_lastSendSealed = sealed && sent;
    if (m_lastSendSealed && m_marks && LetterOf(datagram) == 'S')
        m_marks->Sent(KeyOfHeader(TextOf(datagram).sliced(TextOf(datagram).indexOf(kRecordMark))), true);
    return sent;
}

bool SealingEndpoint::SendTo(QByteArrayView host, QByteArrayView datagram) {
    QByteArray out;
    if (Prepare(host, datagram, out) == Route::Refused)
        return false;
    const bool sealed = m_lastSendSealed;
    return Sent(sealed, m_inner.SendTo(host, out), datagram);
}

bool SealingEndpoint::SendWhenResolved(QByteArrayView host, QByteArrayView datagram) {
    QByteArray out;
    if (Prepare(host, datagram, out) == Route::Refused)
        return false;
    const bool sealed = m_lastSendSealed;
    return Sent(sealed, m_inner.SendWhenResolved(host, out), datagram);
}

} // namespace varnel
