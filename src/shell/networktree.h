#pragma once

#include <QList>
#include <QString>

class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace varnel {

class Varnel;

// The network tree: workgroups at the top, their machines under them, this machine in bold with the
// program's picture. The tree follows each listing in place: nodes that stay keep their expanded
// state and the selection, new ones come in the listing's order (a new workgroup shown open), and
// nodes of machines no longer listed go. While the program runs, the listing is taken again every
// few seconds (Tm_NetWatch), so machines that start or end their program show without a detection
// by hand.
class NetworkTree {
public:
    NetworkTree(Varnel& app, QTreeWidget& tree);
    ~NetworkTree();

    // A fresh listing into the tree. False when the listing found nothing; the tree is then empty.
    // The first one starts the watching.
    bool Fill();
    // Finds this machine's name in the tables. False when it cannot be found.
    bool DetectLocalHostName();
    // The command "ネットワーク再検出": both again, without a word to the person.
    void Rescan();
    // The host (1-based index into the tables) whose node is the tree's current one, or -1 when the
    // current node is a workgroup or there is none.
    int CurrentHost() const;

private:
    // Brings the tree to the tables' content without rebuilding what stays.
    void FollowTables();
    void MarkThisMachine();

    Varnel& m_app;
    QTreeWidget& m_tree;
    QTimer* m_watch = nullptr; // owned by the tree widget
    // The node that shows host i, as the last filling made it.
    QList<QTreeWidgetItem*> m_hostNodes;
};

} // namespace varnel
