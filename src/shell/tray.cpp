#include "shell/mainwindow.h"

#include "shell/helpwindow.h"
#include "shell/trayservice.h"
#include "shell/varnel.h"

#include <QEvent>
#include <QTimer>

namespace varnel {

void TForm1::HideToTray() {
    TrayService* tray = m_app.services.tray;
    if (!tray)
        return;
    m_trayIconSet = true;
    // Only an icon that is really in the tray may take the window's place: otherwise the person
    // would have no way back to the window.
    if (tray->Add(windowIcon(), windowTitle()))
        hide();
}

void TForm1::RestoreFromTray() {
    TrayService* tray = m_app.services.tray;
    if (!tray || !tray->Remove())
        return;
    showNormal();
    raise();
    activateWindow();
}

void TForm1::UpdateTrayIcon() {
    TrayService* tray = m_app.services.tray;
    if (!tray || !m_trayIconSet)
        return;
    tray->Modify(windowIcon()); // fails without effect while the icon is not in the tray
}

void TForm1::Tm_AutoTrayTimer() {
    Tm_AutoTray->stop(); // once per run
    HideToTray();
}

void TForm1::PM_ReraiseClick() {
    RestoreFromTray();
}

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || m_trayPending)
        return;
    // Hiding from inside the state change confuses some window managers; do it right after.
    m_trayPending = true;
    QTimer::singleShot(0, this, [this] {
        m_trayPending = false;
        if (isMinimized() && isVisible())
            HideToTray(); // without a tray the window simply stays minimised
    });
}

} // namespace varnel
