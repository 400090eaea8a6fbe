#pragma once

#include <QByteArray>
#include <chrono>

namespace varnel {

class MailSlot;
class NetBrowser;

// The probe: record mark, "check", header end mark.
QByteArray ProbeText();

// How long detection waits in all for the listed names to be looked up before it probes.
inline constexpr std::chrono::milliseconds kNameLookupWait{1000};
// One look at the endpoint reads at most this many datagrams, so that a flood cannot hold detection
// for long; the kernel's queue for the mail port holds fewer than this.
inline constexpr int kMaxReadsPerLook = 20000;
// Mail kept for the mail check while detecting: ten batches' worth. Mail beyond it is dropped
// unanswered, so its sender does not see it as delivered.
inline constexpr qsizetype kMaxKeptMail = 100;

// Finds this machine's name as the network lists it: the first host whose probe comes back to the
// local endpoint, from one of this machine's own addresses. On success copies that name into
// localHostName and returns true; otherwise leaves it unchanged. Mail read while probing is held
// back for the next mail check; probes from other machines are dropped.
bool DetectLocalHostName(MailSlot& slot, const NetBrowser& browser, QByteArray& localHostName);

} // namespace varnel
