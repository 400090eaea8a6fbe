#include "shell/maillistmodel.h"

#include "shell/deliverytexts.h"
#include "shell/icons.h"
#include "store/mailrecord.h"
#include "text/cp932.h"

#include <QFont>
#include <QStringList>

namespace varnel {

namespace {

// The cells of a record's row: its header fields, one per column, in their order.
QStringList CellsOf(const MailBox& box, int record) {
    QStringList cells;
    cells.reserve(MailListModel::kColumns);
    for (int col = 0; col < MailListModel::kColumns; ++col)
        cells.append(cp932::Decode(box.FieldOf(record, col)));
    return cells;
}

} // namespace

MailListModel::MailListModel(QObject* parent) : QAbstractTableModel(parent) {}

void MailListModel::Forget(bool composing) {
    m_composing = composing;
    m_rows.clear();
    m_cells.clear();
    m_images.clear();
    m_order.clear();
    m_rowOf.clear();
    m_count = 0;
    m_box.reset();
}

void MailListModel::ShowMailBox(const MailBox* box) {
    Fill(box, nullptr);
}

void MailListModel::ShowMailBox(const MailBox* box, const std::vector<int>& order) {
    Fill(box, &order);
}

void MailListModel::Fill(const MailBox* box, const std::vector<int>* order) {
    beginResetModel();
    Forget(false);
    if (box) {
        m_box.emplace(*box);
        // The rows end at the first record whose status is not one of the four letters.
        for (int status = m_box->StatusOf(0); status != -1; status = m_box->StatusOf(m_count)) {
            m_images.push_back(static_cast<signed char>(status));
            ++m_count;
        }
    }
    m_rowOf.assign(size_t(m_count), -1);
    if (!order) { // newest first, as the box holds them
        for (int record = 0; record < m_count; ++record)
            m_rowOf[size_t(record)] = record;
        m_order = m_rowOf;
    } else {
        m_order.reserve(order->size());
        for (int record : *order) {
            if (record >= 0 && record < m_count && m_rowOf[size_t(record)] < 0) {
                m_rowOf[size_t(record)] = int(m_order.size());
                m_order.push_back(record);
            }
        }
    }
    endResetModel();
}

int MailListModel::RecordAt(int row) const {
    return !m_composing && InRange(row) ? m_order[size_t(row)] : -1;
}

int MailListModel::RowOf(int record) const {
    return !m_composing && record >= 0 && record < m_count ? m_rowOf[size_t(record)] : -1;
}

void MailListModel::ShowCompose() {
    beginResetModel();
    Forget(true);
    endResetModel();
}

int MailListModel::AppendRow(const QString& title, const QByteArray& sender, const QByteArray& recipient) {
    if (!m_composing)
        return -1;
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append(Recipient{title, sender, recipient, 0});
    endInsertRows();
    return row;
}

void MailListModel::RemoveRowAt(int row) {
    if (!m_composing || !InRange(row))
        return;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

void MailListModel::ClearRows() {
    beginResetModel();
    Forget(m_composing);
    endResetModel();
}

const QStringList& MailListModel::Decoded(int row) const {
    const int record = RecordAt(row);
    auto it = m_cells.constFind(record);
    if (it != m_cells.constEnd())
        return *it;
    return *m_cells.insert(record, CellsOf(*m_box, record));
}

QString MailListModel::CellText(int row, int col) const {
    if (!InRange(row) || col < 0 || col >= kColumns)
        return {};
    if (!m_composing)
        return Decoded(row).at(col);
    const Recipient& r = m_rows.at(row);
    switch (col) {
    case 0:
        return r.title;
    case 1:
        return cp932::Decode(r.sender);
    case 2:
        return cp932::Decode(r.recipient);
    default:
        return {}; // a mail being written has no times yet
    }
}

QString MailListModel::Title(int row) const {
    return CellText(row, 0);
}

QByteArray MailListModel::SenderBytes(int row) const {
    return m_composing && InRange(row) ? m_rows.at(row).sender : QByteArray();
}

QByteArray MailListModel::RecipientBytes(int row) const {
    return m_composing && InRange(row) ? m_rows.at(row).recipient : QByteArray();
}

int MailListModel::Image(int row) const {
    if (!InRange(row))
        return -1;
    return m_composing ? m_rows.at(row).image : int(m_images[size_t(RecordAt(row))]);
}

void MailListModel::SetImage(int row, int image) {
    if (!InRange(row) || image < 0 || image >= int(m_icons.size()) || Image(row) == image)
        return;
    if (m_composing)
        m_rows[row].image = image;
    else
        m_images[size_t(RecordAt(row))] = static_cast<signed char>(image);
    const QModelIndex cell = index(row, 0);
    Q_EMIT dataChanged(cell, cell, {Qt::DecorationRole});
}

void MailListModel::ReloadRow(int row, const MailBox& box) {
    if (m_composing || !InRange(row))
        return;
    const int record = RecordAt(row);
    m_cells.insert(record, CellsOf(box, record));
    Q_EMIT dataChanged(index(row, 0), index(row, kColumns - 1), {Qt::DisplayRole});
}

QByteArray MailListModel::KeyAt(int row) const {
    QByteArray key;
    if (m_composing || !InRange(row) || !m_box || !m_box->KeyOf(RecordAt(row), key))
        return {};
    return key;
}

int MailListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowTotal();
}

int MailListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QIcon MailListModel::StatusIcon(int image) const {
    if (image < 0 || image >= int(m_icons.size()))
        return {};
    QIcon& icon = m_icons[size_t(image)];
    if (icon.isNull())
        icon = icons::Status(image);
    return icon;
}

QVariant MailListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !InRange(index.row()) || index.column() >= kColumns)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return CellText(index.row(), index.column());
    case Qt::DecorationRole:
    case Qt::ToolTipRole:
    case Qt::FontRole: {
        const int row = index.row();
        const QString sealMark = m_sealMark && !m_composing ? m_sealMark(KeyAt(row), Image(row)) : QString();
        if (role == Qt::FontRole) {
            if (sealMark.isEmpty())
                return {};
            QFont font;
            font.setItalic(true);
            return font;
        }
        RetrySchedule::Waiting waiting;
        if (index.column() == 0 && !m_composing && m_waiting && Image(row) == Sent)
            waiting = m_waiting(KeyAt(row));
        if (role == Qt::ToolTipRole) {
            QStringList tips;
            if (waiting.waiting)
                tips.append(delivery::WaitingTip(waiting));
            if (!sealMark.isEmpty())
                tips.append(sealMark);
            return tips.isEmpty() ? QVariant() : QVariant(tips.join(QLatin1Char('\n')));
        }
        if (index.column() != 0)
            return {};
        return waiting.waiting ? icons::Waiting() : StatusIcon(Image(row));
    }
    default:
        return {};
    }
}

bool MailListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !m_composing || !index.isValid() || index.column() != 0 ||
        !InRange(index.row()))
        return false;
    const QString title = value.toString();
    if (m_rows.at(index.row()).title == title)
        return true;
    m_rows[index.row()].title = title;
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags MailListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    // Only the title of a mail being written can be edited in place.
    if (m_composing && index.column() == 0)
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant MailListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return {};
    static const std::array<const char16_t*, kColumns> captions = {u"メール名", u"送信者", u"受信者",
                                                                   u"送信時間", u"受信時間"};
    return QString::fromUtf16(captions[size_t(section)]);
}

} // namespace varnel
