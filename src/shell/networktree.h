#pragma once

#include <QList>

class QTreeWidget;
class QTreeWidgetItem;

namespace varnel {

class Varnel;

// The network tree: filled from a fresh listing (workgroups at the top, their machines under them),
// and the detection of this machine's own name among them.
class NetworkTree {
public:
    NetworkTree(Varnel& app, QTreeWidget& tree);

    // False when the listing found nothing; the tree is then empty.
    bool Fill();
    // Finds this machine's name in the tables. False when it cannot be found.
    bool DetectLocalHostName();
    // The command "ネットワーク再検出": both again, without a word to the person.
    void Rescan();
    // The host (1-based index into the tables) whose node is the tree's current one, or -1 when the
    // current node is a workgroup or there is none.
    int CurrentHost() const;

private:
    Varnel& m_app;
    QTreeWidget& m_tree;
    // The node that shows host i, as the last filling made it.
    QList<QTreeWidgetItem*> m_hostNodes;
};

} // namespace varnel
