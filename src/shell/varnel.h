#pragma once

#include "clock.h"
#include "network/netbrowser.h"
#include "settings/settings.h"
#include "store/mailbox.h"
#include "store/mailstore.h"
#include "transport/courier.h"
#include "transport/mailslot.h"

#include <QByteArray>
#include <QObject>
#include <memory>

namespace varnel {

class Endpoint;
class MailboxFiles;
class NetProvider;
class Prompt;
class SettingsStore;
class InfoDialog;
class MainWindow;
class SettingDialog;
class TitleDialog;
class TrayService;

// The platform as the program sees it. The caller owns every service and keeps it alive for the
// life of the Varnel object.
struct Services {
    Endpoint* endpoint = nullptr;
    NetProvider* provider = nullptr;
    SettingsStore* settings = nullptr;
    MailboxFiles* files = nullptr;
    const Clock* clock = nullptr;
    Prompt* prompt = nullptr;
    TrayService* tray = nullptr;
};

// The application object: it owns every process-wide object of one running copy, so two copies can
// live side by side in one process.
class Varnel : public QObject {
    Q_OBJECT
public:
    explicit Varnel(const Services& services, QObject* parent = nullptr);
    ~Varnel() override;

    // Runs the start-up steps, then shows the main window.
    void Start();
    // The close steps, then Finished; once only, however often it is asked for.
    void RequestClose();
    // The close steps have run (or a failed start-up ran them).
    bool Closed() const;

    // The windows: the main window and its three dialogs.
    MainWindow& Window() const { return *m_window; }
    SettingDialog& SettingWindow() const { return *m_settingDialog; }
    InfoDialog& InfoWindow() const { return *m_infoDialog; }
    TitleDialog& TitleWindow() const { return *m_titleDialog; }

    Services services;
    MailSlot mailSlot;
    NetBrowser netBrowser;
    SETTING Settings;
    QByteArray LocalHostName;
    // The mailboxes exist from loading to saving; null outside that span.
    std::unique_ptr<MailBox> sendBox;
    std::unique_ptr<MailBox> receiveBox;
    std::unique_ptr<Courier> courier;
    // Keeps the mailboxes on disk as they change; goes before them.
    std::unique_ptr<MailStore> store;
    bool settingsRead = false; // ReadSettings succeeded in this run
    bool startFailed = false;  // an error stopped the start-up steps

Q_SIGNALS:
    // The close steps have run: the program should end.
    void Finished();

private:
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<SettingDialog> m_settingDialog;
    std::unique_ptr<InfoDialog> m_infoDialog;
    std::unique_ptr<TitleDialog> m_titleDialog;
};

} // namespace varnel
