#include "shell/trayservice.h"

#include <QCursor>
#include <QSystemTrayIcon>

namespace varnel {

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

bool SystemTray::IsShown() const {
    return m_icon->isVisible();
}

} // namespace varnel
