// Mailbox texts come from files on disk and records from peers: any bytes at all must give
// answers without reading or writing out of bounds, and no edit may pass the cap or store a zero.
#include "store/mailbox.h"
#include "store/mailrecord.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

using varnel::MailBox;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

void CheckInvariants(const MailBox& box) {
    const QByteArray& text = box.Text();
    Check(text.size() <= box.Cap());
    Check(!text.contains('\0'));
    Check(box.MarkCount() == int(text.count(varnel::kRecordMark)));
    for (int i = 0; i < box.MarkCount(); ++i)
        Check(text[box.RecordStart(i)] == varnel::kRecordMark);
}

void Lookups(const MailBox& box, int limit) {
    QByteArray out;
    for (int i = -2; i <= std::min(box.MarkCount(), limit) + 1; ++i) {
        const int s = box.RecordStart(i);
        const int e = box.HeaderEnd(i);
        Check(s >= -1 && e >= -1 && s < box.Text().size() && e < box.Text().size());
        Check(box.StatusOf(i) >= -1 && box.StatusOf(i) <= 3);
        for (int n = -2; n <= 6; ++n) {
            const QByteArray field = box.FieldOf(i, n);
            Check(field.size() <= box.Text().size() || field == "-1");
        }
        if (box.HeaderOf(i, out))
            Check(out.front() == varnel::kRecordMark && out.back() == varnel::kHeaderEnd);
        if (box.KeyOf(i, out))
            Check(!out.isEmpty());
        Check(varnel::FirstReservedInBody(box.Body(i)) == -1);
        for (int j = -1; j <= 3; ++j)
            box.BodyLine(i, j, out);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    // Four bytes choose the cap and the indices; the rest is the text.
    const int a = data[0] % 10 - 2;
    const int b = data[1] % 10 - 2;
    const QByteArrayView text(reinterpret_cast<const char*>(data + 4), qsizetype(size - 4));
    MailBox box(data[2] % 2 ? MailBox::kDefaultCap : text.size() / 2 + data[3] % 32);
    const bool taken = box.SetText(text);
    Check(taken || box.Text().isEmpty());
    if (!taken)
        Check(box.SetText(text.first(std::min(text.size(), box.Cap()))));
    CheckInvariants(box);
    Lookups(box, 64);

    QByteArray key;
    QByteArray header;
    box.KeyOf(a, key);
    box.HeaderOf(b, header);
    const QByteArrayView piece = text.first(std::min<qsizetype>(text.size(), data[3] % 24));
    switch (data[2] / 2 % 4) {
    case 0:
        box.SetStatusByKey(key.isEmpty() ? piece.toByteArray() : key, b);
        break;
    case 1:
        if (header.size() > 1)
            header[1] = "KSGR"[data[3] % 4];
        box.ReplaceHeaderByKey(header.isEmpty() ? piece.toByteArray() : header);
        break;
    case 2:
        box.InsertReadTime(a, piece);
        break;
    default:
        box.Prepend(piece);
        break;
    }
    CheckInvariants(box);
    box.DeleteRecord(b);
    CheckInvariants(box);
    Lookups(box, 64);
    return 0;
}
