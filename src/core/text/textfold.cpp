#include "text/textfold.h"

#include <array>
#include <cerrno>
#include <iconv.h>

namespace varnel::textfold {
namespace {

constexpr bool IsLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr bool IsTrail(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}
constexpr int LeadIndex(unsigned char b) {
    return b <= 0x9F ? b - 0x81 : b - 0xE0 + 31;
}
constexpr int kLeads = 60;
constexpr int kTrails = 0xFC - 0x40 + 1;

// Full-width ASCII and space as ASCII, Latin capitals as small letters; other characters as they are.
char16_t FoldLetter(char16_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) // full-width ASCII
        c = char16_t(c - 0xFEE0);
    else if (c == 0x3000) // full-width space
        c = u' ';
    if (c >= u'A' && c <= u'Z')
        c = char16_t(c + (u'a' - u'A'));
    return c;
}

bool IsHalfKana(char16_t c) {
    return c >= 0xFF61 && c <= 0xFF9F;
}

// What every CP932 character decodes to, as the window shows it (the same converter), and already
// folded (but for the half-width katakana, which fold with the character after them): folding a
// whole mailbox is then one pass over its bytes.
struct DecodeTable {
    std::array<char16_t, 256> single{};
    std::array<char16_t, kLeads * kTrails> pair{};

    DecodeTable() {
        single.fill(kNoMatch);
        pair.fill(kNoMatch);
        iconv_t cd = iconv_open("UTF-16LE", "CP932");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            for (int b = 1; b < 0x80; ++b)
                single[size_t(b)] = char16_t(b);
            return;
        }
        const auto convert = [cd](const unsigned char* bytes, size_t length) -> char16_t {
            char in[2] = {char(bytes[0]), length > 1 ? char(bytes[1]) : '\0'};
            char* inp = in;
            size_t inLeft = length;
            unsigned char out[8];
            char* outp = reinterpret_cast<char*>(out);
            size_t outLeft = sizeof out;
            const size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            // One whole character to exactly one UTF-16 unit, or it is not one of ours.
            if (rc == size_t(-1) || inLeft != 0 || sizeof out - outLeft != 2)
                return kNoMatch;
            return char16_t(out[0] | (out[1] << 8));
        };
        for (int b = 1; b < 256; ++b) {
            if (IsLead(static_cast<unsigned char>(b)))
                continue;
            const unsigned char byte = static_cast<unsigned char>(b);
            const char16_t c = convert(&byte, 1);
            single[size_t(b)] = IsHalfKana(c) ? c : FoldLetter(c);
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsLead(static_cast<unsigned char>(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (!IsTrail(static_cast<unsigned char>(trail)))
                    continue;
                const unsigned char bytes[2] = {static_cast<unsigned char>(lead),
                                                static_cast<unsigned char>(trail)};
                const char16_t c = convert(bytes, 2);
                pair[size_t(LeadIndex(bytes[0]) * kTrails + (trail - 0x40))] =
                    IsHalfKana(c) ? c : FoldLetter(c);
            }
        }
        iconv_close(cd);
    }
};

const DecodeTable& Table() {
    static const DecodeTable table;
    return table;
}

// The full-width forms of the half-width katakana U+FF61..U+FF9F, in their order.
constexpr char16_t kFullKana[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5,
    0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3,
    0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC,
    0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4,
    0x30E6, 0x30E8, 0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C};
static_assert(std::size(kFullKana) == 0xFF9F - 0xFF61 + 1);

constexpr char16_t kVoicedMark = 0xFF9E;     // ﾞ
constexpr char16_t kSemiVoicedMark = 0xFF9F; // ﾟ

// The kana with its (semi-)voiced mark as one character, or 0 when there is none.
char16_t Compose(char16_t kana, char16_t mark) {
    const bool hRow = kana >= 0x30CF && kana <= 0x30DB && (kana - 0x30CF) % 3 == 0; // ハヒフヘホ
    if (mark == kSemiVoicedMark)
        return hRow ? char16_t(kana + 2) : 0;
    if ((kana >= 0x30AB && kana <= 0x30C1 && (kana - 0x30AB) % 2 == 0) || // カ..チ
        kana == 0x30C4 || kana == 0x30C6 || kana == 0x30C8 || hRow)       // ツテト, ハ..ホ
        return char16_t(kana + 1);
    switch (kana) {
    case 0x30A6: // ウ
        return 0x30F4;
    case 0x30EF: // ワ
        return 0x30F7;
    case 0x30F2: // ヲ
        return 0x30FA;
    default:
        return 0;
    }
}

// Folds one character after another into a buffer that has room for them all.
class Folder {
public:
    explicit Folder(char16_t* out) : m_begin(out), m_out(out) {}

    void Put(char16_t c) {
        if (IsHalfKana(c)) {
            if ((c == kVoicedMark || c == kSemiVoicedMark) && m_afterHalfKana) {
                if (const char16_t composed = Compose(m_out[-1], c)) {
                    m_out[-1] = composed;
                    m_afterHalfKana = false;
                    return;
                }
            }
            *m_out++ = kFullKana[c - 0xFF61];
            m_afterHalfKana = c >= 0xFF66 && c <= 0xFF9D;
            return;
        }
        PutFolded(FoldLetter(c));
    }
    // A character that is no half-width katakana, folded already.
    void PutFolded(char16_t c) {
        m_afterHalfKana = false;
        *m_out++ = c;
    }
    qsizetype Written() const { return m_out - m_begin; }

private:
    char16_t* m_begin;
    char16_t* m_out;
    bool m_afterHalfKana = false;
};

} // namespace

void AppendFoldedCp932(QByteArrayView bytes, QString& out) {
    const DecodeTable& table = Table();
    const qsizetype start = out.size();
    // Never more characters than bytes.
    out.resize(start + bytes.size());
    Folder folder(reinterpret_cast<char16_t*>(out.data()) + start);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char b = *p++;
        if (!IsLead(b)) {
            const char16_t c = table.single[b];
            if (IsHalfKana(c))
                folder.Put(c);
            else
                folder.PutFolded(c);
        } else if (p < end && IsTrail(*p)) {
            folder.PutFolded(table.pair[size_t(LeadIndex(b) * kTrails + (*p - 0x40))]);
            ++p;
        } else {
            folder.PutFolded(kNoMatch); // a lead byte cut off; the byte after it is read anew
        }
    }
    out.resize(start + folder.Written());
}

QString FoldCp932(QByteArrayView bytes) {
    QString out;
    AppendFoldedCp932(bytes, out);
    return out;
}

QString FoldQuery(QStringView typed) {
    // Composed the way the keyboard gives it, so a kana with a combining voiced mark is one character.
    const QString composed = typed.toString().normalized(QString::NormalizationForm_C);
    QString out(composed.size(), Qt::Uninitialized);
    Folder folder(reinterpret_cast<char16_t*>(out.data()));
    for (const QChar c : composed)
        folder.Put(c.unicode());
    out.resize(folder.Written());
    return out;
}

bool NeverMatches(QStringView foldedQuery) {
    return foldedQuery.contains(QChar(kNoMatch)) || foldedQuery.contains(QChar(0xFFFE));
}

} // namespace varnel::textfold
