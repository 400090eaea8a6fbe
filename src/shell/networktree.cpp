#include "shell/networktree.h"

#include "network/hostdetect.h"
#include "shell/varnel.h"
#include "text/cp932.h"

#include <QTreeWidget>

namespace varnel {

NetworkTree::NetworkTree(Varnel& app, QTreeWidget& tree) : m_app(app), m_tree(tree) {}

bool NetworkTree::Fill() {
    m_tree.clear();
    m_hostNodes = QList<QTreeWidgetItem*>(NetBrowser::kTableSize, nullptr);
    NetBrowser& net = m_app.netBrowser;
    if (net.Enumerate() == 0)
        return false;
    for (int i = 1; i <= net.GroupCount; ++i) {
        auto* group = new QTreeWidgetItem(&m_tree, {cp932::Decode(net.GroupNames[i])});
        for (int j = 1; j <= net.HostCount; ++j) {
            if (net.HostGroups[j] == i)
                m_hostNodes[j] = new QTreeWidgetItem(group, {cp932::Decode(net.HostNames[j])});
        }
    }
    return true;
}

bool NetworkTree::DetectLocalHostName() {
    return varnel::DetectLocalHostName(m_app.mailSlot, m_app.netBrowser, m_app.LocalHostName);
}

void NetworkTree::Rescan() {
    Fill();
    DetectLocalHostName();
    // Every machine may be reachable now: the copies waiting for each go again at once.
    if (m_app.courier)
        m_app.courier->NetworkDetected();
}

int NetworkTree::CurrentHost() const {
    const QTreeWidgetItem* node = m_tree.currentItem();
    if (!node)
        return -1;
    const NetBrowser& net = m_app.netBrowser;
    for (int j = 1; j <= net.HostCount && j < m_hostNodes.size(); ++j) {
        if (m_hostNodes[j] == node)
            return j;
    }
    return -1;
}

} // namespace varnel
