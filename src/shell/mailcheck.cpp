#include "shell/mailcheck.h"

#include "shell/icons.h"
#include "shell/mailviews.h"
#include "shell/prompt.h"
#include "shell/varnel.h"
#include "shell/windowtray.h"

#include <QTimer>
#include <QWidget>

namespace varnel {

MailCheck::MailCheck(Varnel& app, QWidget& window, MailViews& views, WindowTray& tray)
    : m_app(app), m_window(window), m_views(views), m_tray(tray) {
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
    if (m_stopped || !m_app.courier)
        return;
    const Courier::CheckResult result = m_app.courier->CheckMail();
    // A write to disk that began to fail is told once; the store tries again at every tick.
    if (const QString notice = m_app.store ? m_app.store->TakeNotice() : QString(); !notice.isEmpty()) {
        m_app.services.prompt->Show(&m_window, notice, QStringLiteral("ﾛｰｶﾙｴﾗｰ"), QMessageBox::Warning);
        if (m_stopped || !m_app.courier)
            return;
    }
    if (result.receiveBoxFull && !m_fullTold) {
        m_fullTold = true;
        TellBoxFull(*m_app.services.prompt, &m_window, QStringLiteral("受信BOX"));
    }
    if (result.newCount > 0 && m_app.Settings.Popup && m_arrivalBoxes < kMaxArrivalBoxes) {
        // The box runs its own loop and ticks go on meanwhile, each opening its own box on top;
        // this run is done with what it read.
        ++m_arrivalBoxes;
        m_app.services.prompt->Show(
            &m_window, QString::number(result.newCount) + QStringLiteral("通のメールが届きました"),
            QStringLiteral("Varnel for Windows95"), QMessageBox::Information, m_app.Settings.Front);
        --m_arrivalBoxes;
        if (m_stopped || !m_app.courier)
            return;
    }
    if (result.takenIn && m_views.CurrentView() != View::Make)
        m_views.ShowView();
    ApplyIcon(m_app.courier->HasUnread());
    m_tray.UpdateIcon();
}

void MailCheck::ApplyIcon(bool unread) {
    if (unread == m_unreadIcon && m_iconApplied)
        return;
    m_iconApplied = true;
    m_unreadIcon = unread;
    m_window.setWindowIcon(icons::MailState(unread));
}

} // namespace varnel
