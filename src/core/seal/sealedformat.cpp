#include "seal/sealedformat.h"

#include "seal/identity.h"

namespace varnel {

namespace {

// A sealed datagram stays below the 63000-byte read buffer: mail is at most 16000 bytes, and its
// base64 form with the envelope some 21500.
constexpr qsizetype kMaxEncoded = 62000;

QByteArrayView TextOf(QByteArrayView datagram) {
    const qsizetype zero = datagram.indexOf('\0');
    return zero < 0 ? datagram : datagram.first(zero);
}

std::optional<QByteArray> Decoded(QByteArrayView datagram, QByteArrayView magic) {
    const QByteArrayView text = TextOf(datagram);
    if (!text.startsWith(magic) || text.size() - magic.size() > kMaxEncoded)
        return std::nullopt;
    auto result = QByteArray::fromBase64Encoding(text.sliced(magic.size()).toByteArray(),
                                                 QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return std::move(*result);
}

QByteArray Encoded(QByteArrayView magic, const QByteArray& payload) {
    QByteArray datagram = magic.toByteArray() + payload.toBase64();
    datagram.append('\0');
    return datagram;
}

// Reads a name of at most kMaxSealedName bytes, without zero bytes, from its length byte on.
bool TakeName(QByteArrayView payload, qsizetype& at, QByteArray& name) {
    if (at >= payload.size())
        return false;
    const qsizetype length = quint8(payload[at++]);
    if (length == 0 || length > kMaxSealedName || payload.size() - at < length)
        return false;
    const QByteArrayView bytes = payload.sliced(at, length);
    if (bytes.contains('\0'))
        return false;
    name = bytes.toByteArray();
    at += length;
    return true;
}

bool TakeBytes(QByteArrayView payload, qsizetype& at, qsizetype count, QByteArray& out) {
    if (payload.size() - at < count)
        return false;
    out = payload.sliced(at, count).toByteArray();
    at += count;
    return true;
}

QByteArray NamePart(QByteArrayView name) {
    return QByteArray(1, char(quint8(name.size()))) + name.toByteArray();
}

} // namespace

bool LooksSealed(QByteArrayView datagram) {
    return datagram.startsWith(kSealedMagic);
}

bool LooksKeyMessage(QByteArrayView datagram) {
    return datagram.startsWith(kKeyMagic);
}

std::optional<SealedEnvelope> ParseSealed(QByteArrayView datagram) {
    const std::optional<QByteArray> payload = Decoded(datagram, kSealedMagic);
    if (!payload)
        return std::nullopt;
    SealedEnvelope envelope;
    qsizetype at = 0;
    if (!TakeName(*payload, at, envelope.sender) ||
        !TakeBytes(*payload, at, kPublicKeySize, envelope.senderKey) ||
        !TakeBytes(*payload, at, kNonceSize, envelope.nonce) || payload->size() - at < kMinBoxSize)
        return std::nullopt;
    envelope.box = payload->sliced(at);
    return envelope;
}

QByteArray BuildSealed(const SealedEnvelope& envelope) {
    return Encoded(kSealedMagic,
                   NamePart(envelope.sender) + envelope.senderKey + envelope.nonce + envelope.box);
}

std::optional<KeyMessage> ParseKeyMessage(QByteArrayView datagram) {
    const std::optional<QByteArray> payload = Decoded(datagram, kKeyMagic);
    if (!payload || payload->isEmpty())
        return std::nullopt;
    KeyMessage message;
    message.kind = payload->at(0);
    if (message.kind != 'Q' && message.kind != 'A')
        return std::nullopt;
    qsizetype at = 1;
    if (!TakeName(*payload, at, message.name) || !TakeBytes(*payload, at, kPublicKeySize, message.key) ||
        at != payload->size())
        return std::nullopt;
    return message;
}

QByteArray BuildKeyMessage(const KeyMessage& message) {
    return Encoded(kKeyMagic, QByteArray(1, message.kind) + NamePart(message.name) + message.key);
}

QByteArray SignedPart(QByteArrayView recipientKey, QByteArrayView sender, QByteArrayView record) {
    return kSealedMagic.toByteArray() + recipientKey.toByteArray() + NamePart(sender) + record.toByteArray();
}

} // namespace varnel
