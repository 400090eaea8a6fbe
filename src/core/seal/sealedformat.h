#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace varnel {

// Two datagram kinds beside the record datagrams. Each is an ASCII magic, then base64 text, then one
// zero byte: no byte of it is a record mark or a header end mark, so a copy that knows only records
// drops it as malformed.
//
// A sealed datagram: "VNSEAL1:" + base64(name length (1) | sender name | sender's public key (32) |
// nonce (24) | box), where the box (crypto_box, sender to recipient) holds the sender's signature
// (64) followed by the record datagram exactly as it would have gone out plain.
//
// A key datagram: "VNKEY1:" + base64(kind (1, 'Q' request or 'A' answer) | name length (1) | name |
// public key (32)). A request carries the asker's own key, so both sides learn each other's.
inline constexpr QByteArrayView kSealedMagic = "VNSEAL1:";
inline constexpr QByteArrayView kKeyMagic = "VNKEY1:";
inline constexpr qsizetype kNonceSize = 24;
inline constexpr qsizetype kMaxSealedName = 79; // the host buffer peers use
// The smallest box: its tag and a signature over an empty record.
inline constexpr qsizetype kMinBoxSize = 16 + 64;

struct SealedEnvelope {
    QByteArray sender;
    QByteArray senderKey;
    QByteArray nonce;
    QByteArray box;
};

struct KeyMessage {
    char kind = 0; // 'Q' or 'A'
    QByteArray name;
    QByteArray key;
};

// The parts of a sealed datagram, or nothing when it is not a whole, well-formed one. Bytes after
// the first zero byte are ignored, as for every datagram.
std::optional<SealedEnvelope> ParseSealed(QByteArrayView datagram);
QByteArray BuildSealed(const SealedEnvelope& envelope);
std::optional<KeyMessage> ParseKeyMessage(QByteArrayView datagram);
QByteArray BuildKeyMessage(const KeyMessage& message);

// Whether a datagram is of one of the two kinds (it may still be malformed).
bool LooksSealed(QByteArrayView datagram);
bool LooksKeyMessage(QByteArrayView datagram);

// The message a sealed record's signature covers: the magic, the recipient's public key, the sender's
// name and the record. Naming the recipient keeps a signed record from being sealed again to someone
// else; naming the sender keeps a datagram from being passed off under another name.
QByteArray SignedPart(QByteArrayView recipientKey, QByteArrayView sender, QByteArrayView record);

} // namespace varnel
