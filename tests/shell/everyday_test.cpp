// The window as people use it all day: nothing typed is lost, arrivals are seen, a reply is one
// action, what cannot be sent is told, the list fits its text.
#include "records.h"
#include "testmachine.h"
#include "widgetinput.h"

#include "shell/arrivalnotice.h"
#include "shell/draft.h"
#include "shell/titledialog.h"
#include "text/cp932.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

using namespace varnel;

namespace {

QByteArray Mail(char letter, const QByteArray& title, const QByteArray& from, const QByteArray& to,
                const QByteArray& time = "1998/02/23 9:00:00") {
    return test::Mail{letter, title, from, to, time, {}, "body\r\n"}.Record();
}

QByteArray Sjis(const QString& text) {
    QByteArray bytes;
    cp932::Encode(text, bytes);
    return bytes;
}

// Adds a machine of the tree as a recipient; the first asks for the title, answered with title.
void AddRecipient(const MainWindowParts& ui, const QString& host, const QString& title = {}) {
    if (!title.isEmpty())
        AnswerTitle(title);
    const auto found = ui.TV_Network->findItems(host, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    DoubleClickNode(ui.TV_Network, found[0]);
}

// Keys as the desktop delivers them: to whichever window and widget has the focus.
void TypeIntoFocus(const char* text) {
    for (const char* c = text; *c; ++c)
        QTest::keyClick(QGuiApplication::focusWindow(), *c);
}

} // namespace

class EverydayTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aDraftIsKeptAcrossViewSwitchesAndARestart() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewMake->trigger();
        AddRecipient(ui, QStringLiteral("PC02"), QStringLiteral("見積もり"));
        QTest::keyClicks(ui.Mm_Message, QStringLiteral("half written"));
        ui.Mn_ViewRead->trigger();
        QVERIFY(ui.Mm_Message->toPlainText().isEmpty());
        QTest::mouseClick(ui.SB_ViewSend, Qt::LeftButton);
        QTest::mouseClick(ui.SB_ViewMake, Qt::LeftButton);
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QCOMPARE(ui.LV_Model->Title(0), QStringLiteral("見積もり"));
        QCOMPARE(ui.LV_Model->RecipientBytes(0), QByteArray("PC02"));
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("half written"));

        ui.Mn_ViewRead->trigger(); // closed while another view is shown
        pc.Window().close();
        QVERIFY(!pc.store.values.value(QStringLiteral("Draft")).toString().isEmpty());
        QVERIFY(pc.files.files.value(QStringLiteral("vnsend.txt")).isEmpty()); // not in the mailboxes

        pc.app.reset();
        pc.Start();
        const MainWindowParts again = pc.Parts();
        again.Mn_ViewMake->trigger();
        QCOMPARE(again.LV_Model->rowCount(), 1);
        QCOMPARE(again.LV_Model->Title(0), QStringLiteral("見積もり"));
        QCOMPARE(again.Mm_Message->toPlainText(), QStringLiteral("half written"));
        // Once sent, nothing is left to keep.
        QVERIFY(net.AddHost("PC02").Open());
        again.Mn_MailSend->trigger();
        QCOMPARE(again.LV_Model->rowCount(), 0);
        pc.Window().close();
        Draft left;
        QVERIFY(Draft::FromText(pc.store.values.value(QStringLiteral("Draft")).toString(), left));
        QVERIFY(left.IsEmpty());
    }

    void keysTypedWhileAnArrivalBoxComesUpAllLandInTheMemo() {
        LoneMachine pc;
        MessageBoxPrompt realBoxes;
        pc.boxes = &realBoxes;
        pc.store.values[QStringLiteral("Popup")] = 1;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        QVERIFY(QTest::qWaitForWindowActive(&pc.Window()));
        ui.Mn_ViewMake->trigger();
        ui.Mm_Message->setFocus();
        TypeIntoFocus("abc");
        pc.endpoint.Inject(Mail('S', "news", "PC02", "PC01") + '\0');
        ui.CheckMail();
        TypeIntoFocus("def");
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("abcdef"));
        QCOMPARE(pc.ReceiveBox()->MarkCount(), 1);
        // Once the typing rests, the box comes, and nothing typed went to it.
        QMessageBox* box = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((box = pc.Window().findChild<QMessageBox*>(QStringLiteral("NoticeBox"))),
                                 ArrivalNotice::kTypingPauseMs * 3);
        QCOMPARE(box->text(), QStringLiteral("1通のメールが届きました"));
        QVERIFY(box->isVisible());
        QVERIFY(!box->isModal());
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("abcdef"));
        box->close();
    }

    void anArrivalWhileHiddenIsADesktopNotificationThatOpensTheMail() {
        LoneMachine pc;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.AutoTray();
        pc.endpoint.Inject(Mail('S', Sjis(QStringLiteral("会議")), "PC02", "PC01") + '\0');
        pc.endpoint.Inject(Mail('S', "older", "PC03", "PC01") + '\0');
        ui.CheckMail();
        QCOMPARE(pc.tray.messages,
                 QStringList{QStringLiteral("2通のメールが届きました\nPC03さんから「older」")});
        pc.tray.ClickMessage();
        QVERIFY(pc.Window().isVisible());
        QCOMPARE(pc.Parts().CurrentView(), View::Read);
        QCOMPARE(pc.Parts().SelectedRow(), 0);
        QCOMPARE(pc.ReceiveBox()->StatusOf(0), int(Opened));
    }

    void replyFillsRowTitleAndFocus_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QStringLiteral("会議") << QStringLiteral("Re: 会議");
        QTest::newRow("already a reply") << QStringLiteral("Re: 会議") << QStringLiteral("Re: 会議");
        // 200 double-byte characters: cut to what the header leaves, never half a character.
        const QString header = QStringLiteral("\x07S\\\\PC01\\PC02\\yyyy/MM/dd HH:mm:ss\\\x08");
        const qsizetype room = kMaxHeader - header.size() - 19 - 4; // the read time, "Re: "
        QTest::newRow("too long") << QString(200, u'あ') << QStringLiteral("Re: ") + QString(room / 2, u'あ');
    }
    void replyFillsRowTitleAndFocus() {
        QFETCH(QString, title);
        QFETCH(QString, expected);
        LoneMachine pc("PC01", {"PC01", "PC02"});
        pc.files.files[QStringLiteral("vnread.txt")] = Mail('G', Sjis(title), "PC02", "PC01");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        QVERIFY(QTest::qWaitForWindowActive(&pc.Window()));
        ui.Mn_ViewRead->trigger();
        ui.ClickRow(0);
        QTest::keyClick(&pc.Window(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(pc.Parts().CurrentView(), View::Make);
        QCOMPARE(ui.LV_Model->rowCount(), 1);
        QCOMPARE(ui.LV_Model->Title(0), expected);
        QCOMPARE(ui.LV_Model->SenderBytes(0), QByteArray("PC01"));
        QCOMPARE(ui.LV_Model->RecipientBytes(0), QByteArray("PC02"));
        QCOMPARE(QApplication::focusWidget(), ui.Mm_Message);
        QVERIFY(pc.prompt.boxes.isEmpty());
    }

    void copiesThatCouldNotLeaveAreNamedInOneBox() {
        FakeNetwork net; // PC02 and PC03 are listed but not on the network
        TestMachine pc(net, "PC01", {"PC01", "PC02", "PC03", "PC04"});
        QVERIFY(net.AddHost("PC04").Open()); // reachable, but discovery knows its program stopped
        pc.provider.notRunning = {"PC03", "PC04"};
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewMake->trigger();
        AddRecipient(ui, QStringLiteral("PC02"), QStringLiteral("t"));
        AddRecipient(ui, QStringLiteral("PC01"));
        AddRecipient(ui, QStringLiteral("PC03"));
        AddRecipient(ui, QStringLiteral("PC04"));
        ui.Mn_MailSend->trigger();
        QCOMPARE(pc.prompt.boxes.size(), 1);
        const QString text = pc.prompt.boxes[0].text;
        QVERIFY(text.contains(QStringLiteral("今はメールを送れませんでした。\n・PC02\n・PC03\n")));
        QVERIFY(!text.contains(QStringLiteral("PC01")));
        QVERIFY(text.contains(QStringLiteral("起動していません。\n・PC04\n")));
        QVERIFY(text.contains(QStringLiteral("相手のパソコンにつながると自動で送られます")));
        QCOMPARE(pc.SendBox()->StatusOf(0), int(Sent)); // PC04, the last row
        QCOMPARE(pc.SendBox()->StatusOf(1), int(Sent)); // on its way all the same
        QCOMPARE(pc.SendBox()->StatusOf(2), int(Sent));
        QCOMPARE(pc.SendBox()->StatusOf(3), int(Sent));
    }

    void deleteAllAsksAndTheDeleteKeyDeletes() {
        LoneMachine pc;
        pc.files.files[QStringLiteral("vnread.txt")] =
            Mail('R', "a", "PC02", "PC01") + Mail('R', "b", "PC02", "PC01");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        QVERIFY(QTest::qWaitForWindowActive(&pc.Window()));
        ui.Mn_ViewRead->trigger();
        ui.PM_ViewAllDelete->trigger(); // unanswered: いいえ
        QCOMPARE(pc.prompt.boxes.size(), 1);
        QVERIFY(pc.prompt.boxes[0].yesNoQuestion);
        QVERIFY(pc.prompt.boxes[0].text.contains(QStringLiteral("受信BOX")));
        QCOMPARE(pc.ReceiveBox()->MarkCount(), 2);

        ui.ClickRow(0);
        QTest::keyClick(ui.LV_View, Qt::Key_Delete);
        QCOMPARE(pc.ReceiveBox()->MarkCount(), 1);
        QCOMPARE(pc.ReceiveBox()->Header(0).title, QByteArray("b"));

        pc.prompt.yesNoAnswers = {true};
        ui.Mn_DelAll->trigger();
        QCOMPARE(pc.ReceiveBox()->MarkCount(), 0);
        ui.Mn_DelAll->trigger(); // nothing left: no question
        QCOMPARE(pc.prompt.boxes.size(), 2);
    }

    void theTitleDialogRefusesATitleThatWouldSplitWhileOpen() {
        LoneMachine pc("PC01", {"PC01", "PC02"});
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        ui.Mn_ViewMake->trigger();
        bool stayedOpen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TitleDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* edit = Named<QLineEdit>(*dialog, "Ed_Title");
            Type(edit, QStringLiteral("予定"));
            QTest::keyClick(edit, Qt::Key_Return);
            stayedOpen = dialog->isVisible();
            edit->setText(QStringLiteral("よてい"));
            QTest::keyClick(edit, Qt::Key_Return);
        });
        AddRecipient(ui, QStringLiteral("PC02"));
        QVERIFY(stayedOpen);
        QCOMPARE(pc.prompt.boxes.size(), 1);
        const QString text = pc.prompt.boxes[0].text;
        QVERIFY(text.contains(QStringLiteral("「予」")));
        QVERIFY(text.contains(QStringLiteral("切れて")));
        QVERIFY(text.contains(QStringLiteral("かな")));
        QVERIFY(!text.contains(QStringLiteral("0x")) && !text.contains(QStringLiteral("バイト")));
        QCOMPARE(ui.LV_Model->Title(0), QStringLiteral("よてい"));
    }

    // Real sizes matter here: CTest runs this also on an X server (xcb), where the window has the
    // fonts and the frame a person sees.
    void titleColumnTakesTheRoomLeftAndTimesFitWholeAtEverySize() {
        FakeNetwork net;
        TestMachine pc(net, "KOBU-PC");
        pc.files.files[QStringLiteral("vnsend.txt")] =
            Mail('S', Sjis(QStringLiteral("会議")), "KOBU-PC", "TANAKA", "2026/12/09 23:59:59");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        QVERIFY(QTest::qWaitForWindowExposed(&pc.Window()));
        const QHeaderView* header = ui.LV_View->header();
        const auto* view = static_cast<const QAbstractItemView*>(ui.LV_View);
        const int designTitle = 100; // the title column's design width
        QList<QSize> sizes = {pc.Window().size()};
        sizes.append(sizes[0] + QSize(240, 0));
        sizes.append(sizes[0] - QSize(120, 0));
        for (const QSize& size : sizes) {
            pc.Window().resize(size);
            QTRY_COMPARE(pc.Window().size(), size);
            QCoreApplication::processEvents();
            const QString at = QStringLiteral("at %1 wide: ").arg(size.width());
            int others = 0;
            int needed = designTitle;
            for (int col = 1; col < 5; ++col) {
                // Both time columns hold a full time, the receipt time too when none is there yet.
                const int need =
                    std::max(view->sizeHintForColumn(col < 3 ? col : 3), header->sectionSizeHint(col));
                QVERIFY2(header->sectionSize(col) >= need, qPrintable(at + QString::number(col)));
                others += header->sectionSize(col);
                needed += need;
            }
            const int room = ui.LV_View->viewport()->width();
            QVERIFY2(header->sectionSize(0) >= designTitle, qPrintable(at));
            QCOMPARE(header->sectionSize(0), std::max(designTitle, room - others));
            if (needed <= room) // what can fit does not scroll
                QVERIFY2(header->length() <= room, qPrintable(at + QString::number(header->length())));
            if (size == sizes[0])
                QVERIFY2(needed <= room, qPrintable(at + QString::number(needed)));
        }
    }

    void columnsFitAFullTimeAndTheLayoutIsRemembered() {
        LoneMachine pc;
        pc.files.files[QStringLiteral("vnsend.txt")] = Mail('S', "t", "PC01", "PC02", "2026/12/09 23:59:59");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        QVERIFY(QTest::qWaitForWindowExposed(&pc.Window()));
        const QHeaderView* header = ui.LV_View->header();
        const auto* view = static_cast<const QAbstractItemView*>(ui.LV_View);
        for (int col : {3, 4})
            QVERIFY2(header->sectionSize(col) >= view->sizeHintForColumn(3),
                     qPrintable(QString::number(col)));
        QCOMPARE(ui.LV_Model->CellText(0, 3), QStringLiteral("2026/12/09 23:59:59"));

        const int title = header->sectionSize(0);
        pc.Window().resize(pc.Window().width() + 120, pc.Window().height() + 60);
        QTRY_VERIFY(header->sectionSize(0) > title);
        const QSize size = pc.Window().size();
        const int tree = ui.TV_Network->width();
        const int list = ui.LV_View->height();
        const QList<int> widths = {header->sectionSize(1), header->sectionSize(3)};
        pc.Window().close();

        pc.app.reset();
        pc.Start();
        const MainWindowParts again = pc.Parts();
        QVERIFY(QTest::qWaitForWindowExposed(&pc.Window()));
        QCOMPARE(pc.Window().size(), size);
        QCOMPARE(again.TV_Network->width(), tree);
        QCOMPARE(again.LV_View->height(), list);
        QCOMPARE(
            (QList<int>{again.LV_View->header()->sectionSize(1), again.LV_View->header()->sectionSize(3)}),
            widths);
    }
};

QTEST_MAIN(EverydayTest)
#include "everyday_test.moc"
