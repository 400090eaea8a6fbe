#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

class QTimer;
class QWidget;

namespace varnel {

class MailViews;
class Varnel;
class WindowTray;

// Tells the person that mail has arrived: the new-mail box when the settings ask for it, and a
// desktop notification while the window is hidden or not active. Neither ever takes a key typed in
// the window: the box waits while the person types and then appears without taking the focus.
class ArrivalNotice final : public QObject {
    Q_OBJECT
public:
    // How long the keyboard must rest before the box appears over a window being typed in.
    static constexpr int kTypingPauseMs = 1500;

    ArrivalNotice(Varnel& app, QWidget& window, MailViews& views, WindowTray& tray);

    // count new mails were stored in this check; the newest is record 0 of the receive box.
    void Announce(int count);
    // Brings the window up with the receive box and the mail of the last notification selected.
    void ShowNotifiedMail();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowBoxWhenTypingRests();
    void NotifyDesktop(int count);

    Varnel& m_app;
    QWidget& m_window;
    MailViews& m_views;
    WindowTray& m_tray;
    QTimer* m_wait = nullptr; // Tm_ArrivalBox: looks again whether the typing has rested
    QElapsedTimer m_lastKey;  // the last key pressed in the window
    int m_waiting = 0;        // mails announced by no box yet
    int m_unseen = 0;         // mails that arrived since the window was last active
    QByteArray m_notifiedKey; // the record key of the newest mail in the last notification
};

} // namespace varnel
