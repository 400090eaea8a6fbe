#include "shell/networktree.h"

#include "seal/sealdesk.h"
#include "shell/icons.h"
#include "shell/sealnotices.h"
#include "shell/varnel.h"
#include "text/cp932.h"

#include <functional>

#include <QTimer>
#include <QTreeWidget>

namespace varnel {

namespace {

constexpr int kWatchInterval = 2000; // ms; a listing after the first only reads what is known

// The child of parent (or the top-level node, for no parent) at or after position from whose text is
// name; null when there is none.
QTreeWidgetItem* FindFrom(QTreeWidget& tree, QTreeWidgetItem* parent, int from, const QString& name) {
    const int count = parent ? parent->childCount() : tree.topLevelItemCount();
    for (int k = from; k < count; ++k) {
        QTreeWidgetItem* node = parent ? parent->child(k) : tree.topLevelItem(k);
        if (node->text(0) == name)
            return node;
    }
    return nullptr;
}

// Puts the node named name at position at under parent: the one there already, one found further on
// (moved up, keeping whether it was open), or a new one.
QTreeWidgetItem* PlaceAt(QTreeWidget& tree, QTreeWidgetItem* parent, int at, const QString& name, bool isNew,
                         const std::function<QTreeWidgetItem*()>& make = {}) {
    QTreeWidgetItem* node = FindFrom(tree, parent, at, name);
    const int index = !node ? -1 : parent ? parent->indexOfChild(node) : tree.indexOfTopLevelItem(node);
    if (node && index == at)
        return node;
    bool open = isNew;
    if (node) {
        open = node->isExpanded();
        if (parent)
            parent->takeChild(index);
        else
            tree.takeTopLevelItem(index);
    } else {
        node = make ? make() : nullptr;
        if (!node)
            node = new QTreeWidgetItem(QStringList{name});
    }
    if (parent)
        parent->insertChild(at, node);
    else
        tree.insertTopLevelItem(at, node);
    node->setExpanded(open);
    return node;
}

// Drops the nodes from position from on.
void DropFrom(QTreeWidget& tree, QTreeWidgetItem* parent, int from) {
    while ((parent ? parent->childCount() : tree.topLevelItemCount()) > from)
        delete (parent ? parent->child(from) : tree.topLevelItem(from));
}

// A machine of the tree whose tooltip names the fingerprint of its pinned key as it is at the
// moment of asking, so a key learnt after the listing shows at once.
class SealedHostItem final : public QTreeWidgetItem {
public:
    SealedHostItem(const QByteArray& host, const SealDesk& desk)
        : QTreeWidgetItem(QStringList{cp932::Decode(host)}), m_host(host), m_desk(desk) {}
    QVariant data(int column, int role) const override {
        if (role == Qt::ToolTipRole && column == 0)
            return sealtexts::MachineTip(&m_desk, m_host, text(0));
        return QTreeWidgetItem::data(column, role);
    }

private:
    QByteArray m_host;
    const SealDesk& m_desk;
};

} // namespace

NetworkTree::NetworkTree(Varnel& app, QTreeWidget& tree) : m_app(app), m_tree(tree) {
    m_watch = new QTimer(&m_tree);
    m_watch->setObjectName(QStringLiteral("Tm_NetWatch"));
    m_watch->setInterval(kWatchInterval);
    // A watch tick follows the listing; it is no network detection, so the copies on their way keep
    // their pauses.
    QObject::connect(m_watch, &QTimer::timeout, &m_tree, [this] {
        m_app.Post().RefreshNetwork();
        FollowTables();
    });
}

NetworkTree::~NetworkTree() {
    delete m_watch; // the tree widget may outlive this object
}

bool NetworkTree::Fill() {
    const bool found = m_app.Post().ListNetwork();
    FollowTables();
    if (!m_watch->isActive())
        m_watch->start();
    return found;
}

void NetworkTree::FollowTables() {
    const PostOffice& post = m_app.Post();
    m_hostNodes = QList<QTreeWidgetItem*>(post.HostCount() + 1, nullptr);
    // A listing without a machine leaves the tree empty.
    const int groups = post.NetworkFound() ? post.GroupCount() : 0;
    for (int i = 1; i <= groups; ++i) {
        QTreeWidgetItem* group = PlaceAt(m_tree, nullptr, i - 1, cp932::Decode(post.GroupName(i)), true);
        int place = 0;
        for (int j = 1; j <= post.HostCount(); ++j) {
            if (post.GroupOfHost(j) == i)
                m_hostNodes[j] = PlaceAt(m_tree, group, place++, cp932::Decode(post.HostName(j)), false,
                                         [&post, j]() -> QTreeWidgetItem* {
                                             if (const SealDesk* desk = post.Seals())
                                                 return new SealedHostItem(post.HostName(j), *desk);
                                             return nullptr;
                                         });
        }
        DropFrom(m_tree, group, place);
    }
    DropFrom(m_tree, nullptr, groups);
    MarkThisMachine();
}

void NetworkTree::MarkThisMachine() {
    const PostOffice& post = m_app.Post();
    for (int j = 1; j < m_hostNodes.size(); ++j) {
        QTreeWidgetItem* node = m_hostNodes[j];
        if (!node)
            continue;
        const bool self = !post.LocalHostName().isEmpty() && post.HostName(j) == post.LocalHostName();
        const bool marked = node->data(0, Qt::FontRole).isValid();
        if (self && !marked) {
            QFont bold = m_tree.font();
            bold.setBold(true);
            node->setFont(0, bold);
            node->setIcon(0, icons::Window());
        } else if (!self && marked) {
            node->setData(0, Qt::FontRole, QVariant());
            node->setIcon(0, QIcon());
        }
    }
}

bool NetworkTree::DetectLocalHostName() {
    const bool found = m_app.Post().DetectLocalHost();
    MarkThisMachine();
    return found;
}

void NetworkTree::Rescan() {
    Fill();
    DetectLocalHostName();
}

int NetworkTree::CurrentHost() const {
    const QTreeWidgetItem* node = m_tree.currentItem();
    if (!node)
        return -1;
    for (int j = 1; j <= m_app.Post().HostCount() && j < m_hostNodes.size(); ++j) {
        if (m_hostNodes[j] == node)
            return j;
    }
    return -1;
}

} // namespace varnel
