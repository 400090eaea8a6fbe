#include "shell/networktree.h"

#include "seal/sealdesk.h"
#include "shell/sealnotices.h"
#include "shell/varnel.h"
#include "text/cp932.h"

#include <QTreeWidget>

namespace varnel {

namespace {

// A machine of the tree whose tooltip names the fingerprint of its pinned key as it is at the
// moment of asking, so a key learnt after the listing shows at once.
class SealedHostItem final : public QTreeWidgetItem {
public:
    SealedHostItem(QTreeWidgetItem* group, const QByteArray& host, const SealDesk& desk)
        : QTreeWidgetItem(group, {cp932::Decode(host)}), m_host(host), m_desk(desk) {}
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

NetworkTree::NetworkTree(Varnel& app, QTreeWidget& tree) : m_app(app), m_tree(tree) {}

bool NetworkTree::Fill() {
    m_tree.clear();
    PostOffice& post = m_app.Post();
    const bool found = post.ListNetwork();
    m_hostNodes = QList<QTreeWidgetItem*>(post.HostCount() + 1, nullptr);
    if (!found)
        return false;
    for (int i = 1; i <= post.GroupCount(); ++i) {
        auto* group = new QTreeWidgetItem(&m_tree, {cp932::Decode(post.GroupName(i))});
        for (int j = 1; j <= post.HostCount(); ++j) {
            if (post.GroupOfHost(j) != i)
                continue;
            if (const SealDesk* desk = post.Seals())
                m_hostNodes[j] = new SealedHostItem(group, post.HostName(j), *desk);
            else
                m_hostNodes[j] = new QTreeWidgetItem(group, {cp932::Decode(post.HostName(j))});
        }
    }
    return true;
}

bool NetworkTree::DetectLocalHostName() {
    return m_app.Post().DetectLocalHost();
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
