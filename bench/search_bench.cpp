// Finding mail in a large receive box: a key typed in the search field up to the filtered list on
// the screen, a sort by each column, and deleting a thousand selected mails. The goal on the
// project's machine: under 50 ms for a key, under 100 ms for a sort.
#include "shell/mailfinder.h"
#include "shell/maillistmodel.h"
#include "store/mailbox.h"
#include "store/mailsearch.h"
#include "text/cp932.h"
#include "widgetmain.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <QTreeView>
#include <benchmark/benchmark.h>

#include <random>

namespace {

using namespace varnel;

QByteArray Cp932(const QString& text) {
    QByteArray bytes;
    cp932::Encode(text, bytes);
    return bytes;
}

// 100,000 records of about 500 bytes (about 50 MB): Japanese and Latin titles and text, half-width
// kana here and there, 200 machines, times over three years with hours with and without two digits.
const MailBox& LargeMailBox() {
    static const MailBox box = [] {
        const QStringList words = {
            QStringLiteral("会議"), QStringLiteral("メール"),   QStringLiteral("ﾒｰﾙ"),
            QStringLiteral("予定"), QStringLiteral("資料"),     QStringLiteral("ガス"),
            QStringLiteral("ｶﾞｽ"),  QStringLiteral("Report"),   QStringLiteral("ＡＢＣ"),
            QStringLiteral("確認"), QStringLiteral("お知らせ"), QStringLiteral("パン"),
            QStringLiteral("ﾊﾟﾝ"),  QStringLiteral("2026年"),   QStringLiteral("１２月"),
            QStringLiteral("昼食"), QStringLiteral("backup"),   QStringLiteral("サーバー"),
            QStringLiteral("休暇"), QStringLiteral("請求書")};
        std::vector<QByteArray> encoded;
        for (const QString& w : words)
            encoded.push_back(Cp932(w));
        std::mt19937 rng(20260223);
        const auto word = [&] { return encoded[rng() % encoded.size()]; };
        QByteArray text;
        text.reserve(52'000'000);
        const char letters[] = {'K', 'S', 'G', 'R'};
        for (int i = 0; i < 100'000; ++i) {
            const auto time = [&](int day) {
                return QByteArray::number(2024 + day / 365) + '/' + QByteArray::number(1 + day / 31 % 12) +
                       '/' + QByteArray::number(1 + day % 28) + ' ' + QByteArray::number(rng() % 24) + ':' +
                       QByteArray::number(10 + rng() % 50) + ':' + QByteArray::number(10 + rng() % 50);
            };
            const int day = 1000 - i / 100;
            text += '\x07';
            text += letters[i % 4];
            text += '\\' + word() + ' ' + word() + ' ' + QByteArray::number(i) + "\\PC" +
                    QByteArray::number(rng() % 200) + "\\PC" + QByteArray::number(rng() % 200) + '\\' +
                    time(day) + '\\';
            if (i % 4 == 3)
                text += time(day + 1);
            text += '\x08';
            QByteArray body;
            while (body.size() < 420) {
                for (int w = 0; w < 6; ++w)
                    body += word() + ' ';
                body += "\r\n";
            }
            text += body;
        }
        MailBox b;
        b.SetText(text);
        return b;
    }();
    return box;
}

// The list, its model and the finder as the main window sets them up, showing the receive box.
struct Window {
    QWidget panel;
    QWidget pane;
    QTreeView* list;
    MailListModel model;
    MailFinder* finder;
    QLineEdit* field;
    const MailBox& box = LargeMailBox();

    Window() : list(new QTreeView(&pane)) {
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        list->setAllColumnsShowFocus(true);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setModel(&model);
        list->header()->setStretchLastSection(false);
        pane.resize(489, 249);
        list->resize(489, 249);
        panel.resize(613, 41);
        finder = new MailFinder(panel, *list, model);
        field = panel.findChild<QLineEdit*>(QStringLiteral("SearchField"));
        QObject::connect(finder, &MailFinder::RowsChanged, [this] { finder->ShowMailBox(View::Read, &box); });
        finder->ShowMailBox(View::Read, &box);
        pane.show();
        panel.show();
        QApplication::processEvents();
    }
    // Up to the first paint of the rows shown.
    void Ready() {
        QPixmap shown = list->viewport()->grab();
        benchmark::DoNotOptimize(shown);
    }
};

Window& TheWindow() {
    static Window window;
    return window;
}

void BM_FoldWholeBox(benchmark::State& state) {
    const MailBox& box = LargeMailBox();
    for (auto _ : state) {
        MailSearchIndex index;
        index.Sync(box);
        benchmark::DoNotOptimize(index.Count());
    }
    state.counters["MB"] = double(box.Text().size()) / 1e6;
    state.counters["records"] = box.MarkCount();
}
BENCHMARK(BM_FoldWholeBox)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SyncUnchangedBox(benchmark::State& state) {
    const MailBox& box = LargeMailBox();
    MailSearchIndex index;
    index.Sync(box);
    for (auto _ : state)
        benchmark::DoNotOptimize(index.Sync(box));
}
BENCHMARK(BM_SyncUnchangedBox)->Unit(benchmark::kMillisecond);

// One key: from what the field held to what it holds after the key, list painted.
void Keystroke(benchmark::State& state, const QString& before, const QString& after) {
    Window& w = TheWindow();
    for (auto _ : state) {
        state.PauseTiming();
        w.field->setText(before);
        w.Ready();
        state.ResumeTiming();
        w.field->setText(after);
        w.Ready();
    }
    state.counters["rows"] = w.model.rowCount();
    w.field->clear();
}
// The first key looks at every record; the next ones only at what the first one matched.
void BM_FirstKey(benchmark::State& state) {
    Keystroke(state, {}, QStringLiteral("ﾒ"));
}
void BM_SecondKey(benchmark::State& state) {
    Keystroke(state, QStringLiteral("ﾒ"), QStringLiteral("ﾒｰ"));
}
void BM_RareWordKey(benchmark::State& state) {
    Keystroke(state, QStringLiteral("9999"), QStringLiteral("99999"));
}
BENCHMARK(BM_FirstKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SecondKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RareWordKey)->Unit(benchmark::kMillisecond);

// A click on a column header that sorts the whole box by it, list painted.
void BM_SortByColumn(benchmark::State& state) {
    Window& w = TheWindow();
    QHeaderView* header = w.list->header();
    const int column = int(state.range(0));
    const QPoint at(header->sectionViewportPosition(column) + 5, 5);
    for (auto _ : state) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at); // small to large
        w.Ready();
        state.PauseTiming();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at); // large to small
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at); // the box's order
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SortByColumn)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// Deleting 1,000 selected mails spread over the box, up to the list shown again.
void BM_DeleteThousandSelected(benchmark::State& state) {
    Window& w = TheWindow();
    std::vector<int> selected;
    for (int i = 0; i < 1000; ++i)
        selected.push_back(i * 97);
    for (auto _ : state) {
        state.PauseTiming();
        MailBox box = w.box;
        box.SetEditHook([](qsizetype, qsizetype, QByteArrayView) {});
        w.finder->ShowMailBox(View::Read, &w.box);
        state.ResumeTiming();
        box.DeleteRecords(selected);
        w.finder->ShowMailBox(View::Read, &box);
        w.Ready();
    }
    w.finder->ShowMailBox(View::Read, &w.box);
}
BENCHMARK(BM_DeleteThousandSelected)->Unit(benchmark::kMillisecond);

} // namespace

VARNEL_WIDGET_BENCHMARK_MAIN()
