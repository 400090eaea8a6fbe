#pragma once

#include "shell/texts.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QPlainTextEdit;
class QWidget;

namespace varnel {

class MailListModel;
class MailViews;
class NetworkTree;
class Varnel;
struct Recipient;

// The memo's text as CP932 bytes, its logical lines each followed by CR LF. False when a character
// cannot be encoded; badChar then names it.
bool BodyBytes(const QString& memoText, QByteArray& body, QString& badChar);

// Writing and sending mail: the recipient rows picked in the network tree (the first asks for the
// title), saving without sending, sending, and the refusals of what cannot travel.
// A QObject only so that the commands reach its handlers directly.
class Composer final : public QObject {
public:
    Composer(Varnel& app, QWidget& owner, MailViews& views, MailListModel& model, QPlainTextEdit& memo,
             NetworkTree& network);

    // The send command of the menu and the tool bar.
    void Send();
    // The send command of the list's pop-up menu.
    void SendFromList();
    // Stores the mail being written in the send box, one Saved copy per recipient row, without sending.
    // False when nothing was stored (no recipient, or what cannot travel, told); the mail then stays.
    bool SaveWithoutSending();
    // Adds the current machine of the network tree as a recipient of the mail being written.
    void AddRecipient();
    // Answers the selected mail of the receive box: the new-message view with its sender as the
    // recipient, "Re: " and its title, an empty text and the focus in it. A mail being written is
    // never taken over: the person is asked first whether to go on writing it (the default), to
    // keep it in the send box as saved, or to discard it.
    void Reply();

private:
    bool SendComposed();
    bool SendSelected();
    bool RowBytes(QList<Recipient>& rows);
    // Refuses a field or body that cannot travel; tells the person why. True when all is well.
    bool CheckOutgoing(const QList<Recipient>& rows, const QByteArray& body, bool sending);
    void RefuseCharacter(const QString& ch, texts::MailPart where);
    // One box naming every recipient whose copy could not leave now and those whose copy left for a
    // machine where the program is known not to run: each waits in the send box and goes by itself.
    void TellUnsent(const QList<QByteArray>& recipients, const QList<QByteArray>& stopped = {});
    void Warn(const QString& text);
    // After 送信, in the status bar: how many copies left, and how many wait to go with the retries.
    void SaySent(int sent, int waiting);
    // How many characters too many the text holds for a mail to row.
    int CharactersOver(const Recipient& row) const;
    // Discovery knows that the program is not running on this host.
    bool KnownStopped(const QByteArray& host) const;

    Varnel& m_app;
    QWidget& m_owner;
    MailViews& m_views;
    MailListModel& m_model;
    QPlainTextEdit& m_memo;
    NetworkTree& m_network;
};

} // namespace varnel
