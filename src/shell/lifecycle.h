#pragma once

#include <functional>

class QWidget;

namespace varnel {

class MailCheck;
class MailViews;
class NetworkTree;
class Varnel;
class WindowTray;

// The start-up steps (endpoint, settings, network, mailboxes, timers) and the close steps that
// write everything back, run once however the close is asked for.
class Lifecycle {
public:
    Lifecycle(Varnel& app, QWidget& window, NetworkTree& network, MailViews& views, MailCheck& mailCheck,
              WindowTray& tray);

    // Each step that fails tells the person; the first two end the program.
    void Start();
    // The close steps, then the end of the program.
    void RequestClose();
    bool Closed() const { return m_closed; }
    // The settings were read in this run (and so are written back at the close).
    bool SettingsRead() const { return m_settingsRead; }

    // Runs first among the close steps, when the settings were read in this run: what the window
    // keeps for the next run is written beside them.
    std::function<void()> rememberWindow;

private:
    void RunCloseSteps();
    void LoadMailBoxes();
    void SaveMailBoxes();

    Varnel& m_app;
    QWidget& m_window;
    NetworkTree& m_network;
    MailViews& m_views;
    MailCheck& m_mailCheck;
    WindowTray& m_tray;
    bool m_closed = false;
    bool m_settingsRead = false;
};

} // namespace varnel
