#include "shell/lifecycle.h"

#include "network/netprovider.h"
#include "seal/sealdesk.h"
#include "settings/settingslogic.h"
#include "shell/mailcheck.h"
#include "shell/mailviews.h"
#include "shell/networktree.h"
#include "shell/prompt.h"
#include "shell/storetexts.h"
#include "shell/texts.h"
#include "shell/varnel.h"
#include "shell/windowtray.h"

#include <QWidget>
#include <cstdio>

namespace varnel {
Lifecycle::Lifecycle(Varnel& app, QWidget& window, NetworkTree& network, MailViews& views,
                     MailCheck& mailCheck, WindowTray& tray)
    : m_app(app), m_window(window), m_network(network), m_views(views), m_mailCheck(mailCheck), m_tray(tray) {
}

// The start-up steps. Each step that fails tells the person; the first two end the program. Once a
// close request has been made here, the steps after it are not run: they would use an endpoint,
// tables or mailboxes that the ending program no longer has.
void Lifecycle::Start() {
    Prompt& prompt = *m_app.Platform().prompt;

    if (!m_app.Post().OpenEndpoint()) {
        prompt.Show(&m_window, texts::EndpointFailed(), texts::LocalError(), QMessageBox::Warning);
        RequestClose();
    }

    // One data folder, one running copy: before anything is read, so a copy that finds the folder
    // held ends without writing a file (settings included).
    if (!m_closed) {
        const FolderLock lock = m_app.Post().LockDataFolder();
        if (lock.outcome != FolderLock::Taken)
            prompt.Show(&m_window, storetexts::Text(lock), texts::LocalError(), QMessageBox::Warning);
        if (lock.outcome == FolderLock::Held) {
            if (!m_closed)
                RequestClose();
            return;
        }
    }

    const SettingsReport settings = ReadSettings(*m_app.Platform().settings, m_app.Settings());
    if (settings.outcome == SettingsReport::StoreUnavailable) {
        prompt.Show(&m_window, texts::SettingsFailed(), texts::LocalError(), QMessageBox::Warning);
        RequestClose();
    } else if (settings.outcome == SettingsReport::ValueError) {
        // A stored value of the wrong kind: the error box, and the start-up ends here.
        prompt.Show(&m_window, texts::SettingTrouble(settings), texts::Caption(), QMessageBox::Critical);
        RequestClose();
        return;
    } else {
        m_settingsRead = true;
    }
    if (m_closed)
        return;
    // Sealing: the rule as stored, or why this copy cannot seal (its key file stays as it is).
    if (SealDesk* seals = m_app.Post().Seals())
        seals->SetSealedOnly(ReadSealedOnly(*m_app.Platform().settings));
    else if (!m_app.Platform().identityTrouble.isEmpty())
        prompt.Show(&m_window, m_app.Platform().identityTrouble, texts::LocalError(), QMessageBox::Warning);
    if (m_closed)
        return;

    if (!m_network.Fill())
        prompt.Show(&m_window, texts::NoNetwork(), texts::LocalError(), QMessageBox::Warning);
    if (m_closed)
        return;
    // What the listing could not use (lines of the directory file, say) is told once, here.
    if (const SourceNotice notice = m_app.Platform().provider->TakeNotice(); !notice.lines.isEmpty()) {
        std::fputs(texts::SourceNoticeLog(notice).constData(), stderr);
        prompt.Show(&m_window, texts::SourceNoticeText(notice), texts::LocalError(), QMessageBox::Warning);
    }
    if (m_closed)
        return;
    if (!m_network.DetectLocalHostName())
        prompt.Show(&m_window, texts::HostNameFailed(), texts::LocalError(), QMessageBox::Warning);
    if (m_closed)
        return;

    m_views.BeginOnSendBox();
    LoadMailBoxes();
    if (m_closed)
        return;
    m_views.ShowView();
    if (m_app.Settings().Tray)
        m_tray.StartAutoTray();
    m_mailCheck.Start();
}

// The close steps: the endpoint, the settings (only when they were read in this run, so stored
// values are never replaced by ones that were not read), then the mailboxes.
void Lifecycle::RunCloseSteps() {
    m_mailCheck.Stop();
    m_tray.StopAutoTray();
    m_app.Post().CloseEndpoint();
    if (m_settingsRead && rememberWindow)
        rememberWindow();
    if (m_settingsRead) {
        // A store that cannot be opened is passed over in silence; a value it refuses is shown in the
        // error box. Either way the mailboxes are still saved.
        const SettingsReport report = WriteSettings(*m_app.Platform().settings, m_app.Settings());
        if (report.outcome == SettingsReport::ValueError)
            m_app.Platform().prompt->Show(&m_window, texts::SettingTrouble(report), texts::Caption(),
                                          QMessageBox::Critical);
    }
    SaveMailBoxes();
}

void Lifecycle::RequestClose() {
    m_closed = true;
    RunCloseSteps();
    m_window.hide();
    Q_EMIT m_app.Finished();
}

// Both mailboxes from their files and journals. What the person must know about them (a name that
// cannot serve, a damaged file and where its copy is) is shown before the window opens.
void Lifecycle::LoadMailBoxes() {
    const std::vector<StoreNotice> notices =
        m_app.Post().OpenMailBoxes(m_app.Settings().SendFina, m_app.Settings().ReadFina);
    // A close request while a box is open lets the mailboxes go: nothing after it may use them.
    for (const StoreNotice& notice : notices) {
        if (!m_closed)
            m_app.Platform().prompt->Show(&m_window, storetexts::Text(notice), texts::LocalError(),
                                          QMessageBox::Warning);
    }
}

// Writes both mailboxes whole and lets them go. A mailbox whose changes are on disk only in memory
// is not given up silently: the person may try again, and otherwise it is written elsewhere.
void Lifecycle::SaveMailBoxes() {
    PostOffice& post = m_app.Post();
    if (post.MailBoxesOpen()) {
        Prompt& prompt = *m_app.Platform().prompt;
        for (Box box : {Box::Send, Box::Receive}) {
            for (bool retry = true; retry;) {
                const MailStore::Closing closing = post.CloseMailBox(box);
                retry = closing.outcome == MailStore::Closing::NotOnDisk &&
                        prompt.AskRetry(&m_window, storetexts::Text(closing.notice), texts::LocalError());
                if (closing.outcome == MailStore::Closing::KeptInJournal)
                    prompt.Show(&m_window, storetexts::Text(closing.notice), texts::LocalError(),
                                QMessageBox::Warning);
                else if (closing.outcome == MailStore::Closing::NotOnDisk && !retry)
                    prompt.Show(&m_window, storetexts::Text(post.RescueMailBox(box)), texts::LocalError(),
                                QMessageBox::Warning);
            }
        }
    }
    post.ReleaseMailBoxes();
}

} // namespace varnel
