#include "settings/settingslogic.h"
#include "shell/infodialog.h"
#include "shell/mainwindow.h"
#include "shell/prompt.h"
#include "shell/settingdialog.h"
#include "shell/varnel.h"
#include "store/mailstore.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QTimer>

namespace varnel {
namespace {

const QString kLocalError = QStringLiteral("ﾛｰｶﾙｴﾗｰ");
const QString kTitle = QStringLiteral("Varnel for Windows95");

} // namespace

// The start-up steps. Each step that fails tells the person; the first two end the program. Once a
// close request has been made here, the steps after it are not run: they would use an endpoint,
// tables or mailboxes that the ending program no longer has.
void TForm1::FormShow() {
    Prompt& prompt = *m_app.services.prompt;

    if (!m_app.mailSlot.Open()) {
        prompt.Show(this, QStringLiteral("メールスロットの作成に失敗しました"), kLocalError,
                    QMessageBox::Warning);
        CloseRequest();
    }

    const SettingsReport settings = ReadSettings(*m_app.services.settings, m_app.Settings);
    if (settings.outcome == SettingsReport::StoreUnavailable) {
        prompt.Show(this, QStringLiteral("レジストリエラー"), kLocalError, QMessageBox::Warning);
        CloseRequest();
    } else if (settings.outcome == SettingsReport::ValueError) {
        // A stored value of the wrong kind: the error box, and the start-up ends here.
        m_app.startFailed = true;
        prompt.Show(this, settings.error + QStringLiteral("."), kTitle, QMessageBox::Critical);
        CloseRequest();
        return;
    } else {
        m_app.settingsRead = true;
    }
    if (m_closed)
        return;

    if (!FillNetworkTree())
        prompt.Show(this, QStringLiteral("ネットワークが見つかりません"), kLocalError, QMessageBox::Warning);
    if (m_closed)
        return;
    if (!DetectLocalHostName())
        prompt.Show(this, QStringLiteral("ホストネーム検出エラー"), kLocalError, QMessageBox::Warning);
    if (m_closed)
        return;

    SetView(View::Send);
    Mm_Message->clear();
    LoadMailBoxes();
    if (m_closed)
        return;
    ShowView();
    if (m_app.Settings.Tray)
        Tm_AutoTray->start();
    Tm_CheckMail->start();
}

// The close steps: the endpoint, the settings (only when they were read in this run, so stored
// values are never replaced by ones that were not read), then the mailboxes.
void TForm1::FormClose() {
    Tm_CheckMail->stop();
    Tm_AutoTray->stop();
    m_app.mailSlot.Close();
    if (m_app.settingsRead) {
        // A store that cannot be opened is passed over in silence; a value it refuses is shown in the
        // error box. Either way the mailboxes are still saved.
        const SettingsReport report = WriteSettings(*m_app.services.settings, m_app.Settings);
        if (report.outcome == SettingsReport::ValueError)
            m_app.services.prompt->Show(this, report.error + QStringLiteral("."), kTitle,
                                        QMessageBox::Critical);
    }
    SaveMailBoxes();
}

void TForm1::CloseRequest() {
    m_closed = true;
    FormClose();
    hide();
    Q_EMIT m_app.Finished();
}

void TForm1::closeEvent(QCloseEvent* event) {
    CloseRequest();
    event->accept();
}

void TForm1::Mn_MailCloseClick() {
    CloseRequest();
}

void TForm1::Mn_EditSettingClick() {
    m_app.Frm_Setting->exec();
}

void TForm1::Mn_InfoInfoClick() {
    m_app.Frm_Info->exec();
}

// Both mailboxes from their files and journals. What the person must know about them (a name that
// cannot serve, a damaged file and where its copy is) is shown before the window opens.
bool TForm1::LoadMailBoxes() {
    m_app.sendBox = std::make_unique<MailBox>();
    m_app.receiveBox = std::make_unique<MailBox>();
    m_app.store = std::make_unique<MailStore>(*m_app.services.files);
    const QStringList notices = m_app.store->Open(m_app.Settings.SendFina, m_app.Settings.ReadFina,
                                                  *m_app.sendBox, *m_app.receiveBox);
    m_app.courier = std::make_unique<Courier>(
        m_app.mailSlot, *m_app.sendBox, *m_app.receiveBox, *m_app.services.clock,
        [this] { return m_app.netBrowser.NetworkFound; },
        [this] { return m_app.store && m_app.store->Commit(); });
    // A close request while a box is open lets the mailboxes go: nothing after it may use them.
    for (const QString& text : notices) {
        if (!m_closed)
            m_app.services.prompt->Show(this, text, kLocalError, QMessageBox::Warning);
    }
    return true;
}

// Writes both mailboxes whole and lets them go. A mailbox whose changes are on disk only in memory
// is not given up silently: the person may try again, and otherwise it is written elsewhere.
bool TForm1::SaveMailBoxes() {
    m_app.courier.reset();
    if (m_app.store) {
        Prompt& prompt = *m_app.services.prompt;
        for (MailBox* box : {m_app.sendBox.get(), m_app.receiveBox.get()}) {
            for (bool retry = true; box && retry;) {
                const MailStore::Closing closing = m_app.store->Close(*box);
                retry = closing.outcome == MailStore::Closing::NotOnDisk &&
                        prompt.AskRetry(this, closing.text, kLocalError);
                if (closing.outcome == MailStore::Closing::KeptInJournal)
                    prompt.Show(this, closing.text, kLocalError, QMessageBox::Warning);
                else if (closing.outcome == MailStore::Closing::NotOnDisk && !retry)
                    prompt.Show(this, m_app.store->Rescue(*box), kLocalError, QMessageBox::Warning);
            }
        }
        m_app.store.reset();
    }
    m_app.sendBox.reset();
    m_app.receiveBox.reset();
    return true;
}

} // namespace varnel
