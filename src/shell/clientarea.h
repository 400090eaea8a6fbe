#pragma once

#include <QList>
#include <QSize>
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
    // The size the window first opens with: the design size, wider when the list's columns at their
    // design widths (the times as wide as they need) do not fit in it in the font in use.
    QSize FirstSize() const;

    QWidget* ToolPanel() const { return m_toolPanel; }
    QTreeWidget* NetworkTree() const { return m_networkTree; }
    QTreeView* MailList() const { return m_mailList; }
    MailListModel* MailModel() const { return m_mailModel; }
    QPlainTextEdit* Memo() const { return m_memo; }

    // The tree's width and the list's height, for a client area of the given size.
    struct PaneSizes {
        int treeWidth;
        int listHeight;
        QSize client;
    };
    PaneSizes Panes() const;
    // The panes keep their share of the window when it is resized.
    void SetPanes(const PaneSizes& panes);
    QList<int> ColumnWidths() const;
    // Widths below what a column's text needs are widened.
    void SetColumnWidths(const QList<int>& widths);
    // The width a time text of 19 characters needs in the list's font.
    int TimeColumnWidth() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayoutClient();
    void LayoutRight();
    bool DragBarEvent(QObject* bar, QEvent* event);
    void FitColumns();

    QWidget* m_toolPanel = nullptr;
    QTreeWidget* m_networkTree = nullptr;
    QFrame* m_treeBar = nullptr; // between the tree and the right pane
    QWidget* m_rightPane = nullptr;
    QTreeView* m_mailList = nullptr;
    MailListModel* m_mailModel = nullptr;
    QFrame* m_listBar = nullptr; // between the list and the memo
    QPlainTextEdit* m_memo = nullptr;

    bool m_dragging = false;
    // The tree's share of the width and the list's share of the right pane's height: moved by the
    // bars, kept when the window is resized.
    double m_treeShare;
    double m_listShare;
    // Each column's width as the person set it (the title's 0 until then); the fitting starts there.
    QList<int> m_wantedWidths;
    bool m_fitting = false;
};

} // namespace varnel
