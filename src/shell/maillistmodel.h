#pragma once

#include "store/mailbox.h"
#include "transport/retryschedule.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace varnel {

// The rows of the mail list. Two modes:
// - a mailbox: each row shows one record, with the record's status as its picture; newest first (row
//   r is record r) unless an order is given, which names the records to show, row by row. The model
//   keeps its own copy of the mailbox as it was at ShowMailBox (the text is shared, not copied), so
//   the list shows what it was filled with until the next refill, and never reads a mailbox that
//   has gone away. Cells are decoded from CP932 only when a row is first asked for, so a refill
//   costs next to nothing however large the mailbox is.
// - the recipients of a new mail: title (editable in place), sender and recipient host, picture 0.
class MailListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 5;

    explicit MailListModel(QObject* parent = nullptr);

    // Mailbox mode: one row per record while StatusOf(i) is not -1. A null box gives an empty list.
    void ShowMailBox(const MailBox* box);
    // Mailbox mode, the records of order in that order (those the box does not list are left out).
    void ShowMailBox(const MailBox* box, const std::vector<int>& order);
    // Mailbox mode: the mailbox as the list was filled from it; null otherwise.
    const MailBox* Shown() const { return m_box ? &*m_box : nullptr; }
    // How many records the mailbox lists, shown or not.
    int ListedRecords() const { return m_composing ? 0 : m_count; }
    // Mailbox mode: the record a row shows, -1 outside the list; the row that shows a record, or -1.
    int RecordAt(int row) const;
    int RowOf(int record) const;
    // Compose mode: an empty list of recipient rows.
    void ShowCompose();
    bool Composing() const { return m_composing; }

    // Compose mode only (-1 / no effect otherwise). Sender and recipient are CP932 host names.
    int AppendRow(const QString& title, const QByteArray& sender, const QByteArray& recipient);
    void RemoveRowAt(int row);
    // Removes every row; the mode stays.
    void ClearRows();

    // What a cell shows; empty outside the list.
    QString CellText(int row, int col) const;
    QString Title(int row) const;
    // The bytes of a recipient row as they were given.
    QByteArray SenderBytes(int row) const;
    QByteArray RecipientBytes(int row) const;
    // The row's picture (a MailStatus value), -1 outside the list.
    int Image(int row) const;
    // Changes the picture in the list only; the mailbox is not touched.
    void SetImage(int row, int image);
    // Mailbox mode: takes the row's cells anew from its record in box (same record, changed header).
    void ReloadRow(int row, const MailBox& box);
    // Mailbox mode: the record key of the row as the list was filled; empty outside the list.
    QByteArray KeyAt(int row) const;
    // Whether a copy on its way waits, and how: a row that waits shows it in its picture and tooltip.
    void SetWaitingLookup(std::function<RetrySchedule::Waiting(const QByteArray& key)> lookup) {
        m_waiting = std::move(lookup);
    }
    // What a row says about its seal, from its key and picture: empty for a sealed mail; otherwise
    // the row is shown in italics with that word as its tooltip. No function: nothing is marked.
    using SealMark = std::function<QString(const QByteArray& key, int image)>;
    void SetSealMark(SealMark mark) { m_sealMark = std::move(mark); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Recipient {
        QString title;
        QByteArray sender;
        QByteArray recipient;
        int image = 0;
    };

    // Mailbox mode: the box's records in the order given, or all of them newest first.
    void Fill(const MailBox* box, const std::vector<int>* order);
    // Drops every row and the mailbox copy, for a refill in the given mode.
    void Forget(bool composing);
    bool InRange(int row) const { return row >= 0 && row < RowTotal(); }
    int RowTotal() const { return m_composing ? int(m_rows.size()) : int(m_order.size()); }
    const QStringList& Decoded(int row) const;
    QIcon StatusIcon(int image) const;

    bool m_composing = false;
    // Mailbox mode.
    std::optional<MailBox> m_box;
    int m_count = 0;
    std::vector<int> m_order;                // row -> record
    std::vector<int> m_rowOf;                // record -> row, -1 when not shown
    std::vector<signed char> m_images;       // by record
    mutable QHash<int, QStringList> m_cells; // by record
    // Compose mode.
    QList<Recipient> m_rows;

    mutable std::array<QIcon, 4> m_icons;
    std::function<RetrySchedule::Waiting(const QByteArray& key)> m_waiting;
    SealMark m_sealMark;
};

} // namespace varnel
