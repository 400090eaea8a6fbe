#pragma once

#include "shell/commandrules.h"
#include "shell/helpwindow.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QToolButton;

namespace varnel {

class ArrivalNotice;
class ClientArea;
class Composer;
class Lifecycle;
class MailCheck;
class MailViews;
class NetworkTree;
class SessionMemory;
class Varnel;
class WindowTray;
class DeliveryView;

// The main window (Form1): lays out the client area, the menus, the pop-up menus and the tool bar,
// routes every command to the part that does the work, and applies the enabling rules.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Varnel& app, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up steps; the window is shown by the caller.
    void Start();
    // The close steps, then the end of the program.
    void RequestClose();
    bool Closed() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildToolBar();
    void BuildMenus();
    void WireCommands();
    void ShowViewMarks(View view);

    // Enabling rules, applied whenever the menu opens.
    void UpdateMailMenu();
    void UpdateEditMenu();
    void UpdateListMenu();

    void ShowHelp();
    void ShowUnreadCount(int count);

    Varnel& m_app;
    ClientArea* m_client = nullptr;
    QPointer<HelpWindow> m_help;
    QLabel* m_unreadLabel = nullptr;

    // The commands; the tool bar buttons show the same actions.
    QMenu* m_mailMenu = nullptr;
    QAction* m_compose = nullptr;
    QAction* m_send = nullptr;
    QAction* m_reply = nullptr;
    QAction* m_deleteSelected = nullptr;
    QAction* m_deleteAll = nullptr;
    QAction* m_exit = nullptr;
    QMenu* m_editMenu = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_paste = nullptr;
    QAction* m_cut = nullptr;
    QAction* m_openSettings = nullptr;
    QAction* m_rescanNetwork = nullptr;
    QAction* m_viewSendBox = nullptr;
    QAction* m_viewReceiveBox = nullptr;
    QAction* m_viewCompose = nullptr;
    QAction* m_openHelp = nullptr;
    QAction* m_openInfo = nullptr;

    // The mail list's pop-up menu.
    QMenu* m_listMenu = nullptr;
    QAction* m_sendFromList = nullptr;
    QAction* m_replyFromList = nullptr;
    QAction* m_saveWithoutSending = nullptr;
    QAction* m_deleteFromList = nullptr;
    QAction* m_deleteAllFromList = nullptr;

    // The tray icon's pop-up menu.
    QMenu* m_trayMenu = nullptr;
    QAction* m_restore = nullptr;
    QAction* m_exitFromTray = nullptr;

    // The parts that do the work. They go before the widgets they use.
    std::unique_ptr<MailViews> m_views;
    std::unique_ptr<NetworkTree> m_network;
    std::unique_ptr<WindowTray> m_tray;
    std::unique_ptr<ArrivalNotice> m_arrivalNotice;
    std::unique_ptr<MailCheck> m_mailCheck;
    std::unique_ptr<Composer> m_composer;
    std::unique_ptr<Lifecycle> m_lifecycle;
    std::unique_ptr<SessionMemory> m_memory;
    std::unique_ptr<DeliveryView> m_delivery;
};

} // namespace varnel
