#pragma once

#include "network/netprovider.h"
#include "settings/settingslogic.h"

#include <QByteArray>

#include <QString>

namespace varnel::texts {

// The words of the window that more than one part shows: the captions of the boxes and the names
// the person knows the mailboxes by.
QString Caption();    // "Varnel for Windows95": the main window and its message boxes
QString LocalError(); // the caption of boxes about this machine: endpoint, settings, disk
QString SendBoxName();
QString ReceiveBoxName();
// The start-up's boxes: the mail endpoint, the settings, the network listing, this machine's name.
QString EndpointFailed();
QString SettingsFailed();
QString NoNetwork();
QString HostNameFailed();
// How many mails arrived, for the box and the desktop notification; the newest one's sender and
// title, for the notification.
QString MailsArrived(int count);
QString NewestMail(const QString& sender, const QString& title);
// The questions before 全て削除: of the message being written, of a whole mailbox.
QString ConfirmDiscardDraft();
QString ConfirmDeleteAll(const QString& boxName, int count);
// The box about the lines of the directory file that the listing skipped; empty without lines.
QString SourceNoticeText(const SourceNotice& notice);
// The same, one line per skipped line, for stderr.
QByteArray SourceNoticeLog(const SourceNotice& notice);
// Why a stored setting stopped the reading or writing, for the error box.
QString SettingTrouble(const SettingsReport& report);

} // namespace varnel::texts
