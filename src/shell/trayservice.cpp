#include "shell/trayservice.h"

#include "shell/texts.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace varnel {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

SystemTray::SystemTray(QObject* parent) : TrayService(parent), m_icon(new QSystemTrayIcon(this)) {
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            Q_EMIT DoubleClicked();
            break;
        case QSystemTrayIcon::Context:
            Q_EMIT MenuRequested(QCursor::pos());
            break;
        default:
            break; // single clicks and the middle button do nothing
        }
    });
    connect(m_icon, &QSystemTrayIcon::messageClicked, this, &TrayService::MessageClicked);
}

SystemTray::~SystemTray() {
    m_icon->hide();
}

bool SystemTray::Add(const QIcon& icon, const QString& tip) {
    if (!QSystemTrayIcon::isSystemTrayAvailable() || m_icon->isVisible())
        return false;
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
    m_icon->show();
    return true;
}

bool SystemTray::Remove() {
    if (!m_icon->isVisible())
        return false;
    m_icon->hide();
    return true;
}

bool SystemTray::Modify(const QIcon& icon) {
    if (!m_icon->isVisible())
        return false;
    m_icon->setIcon(icon);
    return true;
}

void SystemTray::SetTip(const QString& tip) {
    m_icon->setToolTip(tip);
}

bool SystemTray::IsShown() const {
    return m_icon->isVisible();
}

bool SystemTray::ShowMessage(const QString& title, const QString& text) {
    if (m_icon->isVisible() && QSystemTrayIcon::supportsMessages()) {
        m_icon->showMessage(title, text, QSystemTrayIcon::Information, 15000);
        return true;
    }
    return NotifyOverBus(title, text);
}

// org.freedesktop.Notifications: one notification at a time, replaced by the next, whose default
// action (a click on it) brings the mail up.
bool SystemTray::NotifyOverBus(const QString& title, const QString& text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!m_busWatched) {
        m_busWatched = true;
        bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                    SLOT(NotificationAction(uint, QString)));
        bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                    SLOT(NotificationClosed(uint, uint)));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // Plain text: the service may read markup in the body, so the characters that start it are escaped.
    QString body = text;
    body.replace(u'&', QStringLiteral("&amp;"))
        .replace(u'<', QStringLiteral("&lt;"))
        .replace(u'>', QStringLiteral("&gt;"));
    call << QStringLiteral("Varnel") << m_notification << QStringLiteral("varnel") << title << body
         << QStringList{QStringLiteral("default"), texts::OpenAction()} << QVariantMap{} << 15000;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        const QDBusPendingReply<uint> reply = *done;
        if (!reply.isError())
            m_notification = reply.value();
        done->deleteLater();
    });
    return true;
}

void SystemTray::NotificationAction(uint id, const QString& action) {
    if (id != 0 && id == m_notification && action == QLatin1String("default"))
        Q_EMIT MessageClicked();
}

void SystemTray::NotificationClosed(uint id, uint) {
    if (id == m_notification)
        m_notification = 0;
}

} // namespace varnel
