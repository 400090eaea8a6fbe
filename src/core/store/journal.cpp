#include "store/journal.h"

#include <QCryptographicHash>
#include <QtEndian>
#include <array>
#include <cstdint>

namespace varnel::journal {
namespace {

constexpr char kMagic[] = "VNJRNL1\n";
constexpr qsizetype kMagicSize = 8;
constexpr qsizetype kFrameHead = 8;
constexpr qsizetype kDigestSize = 32;

constexpr std::array<quint32, 256> MakeCrcTable() {
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<quint32, 256> kCrcTable = MakeCrcTable();

quint32 Crc32(quint32 crc, QByteArrayView bytes) {
    crc = ~crc;
    for (const char byte : bytes)
        crc = kCrcTable[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void Put32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void Put64(QByteArray& out, quint64 value) {
    char bytes[8];
    qToLittleEndian(value, bytes);
    out.append(bytes, 8);
}

QByteArray Frame(const QByteArray& payload) {
    QByteArray frame;
    frame.reserve(kFrameHead + payload.size());
    Put32(frame, quint32(payload.size()));
    Put32(frame, Crc32(Crc32(0, QByteArrayView(frame.constData(), 4)), payload));
    frame += payload;
    return frame;
}

QByteArray Named(char kind, qint64 size, const QByteArray& digest) {
    QByteArray payload(1, kind);
    Put64(payload, quint64(size));
    payload += digest;
    return payload;
}

// The text as a treap of pieces of the base and of the journal, ordered by position: an edit splits
// and joins pieces instead of moving the bytes behind it.
class Rope {
public:
    Rope(QByteArrayView base, size_t edits) {
        m_nodes.reserve(1 + 3 * edits); // no reallocation: references to nodes stay valid
        m_root = Make(base.data(), base.size());
    }

    qsizetype Size() const { return Total(m_root); }

    void Splice(qsizetype at, qsizetype removed, QByteArrayView inserted) {
        int left = -1;
        int rest = -1;
        int middle = -1;
        int right = -1;
        Split(m_root, at, left, rest);
        Split(rest, removed, middle, right);
        m_root = Merge(Merge(left, Make(inserted.data(), inserted.size())), right);
    }

    void AppendTo(QByteArray& out) const {
        std::vector<int> stack;
        for (int t = m_root; t >= 0 || !stack.empty();) {
            for (; t >= 0; t = m_nodes[size_t(t)].left)
                stack.push_back(t);
            t = stack.back();
            stack.pop_back();
            const Node& node = m_nodes[size_t(t)];
            out.append(node.data, node.size);
            t = node.right;
        }
    }

private:
    struct Node {
        const char* data;
        qsizetype size;
        qsizetype total;
        quint32 priority;
        int left;
        int right;
    };

    qsizetype Total(int t) const { return t < 0 ? 0 : m_nodes[size_t(t)].total; }

    int Make(const char* data, qsizetype size) {
        if (size == 0)
            return -1;
        m_seed ^= m_seed << 13; // xorshift: balance only, nothing depends on the values
        m_seed ^= m_seed >> 17;
        m_seed ^= m_seed << 5;
        m_nodes.push_back(Node{data, size, size, m_seed, -1, -1});
        return int(m_nodes.size() - 1);
    }

    void Update(int t) {
        Node& node = m_nodes[size_t(t)];
        node.total = node.size + Total(node.left) + Total(node.right);
    }

    // Splits t into the pieces before position pos and those from it on.
    void Split(int t, qsizetype pos, int& before, int& after) {
        if (t < 0) {
            before = after = -1;
            return;
        }
        Node& node = m_nodes[size_t(t)];
        const qsizetype leftTotal = Total(node.left);
        if (pos <= leftTotal) {
            Split(node.left, pos, before, node.left);
            after = t;
        } else if (pos >= leftTotal + node.size) {
            Split(node.right, pos - leftTotal - node.size, node.right, after);
            before = t;
        } else {
            const qsizetype cut = pos - leftTotal;
            const int tail = Make(node.data + cut, node.size - cut);
            const int right = node.right;
            node.size = cut;
            node.right = -1;
            before = t;
            after = Merge(tail, right);
        }
        Update(t);
    }

    int Merge(int a, int b) {
        if (a < 0)
            return b;
        if (b < 0)
            return a;
        if (m_nodes[size_t(a)].priority >= m_nodes[size_t(b)].priority) {
            const int merged = Merge(m_nodes[size_t(a)].right, b);
            m_nodes[size_t(a)].right = merged;
            Update(a);
            return a;
        }
        const int merged = Merge(a, m_nodes[size_t(b)].left);
        m_nodes[size_t(b)].left = merged;
        Update(b);
        return b;
    }

    std::vector<Node> m_nodes;
    int m_root = -1;
    quint32 m_seed = 2463534242u;
};

} // namespace

QByteArray Digest(QByteArrayView text) {
    return QCryptographicHash::hash(text, QCryptographicHash::Blake2b_256);
}

QByteArray Start(qint64 size, const QByteArray& digest) {
    return QByteArray(kMagic, kMagicSize) + Frame(Named('B', size, digest));
}

QByteArray EditFrame(qsizetype at, qsizetype removed, QByteArrayView inserted) {
    QByteArray payload;
    payload.reserve(9 + inserted.size());
    payload.append('E');
    Put32(payload, quint32(at));
    Put32(payload, quint32(removed));
    payload.append(inserted);
    return Frame(payload);
}

QByteArray CheckpointFrame(qint64 size, const QByteArray& digest) {
    return Frame(Named('C', size, digest));
}

namespace {

// The payload of the whole frame at p, when one stands there: its length fits, its CRC matches and
// its kind is one this journal writes.
bool FrameAt(QByteArrayView bytes, qsizetype p, QByteArrayView& payload) {
    if (bytes.size() - p < kFrameHead)
        return false;
    const quint32 length = qFromLittleEndian<quint32>(bytes.data() + p);
    if (length == 0 || length > quint64(bytes.size() - p - kFrameHead))
        return false;
    const QByteArrayView body = bytes.sliced(p + kFrameHead, length);
    const char kind = body[0];
    const bool named = body.size() == 1 + 8 + kDigestSize;
    if (!((kind == 'E' && body.size() >= 9) || ((kind == 'B' || kind == 'C') && named)))
        return false;
    if (Crc32(Crc32(0, bytes.sliced(p, 4)), body) != qFromLittleEndian<quint32>(bytes.data() + p + 4))
        return false;
    payload = body;
    return true;
}

} // namespace

Parsed Parse(QByteArrayView bytes) {
    Parsed parsed;
    if (bytes.size() < kMagicSize || bytes.first(kMagicSize) != QByteArrayView(kMagic, kMagicSize)) {
        parsed.torn = !bytes.isEmpty();
        return parsed;
    }
    qsizetype p = kMagicSize;
    for (;;) {
        if (parsed.started || !parsed.damage.empty())
            parsed.validLength = p;
        if (p == bytes.size())
            break;
        QByteArrayView payload;
        bool whole = FrameAt(bytes, p, payload);
        const char kind = whole ? payload[0] : 0;
        // A base frame anywhere but first, or anything before it, is not one this journal wrote.
        const bool begun = parsed.started || !parsed.damage.empty();
        if (whole && (kind == 'B' ? begun : !begun))
            whole = false;
        if (whole && kind != 'E' && qFromLittleEndian<qint64>(payload.data() + 1) < 0)
            whole = false;
        if (!whole) {
            // Damage when a whole frame follows; otherwise the torn end of the last write.
            qsizetype next = p + 1;
            while (next <= bytes.size() - kFrameHead && !FrameAt(bytes, next, payload))
                ++next;
            if (next > bytes.size() - kFrameHead)
                break;
            parsed.damage.push_back(Damage{p, next - p, parsed.edits.size()});
            p = next;
            continue;
        }
        if (kind == 'B' || kind == 'C') {
            const qint64 size = qFromLittleEndian<qint64>(payload.data() + 1);
            parsed.marks.push_back(Mark{size, payload.sliced(9).toByteArray(), parsed.edits.size()});
            parsed.started = parsed.started || kind == 'B';
        } else {
            const quint32 at = qFromLittleEndian<quint32>(payload.data() + 1);
            const quint32 removed = qFromLittleEndian<quint32>(payload.data() + 5);
            parsed.edits.push_back(Edit{qsizetype(at), qsizetype(removed), payload.sliced(9)});
        }
        p += kFrameHead + payload.size();
    }
    parsed.torn = parsed.validLength < bytes.size();
    return parsed;
}

bool Replay(QByteArrayView base, const std::vector<Edit>& edits, size_t from, QByteArray& out) {
    return Replay(base, edits, from, edits.size(), out);
}

bool Replay(QByteArrayView base, const std::vector<Edit>& edits, size_t from, size_t to, QByteArray& out) {
    if (from > to || to > edits.size())
        return false;
    Rope rope(base, to - from);
    for (size_t k = from; k < to; ++k) {
        const Edit& edit = edits[k];
        const qsizetype size = rope.Size();
        if (edit.at < 0 || edit.removed < 0 || edit.at > size || edit.removed > size - edit.at)
            return false;
        rope.Splice(edit.at, edit.removed, edit.inserted);
    }
    QByteArray text;
    text.reserve(rope.Size());
    rope.AppendTo(text);
    out = std::move(text);
    return true;
}

} // namespace varnel::journal
