#include "shell/lifecycle.h"

#include "settings/settingslogic.h"
#include "shell/mailcheck.h"
#include "shell/mailviews.h"
#include "shell/networktree.h"
#include "shell/prompt.h"
#include "shell/varnel.h"
#include "shell/windowtray.h"
#include "store/mailboxfiles.h"

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
    if (!m_network.DetectLocalHostName())
        prompt.Show(&m_window, QStringLiteral("ホストネーム検出エラー"), kLocalError, QMessageBox::Warning);
    if (m_closed)
        return;

    m_views.BeginOnSendBox();
    LoadMailBoxes();
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

// Both mailboxes from their files. A file that cannot be taken in whole (cut at a zero byte, too
// large, unreadable) is copied aside before the first save replaces it, so no byte is lost for good.
void Lifecycle::LoadMailBoxes() {
    MailboxFiles& files = *m_app.services.files;
    const auto load = [&](const QString& name, std::unique_ptr<MailBox>& box, bool& backup) {
        box = std::make_unique<MailBox>();
        const MailboxFiles::Loaded loaded = files.Load(name);
        backup = loaded.cutAtZero || loaded.tooLarge || !loaded.error.isEmpty();
        QString problem;
        if (loaded.tooLarge)
            problem = QStringLiteral("大きすぎて読み込めません");
        else if (!loaded.error.isEmpty())
            problem = loaded.error;
        else if (loaded.exists && !box->SetText(loaded.bytes))
            problem = QStringLiteral("大きすぎて読み込めません"), backup = true;
        if (!problem.isEmpty()) {
            m_app.services.prompt->Show(&m_window,
                                        QStringLiteral("メールボックス %1 を読み込めませんでした（%2）。\n"
                                                       "元のファイルは終了時に %1.bak として残します。")
                                            .arg(files.PathOf(name), problem),
                                        kLocalError, QMessageBox::Warning);
        }
    };
    load(m_app.Settings.SendFina, m_app.sendBox, m_backupSend);
    load(m_app.Settings.ReadFina, m_app.receiveBox, m_backupRead);
    m_app.courier =
        std::make_unique<Courier>(m_app.mailSlot, *m_app.sendBox, *m_app.receiveBox, *m_app.services.clock,
                                  [this] { return m_app.netBrowser.NetworkFound; });
}

// Writes both mailboxes and lets them go. A file that cannot be written is not given up silently:
// the person learns which file and why, and may try again.
void Lifecycle::SaveMailBoxes() {
    MailboxFiles& files = *m_app.services.files;
    m_app.courier.reset();
    const auto save = [&](const QString& name, std::unique_ptr<MailBox>& box, bool& backup) {
        if (!box)
            return;
        QString error;
        for (;;) {
            if (backup && files.Backup(name, error))
                backup = false;
            if (!backup && files.Save(name, box->Text(), error))
                break;
            const QString text =
                backup ? QStringLiteral("メールボックス %1 の控え（%1.bak）を作れませんでした。\n%2\n\n"
                                        "もう一度試しますか？ 試さない場合、元のファイルを残し、"
                                        "今回の変更は失われます。")
                       : QStringLiteral("メールボックス %1 を保存できませんでした。\n%2\n\n"
                                        "もう一度試しますか？ 試さない場合、この内容は失われます。");
            if (!m_app.services.prompt->AskRetry(&m_window, text.arg(files.PathOf(name), error), kLocalError))
                break;
        }
        box.reset();
    };
    save(m_app.Settings.SendFina, m_app.sendBox, m_backupSend);
    save(m_app.Settings.ReadFina, m_app.receiveBox, m_backupRead);
}

} // namespace varnel
