#include "shell/lifecycle.h"

#include "network/netprovider.h"
#include "settings/settingslogic.h"
#include "shell/mailcheck.h"
#include "shell/mailviews.h"
#include "shell/networktree.h"
#include "shell/prompt.h"
#include "shell/varnel.h"
#include "shell/windowtray.h"
#include "store/mailstore.h"

#include <QWidget>

namespace varnel {
namespace {

const QString kLocalError = QStringLiteral("ﾛｰｶﾙｴﾗｰ");
const QString kTitle = QStringLiteral("Varnel for Windows95");

} // namespace

Lifecycle::Lifecycle(Varnel& app, QWidget& window, NetworkTree& network, MailViews& views,
                     MailCheck& mailCheck, WindowTray& tray)
    : m_app(app), m_window(window), m_network(network), m_views(views), m_mailCheck(mailCheck), m_tray(tray) {
}

// The start-up steps. Each step that fails tells the person; the first two end the program. Once a
// close request has been made here, the steps after it are not run: they would use an endpoint,
// tables or mailboxes that the ending program no longer has.
void Lifecycle::Start() {
    Prompt& prompt = *m_app.services.prompt;

    if (!m_app.mailSlot.Open()) {
        prompt.Show(&m_window, QStringLiteral("メールスロットの作成に失敗しました"), kLocalError,
                    QMessageBox::Warning);
        RequestClose();
    }

    const SettingsReport settings = ReadSettings(*m_app.services.settings, m_app.Settings);
    if (settings.outcome == SettingsReport::StoreUnavailable) {
        prompt.Show(&m_window, QStringLiteral("レジストリエラー"), kLocalError, QMessageBox::Warning);
        RequestClose();
    } else if (settings.outcome == SettingsReport::ValueError) {
        // A stored value of the wrong kind: the error box, and the start-up ends here.
        m_app.startFailed = true;
        prompt.Show(&m_window, settings.error + QStringLiteral("."), kTitle, QMessageBox::Critical);
        RequestClose();
        return;
    } else {
        m_app.settingsRead = true;
    }
    if (m_closed)
        return;

    if (!m_network.Fill())
        prompt.Show(&m_window, QStringLiteral("ネットワークが見つかりません"), kLocalError,
                    QMessageBox::Warning);
    if (m_closed)
        return;
    // What the listing could not use (lines of the directory file, say) is told once, here.
    if (const QString notice = m_app.services.provider->TakeNotice(); !notice.isEmpty())
        prompt.Show(&m_window, notice, kLocalError, QMessageBox::Warning);
    if (m_closed)
        return;
    if (!m_network.DetectLocalHostName())
        prompt.Show(&m_window, QStringLiteral("ホストネーム検出エラー"), kLocalError, QMessageBox::Warning);
    if (m_closed)
        return;

    m_views.BeginOnSendBox();
    LoadMailBoxes();
    if (m_closed)
        return;
    m_views.ShowView();
    if (m_app.Settings.Tray)
        m_tray.StartAutoTray();
    m_mailCheck.Start();
}

// The close steps: the endpoint, the settings (only when they were read in this run, so stored
// values are never replaced by ones that were not read), then the mailboxes.
void Lifecycle::RunCloseSteps() {
    m_mailCheck.Stop();
    m_tray.StopAutoTray();
    m_app.mailSlot.Close();
    if (m_app.settingsRead && rememberWindow)
        rememberWindow();
    if (m_app.settingsRead) {
        // A store that cannot be opened is passed over in silence; a value it refuses is shown in the
        // error box. Either way the mailboxes are still saved.
        const SettingsReport report = WriteSettings(*m_app.services.settings, m_app.Settings);
        if (report.outcome == SettingsReport::ValueError)
            m_app.services.prompt->Show(&m_window, report.error + QStringLiteral("."), kTitle,
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
    m_app.sendBox = std::make_unique<MailBox>();
    m_app.receiveBox = std::make_unique<MailBox>();
    m_app.store = std::make_unique<MailStore>(*m_app.services.files);
    const QStringList notices = m_app.store->Open(m_app.Settings.SendFina, m_app.Settings.ReadFina,
                                                  *m_app.sendBox, *m_app.receiveBox);
    m_app.courier = std::make_unique<Courier>(
        m_app.mailSlot, *m_app.sendBox, *m_app.receiveBox, *m_app.services.clock,
        [this] { return m_app.netBrowser.NetworkFound; },
        [this] { return m_app.store && m_app.store->Commit(); },
        [this](QByteArrayView host) { return m_app.services.provider->PresenceOf(host); });
    // A close request while a box is open lets the mailboxes go: nothing after it may use them.
    for (const QString& text : notices) {
        if (!m_closed)
            m_app.services.prompt->Show(&m_window, text, kLocalError, QMessageBox::Warning);
    }
}

// Writes both mailboxes whole and lets them go. A mailbox whose changes are on disk only in memory
// is not given up silently: the person may try again, and otherwise it is written elsewhere.
void Lifecycle::SaveMailBoxes() {
    m_app.courier.reset();
    if (m_app.store) {
        Prompt& prompt = *m_app.services.prompt;
        for (MailBox* box : {m_app.sendBox.get(), m_app.receiveBox.get()}) {
            for (bool retry = true; box && retry;) {
                const MailStore::Closing closing = m_app.store->Close(*box);
                retry = closing.outcome == MailStore::Closing::NotOnDisk &&
                        prompt.AskRetry(&m_window, closing.text, kLocalError);
                if (closing.outcome == MailStore::Closing::KeptInJournal)
                    prompt.Show(&m_window, closing.text, kLocalError, QMessageBox::Warning);
                else if (closing.outcome == MailStore::Closing::NotOnDisk && !retry)
                    prompt.Show(&m_window, m_app.store->Rescue(*box), kLocalError, QMessageBox::Warning);
            }
        }
        m_app.store.reset();
    }
    m_app.sendBox.reset();
    m_app.receiveBox.reset();
}

} // namespace varnel
