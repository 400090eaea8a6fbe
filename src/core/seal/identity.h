#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace varnel {

// Sizes of the keys that travel (Ed25519 public keys) and of a signature.
inline constexpr qsizetype kPublicKeySize = 32;
inline constexpr qsizetype kSignatureSize = 64;

// This user's lasting identity: an Ed25519 signing key pair, from which the X25519 keys for sealing
// are derived. The secret half is kept only in memory and in the key file.
class Identity {
public:
    // A new identity from the system's random source.
    static Identity Generate();
    // The identity a key file holds, or nothing when the bytes are not a whole, consistent key file.
    static std::optional<Identity> FromFile(QByteArrayView fileBytes);
    // What the key file holds: a first line naming the format, then the seed in hexadecimal.
    QByteArray FileBytes() const;

    const QByteArray& PublicKey() const { return m_signPublic; }
    QByteArray Sign(QByteArrayView message) const;
    // The X25519 secret for sealing (the public half is derived from PublicKey wherever needed).
    const QByteArray& BoxSecret() const { return m_boxSecret; }

private:
    static std::optional<Identity> FromSeed(QByteArrayView seed);
    QByteArray m_seed;
    QByteArray m_signPublic;
    QByteArray m_signSecret;
    QByteArray m_boxSecret;
};

// Whether signature is the signature of message by publicKey.
bool VerifySignature(QByteArrayView publicKey, QByteArrayView message, QByteArrayView signature);
// The X25519 public key of an Ed25519 public key; empty when the key is not a valid point.
QByteArray BoxPublicOf(QByteArrayView signPublic);
// A public key's fingerprint, to be read aloud: 12 groups of 5 decimal digits from a hash of the key,
// groups separated by one space.
QByteArray Fingerprint(QByteArrayView publicKey);

} // namespace varnel
