// Refilling the mail list from a large mailbox: what switching views or the arrival of mail costs
// the person, up to the first paint of the visible rows.
#include "shell/maillistmodel.h"
#include "store/mailbox.h"
#include "widgetmain.h"

#include <QHeaderView>
#include <QPixmap>
#include <QTreeView>
#include <benchmark/benchmark.h>

namespace {

using varnel::MailBox;
using varnel::MailListModel;

// About 5 MB in about 20000 records, newest first, all four status letters.
const MailBox& LargeMailBox() {
    static const MailBox box = [] {
        QByteArray text;
        text.reserve(5'300'000);
        const char letters[] = {'K', 'S', 'G', 'R'};
        const QByteArray line = QByteArray(66, 'x') + "\r\n";
        for (int i = 0; i < 20000; ++i) {
            text += '\x07';
            text += letters[i % 4];
            text += "\\\x89\xef\x8b\x63 " + QByteArray::number(i) + "\\PC01\\PC02\\1998/02/23 9:05:07\\";
            if (i % 4 == 3)
                text += "1998/02/24 10:00:00";
            text += '\x08';
            for (int j = 0; j < 3; ++j)
                text += line;
        }
        MailBox b;
        b.SetText(text);
        return b;
    }();
    return box;
}

// A list set up as the main window's LV_View.
struct ListView {
    MailListModel model;
    QTreeView view;
    ListView() {
        view.setRootIsDecorated(false);
        view.setItemsExpandable(false);
        view.setUniformRowHeights(true);
        view.setAllColumnsShowFocus(true);
        view.setSelectionMode(QAbstractItemView::SingleSelection);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.setModel(&model);
        view.header()->setStretchLastSection(false);
        const int widths[] = {100, 80, 80, 110, 110};
        for (int c = 0; c < 5; ++c)
            view.header()->resizeSection(c, widths[c]);
        view.resize(489, 249);
        view.show();
        QApplication::processEvents();
    }
};

void BM_RefillAndFirstPaint(benchmark::State& state) {
    const MailBox& box = LargeMailBox();
    ListView list;
    for (auto _ : state) {
        list.model.ShowMailBox(&box);
        QPixmap shown = list.view.viewport()->grab();
        benchmark::DoNotOptimize(shown);
    }
    state.counters["rows"] = list.model.rowCount();
    state.counters["MB"] = double(box.Text().size()) / 1e6;
}
BENCHMARK(BM_RefillAndFirstPaint)->Unit(benchmark::kMillisecond);

void BM_RefillOnly(benchmark::State& state) {
    const MailBox& box = LargeMailBox();
    ListView list;
    for (auto _ : state) {
        list.model.ShowMailBox(&box);
        benchmark::DoNotOptimize(list.model.rowCount());
    }
}
BENCHMARK(BM_RefillOnly)->Unit(benchmark::kMillisecond);

} // namespace

VARNEL_WIDGET_BENCHMARK_MAIN()
