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
// How many received mails wait unopened, for the status bar and the tray icon's tip.
QString UnreadCount(int count);
// The questions before 全て削除: of the message being written, of a whole mailbox.
QString ConfirmDiscardDraft();
QString ConfirmDeleteAll(const QString& boxName, int count);
// The box about the lines of the directory file that the listing skipped; empty without lines.
QString SourceNoticeText(const SourceNotice& notice);
// The same, one line per skipped line, for stderr.
QByteArray SourceNoticeLog(const SourceNotice& notice);
// Why a stored setting stopped the reading or writing, for the error box.
QString SettingTrouble(const SettingsReport& report);

// Writing a mail. The parts of a mail the refusals name; sending tells the act refused (送信, else
// 保存).
enum class MailPart { Title, Sender, Recipient, Body };
// A character the way a refusal names it: 「表」(U+8868), or 制御文字 U+0007.
QString CharacterName(const QString& ch);
// Why a mail cannot be sent or saved as it stands.
QString Unencodable(MailPart part, const QString& characterName);
QString TitleRefused(const QString& why, bool sending);
QString ReservedInField(MailPart part, const QString& value, const QString& characterName, bool sending);
QString HeaderTooLong(bool sending, qsizetype maxHeader);
QString BodyTooLong(bool sending, int charactersOver, qsizetype maxMail);
QString ReservedInBody(const QString& characterName, bool sending);
QString NoRecipient();
// The status bar after 送信: how many copies left, and how many wait to go with the retries.
QString SentCount(int sent, int waiting);
// The question before a reply while a mail is being written, and its answers.
QString DraftBeforeReply();
QString KeepWriting();
QString SaveDraftAndReply();
QString DiscardDraftAndReply();

// Titles the person cannot send as they stand: a character without a CP932 form, one that is a
// mark or the separator (an empty character: a control character), one whose second byte is the
// separator.
QString TitleUnencodable(const QString& ch);
QString TitleSeparator(const QString& ch);
QString TitleSplitByCharacter(const QString& ch);

// The list: the search field, its count, the sort's way back, a mail left unopened among many
// selected, the question before deleting several.
QString SearchPlaceholder();
QString SearchTip();
QString MatchCount(int count);
QString BoxOrder();
QString UnopenedAmongMany();
QString ConfirmDeleteSelected(int count);

// The message boxes' buttons, and the box of a full mailbox.
QString RetryButton();
QString DontSaveButton();
QString YesButton();
QString NoButton();
QString BoxFull(const QString& boxName);

// The dialogs' captions; the title dialog's word for an empty title.
QString InfoCaption();
QString TitleCaption();
QString SettingCaption();
QString EmptyTitle();

// Elsewhere: the help window's caption, the notification's action, an error nobody named.
QString HelpCaption();
QString OpenAction();
QString UnknownError();

} // namespace varnel::texts
