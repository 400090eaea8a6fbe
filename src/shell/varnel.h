#pragma once

#include "clock.h"
#include "postoffice.h"
#include "settings/settings.h"

#include <QObject>
#include <memory>

namespace varnel {

class Endpoint;
class SealDesk;
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
    // Sealing: present when this copy has an identity. identityTrouble: why it has none, for the
    // start-up (empty when it has one).
    SealDesk* seals = nullptr;
    QString identityTrouble{};
};

// The application object: it owns every process-wide object of one running copy (its post office,
// settings and windows), so two copies can live side by side in one process.
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

    // The platform services it was given.
    const Services& Platform() const { return m_services; }
    // The running copy's mail: endpoint, network tables, mailboxes, store and courier.
    PostOffice& Post() { return m_post; }
    const PostOffice& Post() const { return m_post; }
    // The five stored settings, as read at the start and changed in the setting dialog.
    SETTING& Settings() { return m_settings; }

Q_SIGNALS:
    // The close steps have run: the program should end.
    void Finished();

private:
    Services m_services;
    PostOffice m_post;
    SETTING m_settings;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<SettingDialog> m_settingDialog;
    std::unique_ptr<InfoDialog> m_infoDialog;
    std::unique_ptr<TitleDialog> m_titleDialog;
};

} // namespace varnel
