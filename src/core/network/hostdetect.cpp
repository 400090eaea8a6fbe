#include "network/hostdetect.h"

#include "network/netbrowser.h"
#include "store/mailrecord.h"
#include "transport/mailslot.h"
#include "transport/textfields.h"

#include <QList>

namespace varnel {

namespace {

// A text is a probe when its header, from the first record mark to the last header end mark, is
// the probe text; that is how the mail check would cut it too.
bool IsProbe(const QByteArray& text) {
    const int begin = TextFields::FirstIndexOf(text, kRecordMark);
    const int end = TextFields::LastIndexOf(text, kHeaderEnd);
    if (begin < 0 || end < begin)
        return false;
    QByteArray header;
    TextFields::CopyRange(header, text, begin, end);
    return header == ProbeText();
}

enum class Look { Drain, UntilOwnProbe };

// Reads what is waiting (with UntilOwnProbe, up to a probe from this machine itself) and returns
// whether a probe of ours came. Mail is kept for the mail check. Probes of other machines are
// dropped: any machine may send them at any time, and one of theirs says nothing about the host
// just probed.
using Kept = QList<std::pair<QByteArray, Seal>>;

bool TakeWaiting(MailSlot& slot, Kept& kept, Look look) {
    QByteArray text;
    for (int reads = 0; reads < kMaxReadsPerLook && slot.ReadOne(text); ++reads) {
        if (IsProbe(text)) {
            if (look == Look::UntilOwnProbe && slot.LastFromThisMachine())
                return true;
        } else if (!text.isEmpty() && kept.size() < kMaxKeptMail) { // empty: an oversized datagram
            kept.append({text, slot.LastSeal()});
        }
    }
    return false;
}

} // namespace

QByteArray ProbeText() {
    return QByteArray(1, kRecordMark) + "check" + kHeaderEnd;
}

bool DetectLocalHostName(MailSlot& slot, const NetBrowser& browser, QByteArray& localHostName) {
    QList<QByteArray> hosts;
    for (int i = 1; i <= browser.GetHostCount(); ++i) {
        QByteArray host;
        browser.GetHostName(host, i);
        hosts.append(host);
    }
    // All names at once, in the background: a name whose lookup has not answered by then is not
    // waited for, and its probe goes out if it ever resolves.
    slot.Resolve(hosts, kNameLookupWait);

    // Mail that waits or arrives meanwhile is not this run's business: it goes back to the slot
    // afterwards, in arrival order. Probes already waiting are stale and must not be credited to
    // the first host.
    Kept kept;
    TakeWaiting(slot, kept, Look::Drain);

    int found = 0;
    const QByteArray probe = ProbeText();
    for (int i = 1; i <= hosts.size(); ++i) {
        slot.SendWhenResolved(hosts[i - 1], probe);
        // No waiting: a probe to this machine is back as soon as it was sent. A probe of ours read
        // now is credited to host i, whichever send it came from.
        if (TakeWaiting(slot, kept, Look::UntilOwnProbe)) {
            found = i;
            break;
        }
    }

    for (const auto& [text, seal] : kept)
        slot.HoldBack(text, seal);

    if (found == 0)
        return false;
    browser.GetHostName(localHostName, found);
    return true;
}

} // namespace varnel
