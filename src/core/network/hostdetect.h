#pragma once

#include <QByteArray>

namespace varnel {

class MailSlot;
class NetBrowser;

// The probe: record mark, "check", header end mark.
QByteArray ProbeText();

// Finds this machine's name as the network lists it: the first host whose probe comes back to the
// local endpoint. On success copies that name into localHostName and returns true; otherwise leaves
// it unchanged. Mail read while probing is held back for the next mail check.
bool DetectLocalHostName(MailSlot& slot, const NetBrowser& browser, QByteArray& localHostName);

} // namespace varnel
