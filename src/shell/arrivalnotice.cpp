#include "shell/arrivalnotice.h"

#include "shell/mailviews.h"
#include "shell/prompt.h"
#include "shell/texts.h"
#include "shell/trayservice.h"
#include "shell/varnel.h"
#include "shell/windowtray.h"
#include "text/cp932.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

namespace varnel {

ArrivalNotice::ArrivalNotice(Varnel& app, QWidget& window, MailViews& views, WindowTray& tray)
    : m_app(app), m_window(window), m_views(views), m_tray(tray) {
    m_wait = new QTimer(&window);
    m_wait->setObjectName(QStringLiteral("Tm_ArrivalBox"));
    m_wait->setSingleShot(true);
    connect(m_wait, &QTimer::timeout, this, [this] { ShowBoxWhenTypingRests(); });
    // Keys go to whichever widget has the focus; the application sees them all first.
    qApp->installEventFilter(this);
    if (TrayService* service = app.Platform().tray)
        connect(service, &TrayService::MessageClicked, this, [this] { ShowNotifiedMail(); });
}

bool ArrivalNotice::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == &m_window)
            m_lastKey.start();
    } else if (event->type() == QEvent::WindowActivate && watched == &m_window) {
        m_unseen = 0;
    }
    return QObject::eventFilter(watched, event);
}

void ArrivalNotice::Announce(int count) {
    if (count <= 0)
        return;
    NotifyDesktop(count);
    if (!m_app.Settings().Popup)
        return;
    m_waiting += count;
    ShowBoxWhenTypingRests();
}

// One box for everything that arrived while it waited.
void ArrivalNotice::ShowBoxWhenTypingRests() {
    if (m_waiting == 0)
        return;
    if (m_lastKey.isValid() && !m_lastKey.hasExpired(kTypingPauseMs)) {
        m_wait->start(int(kTypingPauseMs - m_lastKey.elapsed()) + 1);
        return;
    }
    const int count = m_waiting;
    m_waiting = 0;
    m_app.Platform().prompt->Notice(&m_window, texts::MailsArrived(count), texts::Caption(),
                                    QMessageBox::Information, m_app.Settings().Front);
}

// Names the sender and title of the newest mail and how many came since the window was last used.
void ArrivalNotice::NotifyDesktop(int count) {
    TrayService* service = m_app.Platform().tray;
    const PostOffice& post = m_app.Post();
    if (!service || !post.MailBoxesOpen() || (m_window.isVisible() && m_window.isActiveWindow()))
        return;
    m_unseen += count;
    m_notifiedKey = post.KeyOf(Box::Receive, 0);
    if (m_notifiedKey.isEmpty())
        return;
    const MailHeader newest = post.HeaderOf(Box::Receive, 0);
    service->ShowMessage(texts::MailsArrived(m_unseen),
                         texts::NewestMail(cp932::Decode(newest.sender), cp932::Decode(newest.title)));
}

void ArrivalNotice::ShowNotifiedMail() {
    if (m_notifiedKey.isEmpty())
        return;
    if (!m_window.isVisible())
        m_tray.RestoreFromTray();
    if (!m_window.isVisible() || m_window.isMinimized())
        m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
    m_views.ShowReceivedMail(m_notifiedKey);
}

} // namespace varnel
