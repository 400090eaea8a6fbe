#include "shell/mailcheck.h"

#include "shell/arrivalnotice.h"
#include "shell/icons.h"
#include "shell/mailviews.h"
#include "shell/prompt.h"
#include "shell/storetexts.h"
#include "shell/texts.h"
#include "shell/varnel.h"
#include "shell/windowtray.h"

#include <QTimer>
#include <QWidget>

namespace varnel {

MailCheck::MailCheck(Varnel& app, QWidget& window, MailViews& views, WindowTray& tray, ArrivalNotice& notice)
    : m_app(app), m_window(window), m_views(views), m_tray(tray), m_notice(notice),
      m_sealNotices(app.Post().Seals(), *app.Platform().prompt, &window) {
    // The timer belongs to the window, where it is found by its name.
    m_timer = new QTimer(&window);
    m_timer->setObjectName(QStringLiteral("Tm_CheckMail"));
    m_timer->setInterval(2000);
    // Queued, so the timer's own event is over when the handler runs: a timer does not fire again
    // while its event is being handled, and the check must go on inside the arrival box it opens.
    connect(
        m_timer, &QTimer::timeout, this, [this] { Tick(); }, Qt::QueuedConnection);
}

void MailCheck::Start() {
    m_timer->start();
}

void MailCheck::Stop() {
    m_stopped = true;
    m_timer->stop();
}

void MailCheck::Tick() {
    PostOffice& post = m_app.Post();
    if (m_stopped || !post.MailBoxesOpen())
        return;
    const PostOffice::CheckOutcome outcome = post.CheckMail();
    const Courier::CheckResult& result = outcome.mail;
    // A write to disk that began to fail is told once; the store tries again at every tick.
    if (const QString notice = storetexts::Text(outcome.storeNotices); !notice.isEmpty()) {
        m_app.Platform().prompt->Show(&m_window, notice, texts::LocalError(), QMessageBox::Warning);
        if (m_stopped || !post.MailBoxesOpen())
            return;
    }
    // Key changes and refused plain mail, each told once.
    m_sealNotices.AfterCheck();
    if (m_stopped || !post.MailBoxesOpen())
        return;
    if (result.receiveBoxFull && !m_fullTold) {
        m_fullTold = true;
        TellBoxFull(*m_app.Platform().prompt, &m_window, texts::ReceiveBoxName());
    }
    if (result.newCount > 0) {
        // Ticks and commands go on while a box is up; this run is done with what it read.
        m_notice.Announce(result.newCount);
        if (m_stopped || !post.MailBoxesOpen())
            return;
    }
    if (result.takenIn && m_views.CurrentView() != View::Make)
        m_views.RefillKeepingSelection();
    ShowUnread();
    if (afterCheck)
        afterCheck();
}

void MailCheck::ShowUnread() {
    const PostOffice& post = m_app.Post();
    if (m_stopped || !post.MailBoxesOpen())
        return;
    const int count = post.UnreadCount();
    ApplyIcon(count > 0);
    m_tray.UpdateIcon();
    if (count != m_unreadCount) {
        m_unreadCount = count;
        Q_EMIT UnreadChanged(count);
    }
}

void MailCheck::ApplyIcon(bool unread) {
    if (unread == m_unreadIcon && m_iconApplied)
        return;
    m_iconApplied = true;
    m_unreadIcon = unread;
    m_window.setWindowIcon(icons::MailState(unread));
}

} // namespace varnel
