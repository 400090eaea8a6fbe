#pragma once

#include <QWidget>

class QFrame;
class QPlainTextEdit;
class QTreeView;
class QTreeWidget;

namespace varnel {

class MailListModel;

// The main window's client area: the tool bar panel on top, the network tree on the left, the mail
// list over the memo on the right, and the two bars that move the boundaries between them.
class ClientArea final : public QWidget {
    Q_OBJECT
public:
    explicit ClientArea(QWidget* parent);

    // The size the window is designed for; the window opens with its client area this large.
    static QSize DesignSize() { return {613, 462}; }

    QWidget* ToolPanel() const { return m_toolPanel; }
    QTreeWidget* NetworkTree() const { return m_networkTree; }
    QTreeView* MailList() const { return m_mailList; }
    MailListModel* MailModel() const { return m_mailModel; }
    QPlainTextEdit* Memo() const { return m_memo; }
    // A dragging bar holds the pointer.
    bool Dragging() const { return m_dragging; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayoutClient();
    void LayoutRight();
    bool DragBarEvent(QObject* bar, QEvent* event);

    QWidget* m_toolPanel = nullptr;
    QTreeWidget* m_networkTree = nullptr;
    QFrame* m_treeBar = nullptr; // between the tree and the right pane
    QWidget* m_rightPane = nullptr;
    QTreeView* m_mailList = nullptr;
    MailListModel* m_mailModel = nullptr;
    QFrame* m_listBar = nullptr; // between the list and the memo
    QPlainTextEdit* m_memo = nullptr;

    bool m_dragging = false;
    int m_treeWidth = 121;  // the tree's width, moved by the tree bar
    int m_listHeight = 249; // the list's height, moved by the list bar
};

} // namespace varnel
