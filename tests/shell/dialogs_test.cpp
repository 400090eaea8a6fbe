#include "named.h"

#include "shell/helpwindow.h"
#include "shell/icons.h"
#include "shell/infodialog.h"
#include "shell/settingdialog.h"
#include "shell/titledialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace varnel;

namespace {

QString Caption(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    return {};
}

// Runs the dialog modally; `inside` acts on it once its modal loop runs. Whatever `inside` does, the
// dialog is closed afterwards if it is still open, so a failing check never leaves the test waiting.
int ExecWith(QDialog& dialog, const std::function<void(QDialog&)>& inside) {
    QWidget* seen = nullptr;
    QTimer::singleShot(0, &dialog, [&] {
        seen = QApplication::activeModalWidget();
        if (seen == &dialog && QTest::qWaitForWindowActive(&dialog))
            inside(dialog);
        if (dialog.isVisible())
            dialog.close();
    });
    const int result = dialog.exec();
    if (seen != &dialog)
        qWarning("the dialog was not the active modal widget");
    return result;
}

void Activate(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

void SendKey(QWidget* target, QEvent::Type type, int key, bool autoRepeat = false) {
    QKeyEvent event(type, key, Qt::NoModifier, key == Qt::Key_Return ? QStringLiteral("\r") : QString(),
                    autoRepeat);
    QApplication::sendEvent(target, &event);
}

enum Which { Setting, Info, Title };

// The dialogs' controls, found by their object names.
struct SettingParts {
    const QDialog& dialog;
    QCheckBox* CB_Tray = Named<QCheckBox>(dialog, "CB_Tray");
    QCheckBox* CB_Popup = Named<QCheckBox>(dialog, "CB_Popup");
    QCheckBox* CB_Zorder = Named<QCheckBox>(dialog, "CB_Zorder");
    QPushButton* Btn_OK = Named<QPushButton>(dialog, "Btn_OK");
    QPushButton* Btn_Cancel = Named<QPushButton>(dialog, "Btn_Cancel");
    QPushButton* Btn_Agree = Named<QPushButton>(dialog, "Btn_Agree");
};
struct InfoParts {
    const QDialog& dialog;
    QFrame* Bevel1 = Named<QFrame>(dialog, "Bevel1");
    QPushButton* Button1 = Named<QPushButton>(dialog, "Button1");
};
struct TitleParts {
    const QDialog& dialog;
    QLineEdit* Ed_Title = Named<QLineEdit>(dialog, "Ed_Title");
    QPushButton* Btn_OK = Named<QPushButton>(dialog, "Btn_OK");
    QLabel* Label2 = Named<QLabel>(dialog, "Label2");
};

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private:
    SETTING m_settings;
    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<SettingDialog> m_setting;
    std::unique_ptr<InfoDialog> m_info;
    std::unique_ptr<TitleDialog> m_title;

    SettingParts SettingUi() const { return {*m_setting}; }
    InfoParts InfoUi() const { return {*m_info}; }
    TitleParts TitleUi() const { return {*m_title}; }

    QDialog* Dialog(int which) const {
        if (which == Setting)
            return m_setting.get();
        if (which == Info)
            return m_info.get();
        return m_title.get();
    }

private Q_SLOTS:
    void init() {
        m_settings = SETTING{};
        // An owner window in a corner: the dialogs centre on the screen, not over their owner.
        m_owner = std::make_unique<QWidget>();
        m_owner->setGeometry(0, 0, 200, 150);
        m_owner->show();
        m_setting = std::make_unique<SettingDialog>(m_settings, m_owner.get());
        m_info = std::make_unique<InfoDialog>(m_owner.get());
        m_title = std::make_unique<TitleDialog>(m_owner.get());
    }

    void cleanup() {
        m_title.reset();
        m_info.reset();
        m_setting.reset();
        m_owner.reset();
    }

    // --- The three dialogs' windows and controls ---

    void windowsAreFixedCentredDialogsWithCloseBoxOnly_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("client");
        QTest::newRow("settings") << int(Setting) << QStringLiteral("Frm_Setting")
                                  << QStringLiteral("Varnel-[設定]") << QSize(312, 173);
        QTest::newRow("info") << int(Info) << QStringLiteral("Frm_Info") << QStringLiteral("Varnel-[情報]")
                              << QSize(192, 108);
        QTest::newRow("title") << int(Title) << QStringLiteral("Frm_Title")
                               << QStringLiteral("Varnel-[タイトル入力]") << QSize(262, 93);
    }

    void windowsAreFixedCentredDialogsWithCloseBoxOnly() {
        QFETCH(int, which);
        QFETCH(QString, objectName);
        QFETCH(QString, caption);
        QFETCH(QSize, client);
        QDialog* dialog = Dialog(which);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));

        QCOMPARE(dialog->objectName(), objectName);
        QCOMPARE(dialog->windowTitle(), caption);
        QCOMPARE(dialog->size(), client);
        QCOMPARE(dialog->minimumSize(), client);
        QCOMPARE(dialog->maximumSize(), client);
        const Qt::WindowFlags flags = dialog->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));

        // The info dialog opens over its owner when that is shown, the others on the screen.
        const QWidget* owner = dialog->parentWidget();
        const QPoint centre = which == Info && owner && owner->isVisible()
                                  ? owner->frameGeometry().center()
                                  : dialog->screen()->availableGeometry().center();
        QVERIFY2(qAbs(dialog->frameGeometry().center().x() - centre.x()) <= 1 &&
                     qAbs(dialog->frameGeometry().center().y() - centre.y()) <= 1,
                 "the dialog is not centred where it should be");

        QCOMPARE(dialog->font().pixelSize(), 12);
        QVERIFY(dialog->font().families().contains(QStringLiteral("IPAPGothic")));
        QCOMPARE(dialog->font().families().constFirst(), QStringLiteral("MS PGothic"));
        for (const QPushButton* button : dialog->findChildren<QPushButton*>()) {
            QVERIFY2(!button->isDefault() && !button->autoDefault(), qPrintable(button->objectName()));
        }
        dialog->close();
    }

    void settingsDialogHasItsOwnIcon() {
        QVERIFY(!m_setting->windowIcon().pixmap(32, 32).isNull());
        QCOMPARE(m_setting->windowIcon().pixmap(32, 32).toImage(),
                 icons::SettingsWindow().pixmap(32, 32).toImage());
    }

    // Labels take their position from the table and their size from their text.
    void controlsFollowTheLayoutTable_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry"); // width -1: sized to its text
        auto row = [](const char* tag, int which, const char* name, const QString& caption, QRect geometry) {
            QTest::newRow(tag) << which << QString::fromLatin1(name) << caption << geometry;
        };
        auto text = [](const char* utf8) { return QString::fromUtf8(utf8); };
        row("Label1", Setting, "Label1", text("起動設定"), QRect(16, 8, -1, 12));
        row("CB_Tray", Setting, "CB_Tray", text("プログラム起動後すぐにタスクトレイにアイコン化"),
            QRect(16, 24, 273, 17));
        row("GB_Read", Setting, "GB_Read", text("着信設定"), QRect(8, 56, 289, 73));
        row("CB_Popup", Setting, "CB_Popup", text("メールがきたらポップアップメッセージを表示する"),
            QRect(16, 72, 273, 17));
        row("CB_Zorder", Setting, "CB_Zorder", text("ポップアップは常に最前面に表示"),
            QRect(40, 96, 193, 17));
        row("Btn_OK", Setting, "Btn_OK", text("OK"), QRect(64, 136, 75, 25));
        row("Btn_Cancel", Setting, "Btn_Cancel", text("キャンセル"), QRect(144, 136, 75, 25));
        row("Btn_Agree", Setting, "Btn_Agree", text("適用"), QRect(224, 136, 75, 25));
        row("Bevel1", Info, "Bevel1", QString(), QRect(8, 8, 177, 65));
        row("info name", Info, "Label1", text("Varnel for Windows95"), QRect(32, 16, -1, 12));
        row("info date", Info, "Label2", text("1998.02.23"), QRect(40, 32, -1, 12));
        row("Button1", Info, "Button1", text("OK"), QRect(56, 80, 75, 25));
        row("title Label1", Title, "Label1", text("送信するメッセージにタイトルをつけてください"),
            QRect(16, 8, -1, 12));
        row("title Label2", Title, "Label2", text("（この内容は後で変更可能です）"), QRect(88, 24, -1, 12));
        row("Ed_Title", Title, "Ed_Title", QString(), QRect(16, 40, 233, 20));
        row("title Btn_OK", Title, "Btn_OK", text("OK"), QRect(96, 64, 75, 25));
    }

    // "Ver 0.60" stands at 104 unless the date reaches there in the font in use; then it follows the
    // date with a gap, and the dialog is wide enough for it.
    void infoVersionNeverRunsIntoTheDate() {
        m_info->show();
        const auto* date = Named<QLabel>(*m_info, "Label2");
        const auto* version = Named<QLabel>(*m_info, "Label3");
        QCOMPARE(version->text(), QStringLiteral("Ver 0.60"));
        QCOMPARE(version->y(), 32);
        QCOMPARE(version->x(), std::max(104, date->geometry().right() + 9));
        QVERIFY(version->width() >= version->sizeHint().width());
        QVERIFY(version->geometry().right() < m_info->width());
        m_info->close();
    }

    void controlsFollowTheLayoutTable() {
        QFETCH(int, which);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        QDialog* dialog = Dialog(which);
        dialog->show();
        const auto* widget = dialog->findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->parentWidget(), dialog);
        QCOMPARE(Caption(widget), caption);
        QCOMPARE(widget->pos(), geometry.topLeft());
        if (geometry.width() >= 0) {
            QCOMPARE(widget->size(), geometry.size());
        } else {
            QVERIFY2(widget->width() >= widget->sizeHint().width(), "the label does not show all its text");
            QVERIFY(widget->height() >= widget->sizeHint().height());
        }
        dialog->close();
    }

    void bevelIsASunkenFrame() {
        QCOMPARE(InfoUi().Bevel1->frameShadow(), QFrame::Sunken);
        QVERIFY(InfoUi().Bevel1->frameShape() != QFrame::NoFrame);
    }

    void tabVisitsControlsInTableOrder_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("settings") << int(Setting)
                                  << QStringList{QStringLiteral("CB_Tray"),    QStringLiteral("CB_Popup"),
                                                 QStringLiteral("CB_Zorder"),  QStringLiteral("Btn_OK"),
                                                 QStringLiteral("Btn_Cancel"), QStringLiteral("Btn_Agree"),
                                                 QStringLiteral("CB_Tray")};
        QTest::newRow("title") << int(Title)
                               << QStringList{QStringLiteral("Ed_Title"), QStringLiteral("Btn_OK"),
                                              QStringLiteral("Ed_Title")};
        QTest::newRow("info") << int(Info)
                              << QStringList{QStringLiteral("Button1"), QStringLiteral("Button1")};
    }

    void tabVisitsControlsInTableOrder() {
        QFETCH(int, which);
        QFETCH(QStringList, order);
        QDialog* dialog = Dialog(which);
        Activate(*dialog);
        if (which == Setting) {
            // 適用 opens disabled; one change makes it reachable.
            SettingUi().CB_Zorder->click();
            SettingUi().CB_Tray->setFocus();
        }
        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, order);
        dialog->close();
    }

    // --- Settings dialog ---

    void settingsDialogLoadsTheFlagsAndOpensWithApplyDisabled_data() {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("popup");
        QTest::addColumn<bool>("front");
        QTest::newRow("none") << false << false << false;
        QTest::newRow("all") << true << true << true;
        QTest::newRow("tray") << true << false << false;
        QTest::newRow("front without popup") << false << false << true;
        QTest::newRow("popup") << false << true << false;
    }

    void settingsDialogLoadsTheFlagsAndOpensWithApplyDisabled() {
        QFETCH(bool, tray);
        QFETCH(bool, popup);
        QFETCH(bool, front);
        // Open once with the opposite flags so every box changes state on the next showing.
        m_settings = SETTING{!tray, !popup, !front, {}, {}};
        m_setting->show();
        m_setting->close();
        m_settings = SETTING{tray, popup, front, {}, {}};

        m_setting->show();
        QCOMPARE(SettingUi().CB_Tray->isChecked(), tray);
        QCOMPARE(SettingUi().CB_Popup->isChecked(), popup);
        QCOMPARE(SettingUi().CB_Zorder->isChecked(), front);
        QVERIFY(!SettingUi().Btn_Agree->isEnabled());
        // No box governs another.
        QVERIFY(SettingUi().CB_Zorder->isEnabled());
        m_setting->close();
    }

    void checkingAndUncheckingABoxEnablesApply() {
        m_setting->show();
        QTest::mouseClick(SettingUi().CB_Popup, Qt::LeftButton);
        QTest::mouseClick(SettingUi().CB_Popup, Qt::LeftButton);
        QVERIFY(!SettingUi().CB_Popup->isChecked());
        QVERIFY(SettingUi().Btn_Agree->isEnabled());
        QVERIFY(SettingUi().CB_Zorder->isEnabled());
        QVERIFY(m_setting->isVisible());
        m_setting->close();
        QVERIFY(!m_settings.Popup);
    }

    void everyBoxEnablesApply_data() {
        QTest::addColumn<QString>("box");
        QTest::newRow("CB_Tray") << QStringLiteral("CB_Tray");
        QTest::newRow("CB_Popup") << QStringLiteral("CB_Popup");
        QTest::newRow("CB_Zorder") << QStringLiteral("CB_Zorder");
    }

    void everyBoxEnablesApply() {
        QFETCH(QString, box);
        m_setting->show();
        QTest::mouseClick(m_setting->findChild<QCheckBox*>(box), Qt::LeftButton);
        QVERIFY(SettingUi().Btn_Agree->isEnabled());
        m_setting->close();
    }

    void okCopiesTheThreeFlagsAndCloses() {
        m_settings.SendFina = QStringLiteral("/abs/send.txt");
        const int result = ExecWith(*m_setting, [this](QDialog&) {
            QTest::mouseClick(SettingUi().CB_Tray, Qt::LeftButton);
            QTest::mouseClick(SettingUi().CB_Popup, Qt::LeftButton);
            QTest::mouseClick(SettingUi().CB_Zorder, Qt::LeftButton);
            QTest::mouseClick(SettingUi().Btn_OK, Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(!m_setting->isVisible());
        QVERIFY(m_settings.Tray && m_settings.Popup && m_settings.Front);
        QCOMPARE(m_settings.SendFina, QStringLiteral("/abs/send.txt"));
    }

    void applyCopiesAndStaysOpenThenCancelKeepsWhatWasApplied() {
        bool openAfterApply = false;
        bool applyEnabledAfterApply = true;
        bool trayAfterApply = false;
        const int result = ExecWith(*m_setting, [&](QDialog& dialog) {
            QTest::mouseClick(SettingUi().CB_Tray, Qt::LeftButton);
            QTest::mouseClick(SettingUi().Btn_Agree, Qt::LeftButton);
            openAfterApply = dialog.isVisible();
            applyEnabledAfterApply = SettingUi().Btn_Agree->isEnabled();
            trayAfterApply = m_settings.Tray;
            QTest::mouseClick(SettingUi().CB_Popup, Qt::LeftButton);
            QTest::mouseClick(SettingUi().Btn_Cancel, Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(openAfterApply);
        QVERIFY(!applyEnabledAfterApply);
        QVERIFY(trayAfterApply);
        QVERIFY(m_settings.Tray);
        QVERIFY(!m_settings.Popup);

        m_setting->show();
        QVERIFY(SettingUi().CB_Tray->isChecked());
        QVERIFY(!SettingUi().CB_Popup->isChecked());
        QVERIFY(!SettingUi().Btn_Agree->isEnabled());
        m_setting->close();
    }

    void closingWithoutOkCopiesNothing_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("キャンセル") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("Escape") << 2;
    }

    void closingWithoutOkCopiesNothing() {
        QFETCH(int, how);
        m_settings.Front = true;
        bool closed = false;
        ExecWith(*m_setting, [&](QDialog& dialog) {
            QTest::mouseClick(SettingUi().CB_Tray, Qt::LeftButton);
            QTest::mouseClick(SettingUi().CB_Zorder, Qt::LeftButton);
            if (how == 0)
                QTest::mouseClick(SettingUi().Btn_Cancel, Qt::LeftButton);
            else if (how == 1)
                dialog.close();
            else
                QTest::keyClick(SettingUi().CB_Tray, Qt::Key_Escape);
            closed = !dialog.isVisible();
        });
        QVERIFY(closed);
        QVERIFY(!m_settings.Tray);
        QVERIFY(m_settings.Front);
    }

    void enterPressesOnlyTheFocusedButton() {
        Activate(*m_setting);
        SettingUi().CB_Tray->setFocus();
        QTest::mouseClick(SettingUi().CB_Tray, Qt::LeftButton);
        QTest::keyClick(SettingUi().CB_Tray, Qt::Key_Return);
        QVERIFY(m_setting->isVisible());
        QVERIFY(!m_settings.Tray);

        SettingUi().Btn_Agree->setFocus();
        QTest::keyClick(SettingUi().Btn_Agree, Qt::Key_Return);
        QVERIFY(m_settings.Tray);
        QVERIFY(m_setting->isVisible());

        SettingUi().Btn_OK->setFocus();
        QTest::keyClick(SettingUi().Btn_OK, Qt::Key_Enter);
        QVERIFY(!m_setting->isVisible());
    }

    // --- Info dialog ---

    void infoDialogClosesWithOkOrCloseBox_data() {
        QTest::addColumn<bool>("byOk");
        QTest::newRow("OK") << true;
        QTest::newRow("close box") << false;
    }

    void infoDialogClosesWithOkOrCloseBox() {
        QFETCH(bool, byOk);
        bool closed = false;
        const int result = ExecWith(*m_info, [&](QDialog& dialog) {
            if (byOk)
                QTest::mouseClick(InfoUi().Button1, Qt::LeftButton);
            else
                dialog.close();
            closed = !dialog.isVisible();
        });
        QVERIFY(closed);
        QCOMPARE(result, int(QDialog::Rejected));
    }

    void escapeClosesInfoAndCancelsTitle_data() {
        QTest::addColumn<int>("which");
        QTest::newRow("info") << int(Info);
        QTest::newRow("title") << int(Title);
    }

    void escapeClosesInfoAndCancelsTitle() {
        QFETCH(int, which);
        QDialog* dialog = Dialog(which);
        bool closedByEscape = false;
        const int result = ExecWith(*dialog, [&](QDialog& shown) {
            QVERIFY(QApplication::focusWidget());
            if (which == Title)
                QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            closedByEscape = !shown.isVisible();
        });
        QVERIFY(closedByEscape);
        QCOMPARE(result, int(QDialog::Rejected));
    }

    // --- Title dialog ---

    void emptyTitleIsRefusedInPlaceWithAWord() {
        QLabel* word = Named<QLabel>(*m_title, "Lb_EmptyTitle");
        QStringList openAfter;
        const int result = ExecWith(*m_title, [&](QDialog& dialog) {
            for (const QString& typed : {QString(), QStringLiteral("  ")}) {
                TitleUi().Ed_Title->setText(typed);
                QTest::keyClick(TitleUi().Ed_Title, Qt::Key_Return);
                if (dialog.isVisible() && word->isVisible() && !TitleUi().Label2->isVisible())
                    openAfter.append(typed);
            }
            QTest::mouseClick(TitleUi().Btn_OK, Qt::LeftButton);
            if (dialog.isVisible() && word->isVisible())
                openAfter.append(QStringLiteral("OK"));
            QTest::keyClicks(TitleUi().Ed_Title, QStringLiteral("x")); // the word goes as one types
            if (!word->isVisible() && TitleUi().Label2->isVisible())
                openAfter.append(QStringLiteral("typing"));
            QTest::keyClick(TitleUi().Ed_Title, Qt::Key_Return);
        });
        QCOMPARE(openAfter, (QStringList{QString(), QStringLiteral("  "), QStringLiteral("OK"),
                                         QStringLiteral("typing")}));
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(m_title->Title(), QStringLiteral("  x"));
    }

    void typedTitleIsTakenByEnterOrOkAndCancelledByTheCloseBox_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("expected");
        QTest::newRow("Enter") << 0 << int(QDialog::Accepted);
        QTest::newRow("OK") << 1 << int(QDialog::Accepted);
        QTest::newRow("close box") << 2 << int(QDialog::Rejected);
    }

    void typedTitleIsTakenByEnterOrOkAndCancelledByTheCloseBox() {
        QFETCH(int, how);
        QFETCH(int, expected);
        const QString typed = QStringLiteral("Meeting / 10:00 会議");
        bool closed = false;
        const int result = ExecWith(*m_title, [&](QDialog& dialog) {
            QTest::keyClicks(TitleUi().Ed_Title, QStringLiteral("Meeting / 10:00 "));
            // Japanese arrives from the input method as a committed string.
            QInputMethodEvent commit;
            commit.setCommitString(QStringLiteral("会議"));
            QApplication::sendEvent(TitleUi().Ed_Title, &commit);
            if (how == 0)
                QTest::keyClick(TitleUi().Ed_Title, Qt::Key_Enter);
            else if (how == 1)
                QTest::mouseClick(TitleUi().Btn_OK, Qt::LeftButton);
            else
                dialog.close();
            closed = !dialog.isVisible();
        });
        QVERIFY(closed);
        QCOMPARE(result, expected);
        QCOMPARE(m_title->Title(), typed);
    }

    void enterClosesOnReleaseNotOnPress() {
        Activate(*m_title);
        QSignalSpy returnPressed(TitleUi().Ed_Title, &QLineEdit::returnPressed);
        QSignalSpy editingFinished(TitleUi().Ed_Title, &QLineEdit::editingFinished);
        QTest::keyClicks(TitleUi().Ed_Title, QStringLiteral("abc"));

        QTest::keyPress(TitleUi().Ed_Title, Qt::Key_Return);
        QVERIFY(m_title->isVisible());
        QCOMPARE(returnPressed.count(), 0);
        QCOMPARE(editingFinished.count(), 0);
        QCOMPARE(m_title->Title(), QStringLiteral("abc"));

        QTest::keyRelease(TitleUi().Ed_Title, Qt::Key_Return);
        QVERIFY(!m_title->isVisible());
        QCOMPARE(m_title->Title(), QStringLiteral("abc"));
    }

    void heldEnterClosesOnlyOnItsFinalRelease() {
        Activate(*m_title);
        QWidget* edit = TitleUi().Ed_Title;
        QTest::keyClicks(edit, QStringLiteral("t"));
        SendKey(edit, QEvent::KeyPress, Qt::Key_Return);
        for (int i = 0; i < 5; ++i) {
            SendKey(edit, QEvent::KeyRelease, Qt::Key_Return, true);
            SendKey(edit, QEvent::KeyPress, Qt::Key_Return, true);
            QVERIFY(m_title->isVisible());
        }
        SendKey(edit, QEvent::KeyRelease, Qt::Key_Return);
        QVERIFY(!m_title->isVisible());
    }

    void enterReleasedWithoutItsPressDoesNotClose() {
        // The release of an Enter pressed in another window, or taken by an input method to commit
        // its text, comes up here.
        Activate(*m_title);
        SendKey(TitleUi().Ed_Title, QEvent::KeyRelease, Qt::Key_Return);
        QVERIFY(m_title->isVisible());
        m_title->close();
    }

    void otherKeysReleasedDoNotClose() {
        Activate(*m_title);
        QTest::keyClick(TitleUi().Ed_Title, Qt::Key_A);
        QTest::keyClick(TitleUi().Ed_Title, Qt::Key_Space);
        QTest::keyClick(TitleUi().Ed_Title, Qt::Key_Tab); // to Btn_OK
        QVERIFY(m_title->isVisible());
        QCOMPARE(QApplication::focusWidget(), TitleUi().Btn_OK);
        QTest::keyClick(TitleUi().Btn_OK, Qt::Key_Return);
        QVERIFY(!m_title->isVisible());
        QCOMPARE(m_title->Title(), QStringLiteral("a "));
    }

    void reopenedTitleDialogIsEmptyAndFocused() {
        Activate(*m_title);
        QTest::keyClicks(TitleUi().Ed_Title, QStringLiteral("old title"));
        QTest::keyPress(TitleUi().Ed_Title, Qt::Key_Return); // closing is left half done
        m_title->close();
        QCOMPARE(m_title->Title(), QStringLiteral("old title"));

        Activate(*m_title);
        QCOMPARE(TitleUi().Ed_Title->text(), QString());
        QCOMPARE(QApplication::focusWidget(), TitleUi().Ed_Title);
        // The release left over from the earlier showing does not close this one.
        QTest::keyRelease(TitleUi().Ed_Title, Qt::Key_Return);
        QVERIFY(m_title->isVisible());
        m_title->close();
    }

    // --- Help window ---

    void helpShowsTheContentsPageAtTheTop() {
        HelpWindow help;
        help.resize(300, 200);
        help.ShowContents();
        QVERIFY(help.isVisible());
        QVERIFY(!help.isModal());
        const QString text = help.Browser()->toPlainText();
        for (const char* needle :
             {"送信せずに保存", "全て削除", "20595", "~/.config/kobu/varnel.conf", "vnsend.txt", "vnread.txt",
              "~/.config/kobu/network.txt", "開封済み", "ポップアップは常に最前面に表示"}) {
            QVERIFY2(text.contains(QString::fromUtf8(needle)), needle);
        }

        QScrollBar* bar = help.Browser()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        help.Browser()->setSource(QUrl(QStringLiteral("qrc:/help/index.html#files")));
        bar->setValue(bar->maximum());
        help.ShowContents();
        QCOMPARE(bar->value(), 0);
        QCOMPARE(help.Browser()->toPlainText(), text);
    }

    void helpDrawsTheStatusPicturesInline() {
        HelpWindow help;
        for (const char* name : {"status-saved", "status-sent", "status-delivered", "status-opened"}) {
            const QVariant image = help.Browser()->loadResource(
                QTextDocument::ImageResource,
                QUrl(QStringLiteral("qrc:/icons/%1.svg").arg(QLatin1String(name))));
            QVERIFY2(!image.value<QImage>().isNull(), name);
            QCOMPARE(image.value<QImage>().size(), QSize(16, 16));
        }
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
