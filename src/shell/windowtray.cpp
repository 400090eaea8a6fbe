#include "shell/windowtray.h"

#include "shell/trayservice.h"

#include <QTimer>
#include <QWidget>

namespace varnel {

WindowTray::WindowTray(QWidget& window, TrayService* tray) : m_window(window), m_tray(tray) {
    // The timer belongs to the window, where it is found by its name.
    m_autoTray = new QTimer(&window);
    m_autoTray->setObjectName(QStringLiteral("Tm_AutoTray"));
    m_autoTray->setInterval(2000);
    connect(m_autoTray, &QTimer::timeout, this, [this] {
        m_autoTray->stop(); // once per run
        HideToTray();
    });
}

void WindowTray::HideToTray() {
    if (!m_tray)
        return;
    m_iconSet = true;
    // Otherwise the person would have no way back to the window.
    if (m_tray->Add(m_window.windowIcon(), m_tip.isEmpty() ? m_window.windowTitle() : m_tip))
        m_window.hide();
}

void WindowTray::RestoreFromTray() {
    if (!m_tray || !m_tray->Remove())
        return;
    m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
}

void WindowTray::UpdateIcon() {
    if (!m_tray || !m_iconSet)
        return;
    m_tray->Modify(m_window.windowIcon()); // fails without effect while the icon is not in the tray
}

void WindowTray::SetTip(const QString& tip) {
    m_tip = tip;
    if (m_tray)
        m_tray->SetTip(tip);
}

void WindowTray::WindowStateChanged() {
    if (!m_window.isMinimized() || m_trayPending)
        return;
    // Hiding from inside the state change confuses some window managers; do it right after.
    m_trayPending = true;
    QTimer::singleShot(0, this, [this] {
        m_trayPending = false;
        if (m_window.isMinimized() && m_window.isVisible())
            HideToTray(); // without a tray the window simply stays minimised
    });
}

void WindowTray::StartAutoTray() {
    m_autoTray->start();
}

void WindowTray::StopAutoTray() {
    m_autoTray->stop();
}

} // namespace varnel
