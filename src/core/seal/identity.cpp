#include "seal/identity.h"

#include <sodium.h>

#include <cstdlib>

namespace varnel {

namespace {

constexpr QByteArrayView kFileHeader = "varnel-identity 1\n";

// libsodium is ready before its first use; sodium_init may be called any number of times.
void EnsureSodium() {
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        std::abort(); // no usable random source: no key may be made
}

const unsigned char* Bytes(QByteArrayView v) {
    return reinterpret_cast<const unsigned char*>(v.data());
}

unsigned char* Bytes(QByteArray& a) {
    return reinterpret_cast<unsigned char*>(a.data());
}

} // namespace

Identity Identity::Generate() {
    EnsureSodium();
    QByteArray seed(crypto_sign_SEEDBYTES, '\0');
    randombytes_buf(seed.data(), size_t(seed.size()));
    return *FromSeed(seed);
}

std::optional<Identity> Identity::FromSeed(QByteArrayView seed) {
    EnsureSodium();
    if (seed.size() != crypto_sign_SEEDBYTES)
        return std::nullopt;
    Identity identity;
    identity.m_seed = seed.toByteArray();
    identity.m_signPublic = QByteArray(crypto_sign_PUBLICKEYBYTES, '\0');
    identity.m_signSecret = QByteArray(crypto_sign_SECRETKEYBYTES, '\0');
    // The public half is only checked here: both halves must convert.
    QByteArray boxPublic(crypto_box_PUBLICKEYBYTES, '\0');
    identity.m_boxSecret = QByteArray(crypto_box_SECRETKEYBYTES, '\0');
    if (crypto_sign_seed_keypair(Bytes(identity.m_signPublic), Bytes(identity.m_signSecret), Bytes(seed)) !=
            0 ||
        crypto_sign_ed25519_pk_to_curve25519(Bytes(boxPublic), Bytes(identity.m_signPublic)) != 0 ||
        crypto_sign_ed25519_sk_to_curve25519(Bytes(identity.m_boxSecret), Bytes(identity.m_signSecret)) != 0)
        return std::nullopt;
    return identity;
}

std::optional<Identity> Identity::FromFile(QByteArrayView fileBytes) {
    if (!fileBytes.startsWith(kFileHeader))
        return std::nullopt;
    QByteArrayView hex = fileBytes.sliced(kFileHeader.size());
    if (hex.endsWith('\n'))
        hex.chop(1);
    if (hex.size() != 2 * crypto_sign_SEEDBYTES)
        return std::nullopt;
    for (char c : hex) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return std::nullopt;
    }
    return FromSeed(QByteArray::fromHex(hex.toByteArray()));
}

QByteArray Identity::FileBytes() const {
    return kFileHeader.toByteArray() + m_seed.toHex() + '\n';
}

QByteArray Identity::Sign(QByteArrayView message) const {
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(Bytes(signature), nullptr, Bytes(message), size_t(message.size()),
                         Bytes(m_signSecret));
    return signature;
}

bool VerifySignature(QByteArrayView publicKey, QByteArrayView message, QByteArrayView signature) {
    EnsureSodium();
    if (publicKey.size() != crypto_sign_PUBLICKEYBYTES || signature.size() != crypto_sign_BYTES)
        return false;
    return crypto_sign_verify_detached(Bytes(signature), Bytes(message), size_t(message.size()),
                                       Bytes(publicKey)) == 0;
}

QByteArray BoxPublicOf(QByteArrayView signPublic) {
    EnsureSodium();
    if (signPublic.size() != crypto_sign_PUBLICKEYBYTES)
        return {};
    QByteArray box(crypto_box_PUBLICKEYBYTES, '\0');
    if (crypto_sign_ed25519_pk_to_curve25519(Bytes(box), Bytes(signPublic)) != 0)
        return {};
    return box;
}

QByteArray Fingerprint(QByteArrayView publicKey) {
    EnsureSodium();
    // 12 groups of 5 digits: each group from 5 bytes of the hash taken modulo 100000, which keeps
    // about 16.6 bits of the 40 in each group, some 200 bits in all.
    unsigned char hash[60];
    crypto_generichash(hash, sizeof hash, Bytes(publicKey), size_t(publicKey.size()), nullptr, 0);
    QByteArray text;
    for (int group = 0; group < 12; ++group) {
        quint64 value = 0;
        for (int i = 0; i < 5; ++i)
            value = (value << 8) | hash[group * 5 + i];
        if (group > 0)
            text.append(' ');
        text.append(QByteArray::number(value % 100000).rightJustified(5, '0'));
    }
    return text;
}

} // namespace varnel
