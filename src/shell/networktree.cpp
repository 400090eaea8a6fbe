#include "shell/networktree.h"

#include "shell/varnel.h"
#include "text/cp932.h"

#include <QTreeWidget>

namespace varnel {

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
            if (post.GroupOfHost(j) == i)
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
