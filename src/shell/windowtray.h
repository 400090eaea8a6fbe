#pragma once

#include <QObject>

class QTimer;
class QWidget;

namespace varnel {

class TrayService;

// Puts the main window away into the tray and brings it back, keeps the tray picture in step with
// the window icon, and hides the window once shortly after the start when the settings ask for it.
class WindowTray final : public QObject {
    Q_OBJECT
public:
    // tray may be null: there is then no tray at all and the window stays where it is.
    WindowTray(QWidget& window, TrayService* tray);

    // Only an icon that really is in the tray takes the window's place.
    void HideToTray();
    void RestoreFromTray();
    // Gives the tray icon the window's current icon, once the window has been put away at least once.
    void UpdateIcon();
    // The icon's tip, from now on; the window's caption until set.
    void SetTip(const QString& tip);
    // The window has been minimised, or its state otherwise changed.
    void WindowStateChanged();

    // The one hiding shortly after the start (Tm_AutoTray).
    void StartAutoTray();
    void StopAutoTray();

private:
    QWidget& m_window;
    TrayService* m_tray;
    QTimer* m_autoTray = nullptr;
    bool m_iconSet = false;     // the tray record has been filled by a first HideToTray
    bool m_trayPending = false; // a minimise is on its way to the tray
    QString m_tip;
};

} // namespace varnel
