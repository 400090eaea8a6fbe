// Finding mail in the list: the search field, sorting by a column, selecting many rows; and that
// none of them opens a mail.
#include "records.h"
#include "testmachine.h"
#include "widgetinput.h"

#include "shell/maillistmodel.h"
#include "store/mailrecord.h"
#include "text/cp932.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace varnel;
using namespace Qt::StringLiterals;

namespace {

// A record with this title (the text in CP932), send time, body and sender; received (G, R) mail
// comes to PC01, sent mail (K, S) goes from it to PC02.
QByteArray Record(char letter, const QString& title, const QByteArray& sendTime = "1998/02/23 9:05:07",
                  const QByteArray& body = "b\r\n", const QByteArray& sender = "PC02") {
    const bool received = letter == 'G' || letter == 'R';
    test::Mail mail;
    mail.letter = letter;
    cp932::Encode(title, mail.title);
    mail.sender = received ? sender : "PC01";
    mail.recipient = received ? "PC01" : "PC02";
    mail.sendTime = sendTime;
    mail.body = body;
    return mail.Record();
}

// The search field and the count of matches beside it.
struct Finder {
    explicit Finder(const MainWindow& window) : field(Named<QLineEdit>(window, "SearchField")) {}
    QLineEdit* field;
    QLabel* count = Named<QLabel>(*field->window(), "SearchCount");
};

// The titles the list shows, top to bottom.
QStringList Titles(const MainWindowParts& ui) {
    QStringList titles;
    for (int row = 0; row < ui.LV_Model->rowCount(); ++row)
        titles.append(ui.LV_Model->Title(row));
    return titles;
}

void ClickHeader(const MainWindowParts& ui, int column) {
    QHeaderView* header = ui.LV_View->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, 4));
}

void ClickRow(const MainWindowParts& ui, int row, Qt::KeyboardModifiers modifiers = {}) {
    const QModelIndex index = ui.LV_Model->index(row, 0);
    ui.LV_View->scrollTo(index);
    QTest::mouseClick(ui.LV_View->viewport(), Qt::LeftButton, modifiers,
                      ui.LV_View->visualRect(index).center());
}

void Search(const Finder& finder, const QString& text) {
    finder.field->clear();
    Type(finder.field, text);
}

} // namespace

class SearchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theFieldMatchesWidthAndCaseAtTheirEdges_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("half-width finds full-width") << u"ﾒｰﾙ"_s << QStringList{u"メール便"_s};
        QTest::newRow("voiced mark") << u"ｶﾞｽ"_s << QStringList{u"ガス料金"_s};
        QTest::newRow("semi-voiced mark") << u"パン"_s << QStringList{u"ﾊﾟﾝ屋"_s};
        QTest::newRow("a voiced kana is not its plain one") << u"カス"_s << QStringList();
        QTest::newRow("full-width digits") << u"２０２６"_s << QStringList{u"2026年度"_s};
        QTest::newRow("the sender is looked in") << u"ｙａｍａ"_s << QStringList{u"差出人"_s};
        QTest::newRow("text after an invalid byte") << u"yz"_s << QStringList{u"壊れ"_s};
        QTest::newRow("no match across an invalid byte") << u"xy"_s << QStringList();
        QTest::newRow("a cut lead byte does not pair") << u"ソ"_s << QStringList();
        QTest::newRow("empty shows all")
            << QString() << QStringList{u"メール便"_s, u"ガス料金"_s, u"ﾊﾟﾝ屋"_s,  u"2026年度"_s,
                                        u"差出人"_s,   u"壊れ"_s,     u"x\uFFFD"_s};
    }
    void theFieldMatchesWidthAndCaseAtTheirEdges() {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        FakeNetwork net;
        TestMachine pc(net, "PC01");
        pc.files.files[QStringLiteral("vnread.txt")] =
            Record('R', u"メール便"_s) + Record('R', u"ガス料金"_s) + Record('R', u"ﾊﾟﾝ屋"_s) +
            Record('R', u"2026年度"_s) + Record('R', u"差出人"_s, "1998/02/23 9:05:07", "b\r\n", "YAMADA") +
            Record('R', u"壊れ"_s, "1998/02/23 9:05:07", "x\xFFyz\r\n") +
            "\x07R\\x\x83\\PC02\\PC01\\1998/02/23 9:05:07\\\x08";
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        const Finder finder(pc.Window());
        ui.Mn_ViewRead->trigger();
        Search(finder, typed);
        QCOMPARE(Titles(ui), shown);
        QCOMPARE(finder.count->isHidden(), typed.isEmpty());
        if (!typed.isEmpty())
            QCOMPARE(finder.count->text(), QStringLiteral("該当 %1 通").arg(shown.size()));
    }

    void ctrlFReachesTheFieldAndEscapeClearsIt() {
        FakeNetwork net;
        TestMachine pc(net, "PC01");
        pc.files.files[QStringLiteral("vnsend.txt")] = Record('S', u"one"_s) + Record('S', u"two"_s);
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        const Finder finder(pc.Window());
        pc.Window().show();
        QVERIFY(QTest::qWaitForWindowActive(&pc.Window()));
        ui.LV_View->setFocus();
        QTest::keyClick(ui.LV_View, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(finder.field->hasFocus());
        Type(finder.field, u"two"_s);
        QCOMPARE(Titles(ui), QStringList{u"two"_s});
        QTest::keyClick(finder.field, Qt::Key_Escape);
        QVERIFY(finder.field->text().isEmpty());
        QCOMPARE(Titles(ui), (QStringList{u"one"_s, u"two"_s}));
    }

    void timesSortAsTimesAndTheOrderIsRememberedForTheNextStart() {
        FakeNetwork net;
        TestMachine pc(net, "PC01");
        const QByteArray file = Record('S', u"ten"_s, "1998/02/23 10:00:00") +
                                Record('S', u"nine"_s, "1998/02/23 9:59:59") +
                                Record('S', u"evening before"_s, "1998/02/22 23:59:59") +
                                Record('S', u"midnight"_s, "1998/02/24 0:00:00");
        pc.files.files[QStringLiteral("vnsend.txt")] = file;
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        const QStringList boxOrder = {u"ten"_s, u"nine"_s, u"evening before"_s, u"midnight"_s};
        const QStringList byTime = {u"evening before"_s, u"nine"_s, u"ten"_s, u"midnight"_s};
        ClickHeader(ui, 3);
        QCOMPARE(Titles(ui), byTime);
        ClickHeader(ui, 3);
        QCOMPARE(Titles(ui), QStringList(byTime.rbegin(), byTime.rend()));
        ClickHeader(ui, 3);
        QCOMPARE(Titles(ui), boxOrder);
        QVERIFY(!ui.LV_View->header()->isSortIndicatorShown());
        ClickHeader(ui, 3);
        // Sorting is a way of looking: the file keeps the box's order, byte for byte.
        pc.Window().close();
        QCOMPARE(pc.files.files[QStringLiteral("vnsend.txt")], file);
        pc.app.reset();
        pc.Start();
        QCOMPARE(Titles(pc.Parts()), byTime);
        QVERIFY(pc.Parts().LV_View->header()->isSortIndicatorShown());
    }

    void aMailArrivingWhileFilteredKeepsTheSearchTheSortAndTheSelection() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        pc.files.files[QStringLiteral("vnread.txt")] = Record('R', u"report 1"_s, "1998/02/23 9:59:59") +
                                                       Record('R', u"report 2"_s, "1998/02/23 10:00:00") +
                                                       Record('R', u"lunch"_s, "1998/02/23 9:00:00");
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        const Finder finder(pc.Window());
        ui.Mn_ViewRead->trigger();
        ClickHeader(ui, 3);
        Search(finder, u"REPORT"_s);
        QCOMPARE(Titles(ui), (QStringList{u"report 1"_s, u"report 2"_s}));
        ClickRow(ui, 0);
        ClickRow(ui, 1, Qt::ControlModifier);
        pc.endpoint.Inject(
            Record('S', u"report 3"_s, "1998/02/23 9:30:00").replace("PC01\\PC02", "PC02\\PC01") + '\0');
        pc.endpoint.Inject(Record('S', u"lunch 2"_s).replace("PC01\\PC02", "PC02\\PC01") + '\0');
        ui.CheckMail();
        QCOMPARE(Titles(ui), (QStringList{u"report 3"_s, u"report 1"_s, u"report 2"_s}));
        QCOMPARE(finder.field->text(), u"REPORT"_s);
        QCOMPARE(finder.count->text(), QStringLiteral("該当 3 通"));
        QCOMPARE(ui.LV_View->header()->sortIndicatorSection(), 3);
        const QModelIndexList selected = ui.LV_View->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 2);
        QCOMPARE(ui.LV_View->currentIndex().row(), 2); // the one shown, report 2
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("b\n"));
    }

    void noReceiptLeavesFromASearchASortOrAMultiSelection() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        FakeEndpoint& sender = net.AddHost("PC02");
        sender.Open();
        pc.files.files[QStringLiteral("vnread.txt")] =
            Record('G', u"apple"_s) + Record('G', u"banana"_s) + Record('G', u"cherry"_s);
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        const Finder finder(pc.Window());
        ui.Mn_ViewRead->trigger();
        sender.TakeAll(); // the start-up probe
        const auto unread = [&ui] {
            int count = 0;
            for (int row = 0; row < ui.LV_Model->rowCount(); ++row)
                count += ui.LV_Model->Image(row) == Delivered ? 1 : 0;
            return count;
        };
        // One row left by the search, then sorted: nothing is opened.
        Search(finder, u"ＢＡＮ"_s);
        QCOMPARE(Titles(ui), QStringList{u"banana"_s});
        ClickHeader(ui, 0);
        ClickHeader(ui, 0);
        QTest::keyClick(finder.field, Qt::Key_Escape);
        QCOMPARE(unread(), 3);
        // All, and two: the text of an unread one is not shown, no receipt.
        ui.LV_View->setFocus();
        QTest::keyClick(ui.LV_View, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(ui.LV_View->selectionModel()->selectedRows().size(), 3);
        ClickRow(ui, 0, Qt::ControlModifier); // one less: two left
        QTest::keyClick(ui.LV_View, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(unread(), 3);
        QCOMPARE(sender.Waiting(), 0);
        QVERIFY(!ui.Mm_Message->toPlainText().contains(u"b"_s));
        // Shown by itself, it is opened, once.
        ClickRow(ui, 1);
        QCOMPARE(ui.Mm_Message->toPlainText(), QStringLiteral("b\n"));
        QCOMPARE(unread(), 2);
        QCOMPARE(sender.Waiting(), 1);
    }

    void deletingManyAsksOnceAndSendingManySendsEveryCopy() {
        FakeNetwork net;
        TestMachine pc(net, "PC01", {"PC01", "PC02"});
        FakeEndpoint& other = net.AddHost("PC02");
        other.Open();
        pc.files.files[QStringLiteral("vnsend.txt")] =
            Record('K', u"a"_s) + Record('K', u"b"_s) + Record('K', u"c"_s) + Record('K', u"d"_s);
        pc.Start();
        const MainWindowParts ui = pc.Parts();
        other.TakeAll(); // the start-up probe
        ClickHeader(ui, 0);
        ClickHeader(ui, 0); // d, c, b, a: rows are no longer records
        ClickRow(ui, 0);
        ClickRow(ui, 2, Qt::ControlModifier);
        ui.Mn_MailSend->trigger();
        QCOMPARE(other.Waiting(), 2);
        QCOMPARE(ui.LV_Model->Image(0), int(Sent));
        QCOMPARE(ui.LV_Model->Image(1), int(Saved));
        QCOMPARE(ui.LV_Model->Image(2), int(Sent));
        // いいえ keeps them; はい deletes both after that one question.
        pc.prompt.yesNoAnswers = {false, true};
        QTest::mouseClick(ui.SpeedButton2, Qt::LeftButton);
        QCOMPARE(Titles(ui), (QStringList{u"d"_s, u"c"_s, u"b"_s, u"a"_s}));
        QTest::mouseClick(ui.SpeedButton2, Qt::LeftButton);
        QCOMPARE(pc.prompt.boxes.size(), 2);
        QVERIFY(pc.prompt.boxes.at(1).text.contains(u"2通"_s));
        QCOMPARE(Titles(ui), (QStringList{u"c"_s, u"a"_s}));
        QCOMPARE(pc.app->Post().Count(Box::Send), 2);
        // One alone goes without a question.
        ClickRow(ui, 0);
        QTest::mouseClick(ui.SpeedButton2, Qt::LeftButton);
        QCOMPARE(pc.prompt.boxes.size(), 2);
        QCOMPARE(Titles(ui), QStringList{u"a"_s});
    }
};

QTEST_MAIN(SearchTest)
#include "search_test.moc"
