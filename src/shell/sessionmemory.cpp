#include "shell/sessionmemory.h"

#include "shell/clientarea.h"
#include "shell/mailviews.h"
#include "shell/varnel.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QStringList>

namespace varnel {

namespace {

const QString kDraft = QStringLiteral("Draft");
const QString kGeometry = QStringLiteral("WindowGeometry");
const QString kPanes = QStringLiteral("Panes");
const QString kColumns = QStringLiteral("Columns");

QString NumbersText(const QList<int>& numbers) {
    QStringList parts;
    for (int n : numbers)
        parts.append(QString::number(n));
    return parts.join(u',');
}

// "a,b,c" with exactly count whole numbers, else empty.
QList<int> TextNumbers(const QVariant& value, qsizetype count) {
    if (value.typeId() != QMetaType::QString)
        return {};
    const QStringList parts = value.toString().split(u',');
    QList<int> numbers;
    for (const QString& part : parts) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (!ok || n < 0)
            return {};
        numbers.append(n);
    }
    return numbers.size() == count ? numbers : QList<int>{};
}

} // namespace

SessionMemory::SessionMemory(Varnel& app, QMainWindow& window, ClientArea& client, MailViews& views)
    : m_app(app), m_window(window), m_client(client), m_views(views) {}

void SessionMemory::Restore() {
    SettingsStore& store = *m_app.Platform().settings;
    if (!store.OpenKey())
        return;
    Draft draft;
    if (store.Value(kDraft).typeId() == QMetaType::QString &&
        Draft::FromText(store.Value(kDraft).toString(), draft))
        m_views.SetDraft(draft);
    const QVariant geometry = store.Value(kGeometry);
    if (geometry.typeId() == QMetaType::QString)
        m_window.restoreGeometry(QByteArray::fromBase64(geometry.toString().toLatin1()));
    if (const QList<int> panes = TextNumbers(store.Value(kPanes), 4); !panes.isEmpty())
        m_client.SetPanes({panes[0], panes[1], QSize(panes[2], panes[3])});
    if (const QList<int> columns = TextNumbers(store.Value(kColumns), 5); !columns.isEmpty())
        m_client.SetColumnWidths(columns);
    store.CloseKey();
}

void SessionMemory::Save() {
    SettingsStore& store = *m_app.Platform().settings;
    if (!store.OpenKey())
        return;
    store.SetValue(kDraft, m_views.CurrentDraft().ToText());
    store.SetValue(kGeometry, QString::fromLatin1(m_window.saveGeometry().toBase64()));
    const ClientArea::PaneSizes panes = m_client.Panes();
    store.SetValue(kPanes, NumbersText({panes.treeWidth, panes.listHeight, panes.client.width(),
                                        panes.client.height()}));
    store.SetValue(kColumns, NumbersText(m_client.ColumnWidths()));
    store.CloseKey();
}

} // namespace varnel
