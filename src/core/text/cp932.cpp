#include "text/cp932.h"

#include <cerrno>
#include <iconv.h>

namespace varnel::cp932 {
namespace {

// One iconv conversion descriptor for the span of one call.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (Valid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

} // namespace

QString Decode(QByteArrayView bytes) {
    QString result;
    Converter conv("UTF-16LE", "CP932");
    if (!conv.Valid())
        return QString::fromLatin1(bytes.data(), bytes.size());
    result.reserve(bytes.size());
    const char* in = bytes.data();
    size_t inLeft = size_t(bytes.size());
    char16_t buffer[512];
    while (inLeft > 0) {
        char* out = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(conv.Get(), const_cast<char**>(&in), &inLeft, &out, &outLeft);
        result.append(QStringView(buffer, qsizetype((sizeof buffer - outLeft) / sizeof(char16_t))));
        if (rc == size_t(-1) && errno != E2BIG) {
            // An invalid or cut sequence: show one replacement character for its first byte and
            // go on after it.
            result.append(QChar(QChar::ReplacementCharacter));
            ++in;
            --inLeft;
            iconv(conv.Get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return result;
}

bool Encode(const QString& text, QByteArray& out, QString* badChar) {
    out.clear();
    Converter conv("CP932", "UTF-16LE");
    if (!conv.Valid())
        return false;
    const char* in = reinterpret_cast<const char*>(text.utf16());
    size_t inLeft = size_t(text.size()) * sizeof(char16_t);
    char buffer[1024];
    while (inLeft > 0) {
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        const size_t rc = iconv(conv.Get(), const_cast<char**>(&in), &inLeft, &o, &oLeft);
        out.append(buffer, qsizetype(sizeof buffer - oLeft));
        if (rc == size_t(-1) && errno != E2BIG) {
            if (badChar) {
                const qsizetype at = text.size() - qsizetype(inLeft / sizeof(char16_t));
                const bool pair = at + 1 < text.size() && text.at(at).isHighSurrogate();
                *badChar = text.mid(at, pair ? 2 : 1);
            }
            out.clear();
            return false;
        }
    }
    return true;
}

} // namespace varnel::cp932
