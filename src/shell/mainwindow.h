#pragma once

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QPointer>

#include "shell/helpwindow.h"

class QAction;
class QFrame;
class QMenu;
class QPlainTextEdit;
class QTimer;
class QToolButton;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace varnel {

class MailListModel;
class HelpWindow;
class Varnel;
struct Recipient;

// The main window "Form1": tool bar, network tree, mail list and memo, menus, pop-up menus, timers.
// Its operations are split by concern over several files: layout and command enabling
// (mainwindow.cpp), start-up and close (lifecycle.cpp), views and list operations (views.cpp),
// sending, receiving and the network tree (transport.cpp), the tray (tray.cpp).
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    enum class View { Send, Read, Make };

    explicit TForm1(Varnel& app, QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- layout (mainwindow.cpp) -------------------------------------------------------------
    QWidget* Panel1 = nullptr;
    QToolButton* SB_MailSend = nullptr;
    QToolButton* SpeedButton2 = nullptr; // delete
    QToolButton* SpeedButton3 = nullptr; // exit
    QToolButton* SpeedButton4 = nullptr; // network detection
    QToolButton* SB_ViewSend = nullptr;
    QToolButton* SB_ViewRead = nullptr;
    QToolButton* SB_ViewMake = nullptr;
    QTreeWidget* TV_Network = nullptr;
    QFrame* Pn_HMove = nullptr;
    QWidget* Pn_Right = nullptr;
    QTreeView* LV_View = nullptr;
    MailListModel* LV_Model = nullptr;
    QFrame* Pn_VMove = nullptr;
    QPlainTextEdit* Mm_Message = nullptr;

    QMenu* Mn_Mail = nullptr;
    QAction* Mn_MailMake = nullptr;
    QAction* Mn_MailSend = nullptr;
    QMenu* Mn_MailDel = nullptr;
    QAction* Mn_DelSelect = nullptr;
    QAction* Mn_DelAll = nullptr;
    QAction* Mn_MailClose = nullptr;
    QMenu* Mn_Edit = nullptr;
    QAction* Mn_EditCopy = nullptr;
    QAction* Mn_EditPast = nullptr;
    QAction* Mn_EditCut = nullptr;
    QAction* Mn_EditSetting = nullptr;
    QMenu* Mn_View = nullptr;
    QAction* Mn_ViewNet = nullptr;
    QAction* Mn_ViewSend = nullptr;
    QAction* Mn_ViewRead = nullptr;
    QAction* Mn_ViewMake = nullptr;
    QMenu* Mn_Info = nullptr;
    QAction* Mn_InfoHelp = nullptr;
    QAction* Mn_InfoInfo = nullptr;

    QMenu* PM_View = nullptr;
    QAction* PM_ViewSend = nullptr;
    QAction* PM_ViewSave = nullptr;
    QAction* PM_ViewDelete = nullptr;
    QAction* PM_ViewAllDelete = nullptr;
    QAction* PM_ViewCancel = nullptr;

    QMenu* PM_Tray = nullptr;
    QAction* PM_Cancel = nullptr;
    QAction* PM_Reraise = nullptr;
    QAction* PM_Close = nullptr;

    QTimer* Tm_AutoTray = nullptr;
    QTimer* Tm_CheckMail = nullptr;

    // The current mail view, read from the check marks of the view menu.
    View CurrentView() const;
    // Index of the first selected row of the mail list, or -1.
    int SelectedRow() const;
    // The memo's text as CP932 bytes, its logical lines each followed by CR LF. False when a
    // character cannot be encoded; badChar then names it.
    bool MessageBytes(QByteArray& body, QString& badChar) const;

    // Enabling rules, applied whenever the menu opens.
    void Mn_MailClick();
    void Mn_EditClick();
    void PM_ViewPopup();

    // Clipboard commands on the memo and the help window.
    void Mn_EditCopyClick();
    void Mn_EditPastClick();
    void Mn_EditCutClick();
    void Mn_InfoHelpClick();
    HelpWindow* Help() const { return m_help; }

    // Dragging bars.
    bool Dragging() const { return m_dragging; }

    // ---- start-up and close (lifecycle.cpp) --------------------------------------------------
    void FormShow();
    void FormClose();
    // The close request: the close steps, then the end of the program.
    void CloseRequest();
    bool Closed() const { return m_closed; }
    bool LoadMailBoxes();
    bool SaveMailBoxes();
    void Mn_MailCloseClick();
    void Mn_EditSettingClick();
    void Mn_InfoInfoClick();

    // ---- views and list operations (views.cpp) -----------------------------------------------
    void Mn_ViewSendClick();
    void Mn_ViewReadClick();
    void Mn_ViewMakeClick();
    bool ShowView();
    void LV_ViewClick();
    void PM_ViewSaveClick();
    void PM_ViewDeleteClick();
    void PM_ViewAllDeleteClick();
    void PM_ViewSendClick();

    // ---- transport and network (transport.cpp) -----------------------------------------------
    void Mn_MailSendClick();
    bool SendComposed();
    bool SendSelected();
    void Tm_CheckMailTimer();
    bool FillNetworkTree();
    bool DetectLocalHostName();
    void Mn_ViewNetClick();
    void TV_NetworkDblClick();
    // The tree node that shows host i (1-based), as the last filling made it.
    QList<QTreeWidgetItem*> HostNodes;
    // Which icon the last mail check chose: true when unread mail waits.
    bool UnreadIcon() const { return m_unreadIcon; }

    // ---- tray (tray.cpp) ---------------------------------------------------------------------
    void HideToTray();
    void RestoreFromTray();
    void UpdateTrayIcon();
    void Tm_AutoTrayTimer();
    void PM_ReraiseClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildLayout();
    void BuildMenus();
    void BuildToolBar();
    void WireCommands();
    void SetView(View view);
    // Refuses a field or body that cannot travel; tells the person why. True when all is well.
    bool CheckOutgoing(const QList<Recipient>& rows, const QByteArray& body, bool sending);
    bool RowBytes(QList<Recipient>& rows);
    void ApplyIcon(bool unread);
    void RefuseCharacter(const QString& ch, const QString& where);
    void TellBoxFull(const QString& box);

    Varnel& m_app;
    QPointer<HelpWindow> m_help;
    bool m_dragging = false;
    bool m_closed = false;
    bool m_showing = false; // guards the showing steps against re-entry from change notices
    bool m_unreadIcon = false;
    bool m_iconApplied = false;
    bool m_trayIconSet = false; // the tray record has been filled by a first HideToTray
    bool m_fullTold = false;    // the person has been told that the receive box is full

    // window layout state
    void LayoutClient();
    void LayoutRight();
    bool DragBarEvent(QObject* bar, QEvent* event);
    QWidget* m_client = nullptr; // the client area below the menu bar
    int m_treeWidth = 121;       // TV_Network's width, moved by Pn_HMove
    int m_listHeight = 249;      // LV_View's height, moved by Pn_VMove
    bool m_trayPending = false;  // a minimise is on its way to the tray
};

} // namespace varnel
