#pragma once

#include "shell/sealnotices.h"

#include <QObject>
#include <functional>

class QTimer;
class QWidget;

namespace varnel {

class ArrivalNotice;
class MailViews;
class Varnel;
class WindowTray;

// The mail check every 2000 ms (Tm_CheckMail): takes in what arrived, announces new mail, refills
// the list, and shows by the window and tray icon whether unread mail waits.
class MailCheck final : public QObject {
    Q_OBJECT
public:
    MailCheck(Varnel& app, QWidget& window, MailViews& views, WindowTray& tray, ArrivalNotice& notice);

    void Start();
    // After this no tick does anything, one already queued included.
    void Stop();
    // Which icon the last check chose: true when unread mail waits.
    bool UnreadIcon() const { return m_unreadIcon; }
    // Runs at the end of every check.
    std::function<void()> afterCheck;

    // Counts the unread mail anew and shows it by the icons (UnreadChanged when the count changed):
    // at every check, and when a mail has been opened.
    void ShowUnread();

Q_SIGNALS:
    void UnreadChanged(int count);

private:
    void Tick();
    void ApplyIcon(bool unread);

    Varnel& m_app;
    QWidget& m_window;
    MailViews& m_views;
    WindowTray& m_tray;
    ArrivalNotice& m_notice;
    QTimer* m_timer = nullptr;
    bool m_stopped = false;
    bool m_unreadIcon = false;
    bool m_iconApplied = false;
    SealNotices m_sealNotices;
    bool m_fullTold = false; // the person has been told that the receive box is full
    int m_unreadCount = -1;  // as last shown; -1 before the first count
};

} // namespace varnel
