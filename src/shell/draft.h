#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace varnel {

// A mail being written: its recipient rows (the title shown in the row, this machine's and the
// recipient's host names as CP932 bytes) and the text typed in the memo. It is kept while the person
// looks at another view and from one run to the next.
struct Draft {
    struct Row {
        QString title;
        QByteArray sender;
        QByteArray recipient;
        bool operator==(const Row&) const = default;
    };
    QList<Row> rows;
    QString text;

    bool IsEmpty() const { return rows.isEmpty() && text.isEmpty(); }
    bool operator==(const Draft&) const = default;

    // The draft as one line of text for the settings file, and back. A text that is not a draft
    // (damaged by hand, say) gives false and an empty draft.
    QString ToText() const;
    static bool FromText(const QString& text, Draft& draft);
};

} // namespace varnel
