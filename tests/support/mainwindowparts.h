#pragma once

#include "named.h"

#include "shell/helpwindow.h"
#include "shell/icons.h"
#include "shell/maillistmodel.h"
#include "shell/mainwindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QImage>
#include <QMenu>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

namespace varnel {

// The main window's widgets, actions and timers as a test reaches them: by their object names.
struct MainWindowParts {
    explicit MainWindowParts(const MainWindow& w) : window(w) {}

    // Runs one mail check, as the timer's tick does: the tick is queued behind the timer's event.
    void CheckMail() const {
        QMetaObject::invokeMethod(Tm_CheckMail, "timeout", Qt::DirectConnection);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }

    // The view, by the view menu's check mark (none before the first); the selected row (one at most).
    View CurrentView() const {
        return Mn_ViewRead->isChecked() ? View::Read : Mn_ViewMake->isChecked() ? View::Make : View::Send;
    }
    int SelectedRow() const {
        return LV_View->selectionModel()->selectedRows().value(0, QModelIndex()).row();
    }
    HelpWindow* Help() const { return window.findChild<HelpWindow*>(); }
    // Clicks a row of the mail list, as the person does (in the given column).
    void ClickRow(int row, int column = 0) const {
        const QModelIndex index = LV_Model->index(row, column);
        LV_View->scrollTo(index);
        QTest::mouseClick(LV_View->viewport(), Qt::LeftButton, {}, LV_View->visualRect(index).center());
    }
    // The window wears the unread-mail picture the last mail check chose.
    bool UnreadIcon() const {
        const QSize side(16, 16);
        return window.windowIcon().pixmap(side).toImage() == icons::MailState(true).pixmap(side).toImage();
    }
    // Puts the window into the tray as the start-up timer does.
    void AutoTray() const { QMetaObject::invokeMethod(Tm_AutoTray, "timeout", Qt::DirectConnection); }

    const MainWindow& window;
    QWidget* Panel1 = Named<QWidget>(window, "Panel1");
    QToolButton* SB_MailSend = Named<QToolButton>(window, "SB_MailSend");
    QToolButton* SpeedButton2 = Named<QToolButton>(window, "SpeedButton2"); // delete
    QToolButton* SpeedButton3 = Named<QToolButton>(window, "SpeedButton3"); // exit
    QToolButton* SpeedButton4 = Named<QToolButton>(window, "SpeedButton4"); // network
    QToolButton* SB_ViewSend = Named<QToolButton>(window, "SB_ViewSend");
    QToolButton* SB_ViewRead = Named<QToolButton>(window, "SB_ViewRead");
    QToolButton* SB_ViewMake = Named<QToolButton>(window, "SB_ViewMake");
    QTreeWidget* TV_Network = Named<QTreeWidget>(window, "TV_Network");
    QFrame* Pn_HMove = Named<QFrame>(window, "Pn_HMove");
    QWidget* Pn_Right = Named<QWidget>(window, "Pn_Right");
    QTreeView* LV_View = Named<QTreeView>(window, "LV_View");
    MailListModel* LV_Model = Named<MailListModel>(window, "LV_Model");
    QFrame* Pn_VMove = Named<QFrame>(window, "Pn_VMove");
    QPlainTextEdit* Mm_Message = Named<QPlainTextEdit>(window, "Mm_Message");

    QMenu* Mn_Mail = Named<QMenu>(window, "Mn_Mail");
    QAction* Mn_MailMake = Named<QAction>(window, "Mn_MailMake");
    QAction* Mn_MailSend = Named<QAction>(window, "Mn_MailSend");
    QMenu* Mn_MailDel = Named<QMenu>(window, "Mn_MailDel");
    QAction* Mn_DelSelect = Named<QAction>(window, "Mn_DelSelect");
    QAction* Mn_DelAll = Named<QAction>(window, "Mn_DelAll");
    QAction* Mn_MailClose = Named<QAction>(window, "Mn_MailClose");
    QMenu* Mn_Edit = Named<QMenu>(window, "Mn_Edit");
    QAction* Mn_EditCopy = Named<QAction>(window, "Mn_EditCopy");
    QAction* Mn_EditPast = Named<QAction>(window, "Mn_EditPast");
    QAction* Mn_EditCut = Named<QAction>(window, "Mn_EditCut");
    QAction* Mn_EditSetting = Named<QAction>(window, "Mn_EditSetting");
    QMenu* Mn_View = Named<QMenu>(window, "Mn_View");
    QAction* Mn_ViewNet = Named<QAction>(window, "Mn_ViewNet");
    QAction* Mn_ViewSend = Named<QAction>(window, "Mn_ViewSend");
    QAction* Mn_ViewRead = Named<QAction>(window, "Mn_ViewRead");
    QAction* Mn_ViewMake = Named<QAction>(window, "Mn_ViewMake");
    QMenu* Mn_Info = Named<QMenu>(window, "Mn_Info");
    QAction* Mn_InfoHelp = Named<QAction>(window, "Mn_InfoHelp");
    QAction* Mn_InfoInfo = Named<QAction>(window, "Mn_InfoInfo");

    QMenu* PM_View = Named<QMenu>(window, "PM_View");
    QAction* PM_ViewSend = Named<QAction>(window, "PM_ViewSend");
    QAction* PM_ViewSave = Named<QAction>(window, "PM_ViewSave");
    QAction* PM_ViewDelete = Named<QAction>(window, "PM_ViewDelete");
    QAction* PM_ViewAllDelete = Named<QAction>(window, "PM_ViewAllDelete");
    QAction* PM_ViewCancel = Named<QAction>(window, "PM_ViewCancel");

    QMenu* PM_Tray = Named<QMenu>(window, "PM_Tray");
    QAction* PM_Cancel = Named<QAction>(window, "PM_Cancel");
    QAction* PM_Reraise = Named<QAction>(window, "PM_Reraise");
    QAction* PM_Close = Named<QAction>(window, "PM_Close");

    QTimer* Tm_AutoTray = Named<QTimer>(window, "Tm_AutoTray");
    QTimer* Tm_CheckMail = Named<QTimer>(window, "Tm_CheckMail");
};

} // namespace varnel
