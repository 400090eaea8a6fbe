#include "shell/settingdialog.h"

#include "shell/dialogsupport.h"
#include "shell/icons.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace varnel {

namespace {

QPushButton* MakeButton(const QString& name, const QString& caption, const QRect& geometry, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    // No button answers Enter unless it has the focus.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QCheckBox* MakeCheckBox(const QString& name, const QString& caption, const QRect& geometry, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

} // namespace

TFrm_Setting::TFrm_Setting(SETTING& settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_settings(settings) {
    setObjectName(QStringLiteral("Frm_Setting"));
    setWindowTitle(QStringLiteral("Varnel-[設定]"));
    setWindowIcon(icons::SettingsWindow());
    setFont(icons::UiFont());
    setFixedSize(312, 173);

    Label1 = new QLabel(QStringLiteral("起動設定"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 8);
    Label1->adjustSize(); // labels size themselves to their text
    CB_Tray = MakeCheckBox(QStringLiteral("CB_Tray"),
                           QStringLiteral("プログラム起動後すぐにタスクトレイにアイコン化"),
                           QRect(16, 24, 273, 17), this);
    // The group box only frames the two lower check boxes; they are the dialog's own children and lie
    // above it.
    GB_Read = new QGroupBox(QStringLiteral("着信設定"), this);
    GB_Read->setObjectName(QStringLiteral("GB_Read"));
    GB_Read->setGeometry(8, 56, 289, 73);
    CB_Popup = MakeCheckBox(QStringLiteral("CB_Popup"),
                            QStringLiteral("メールがきたらポップアップメッセージを表示する"),
                            QRect(16, 72, 273, 17), this);
    CB_Zorder = MakeCheckBox(QStringLiteral("CB_Zorder"), QStringLiteral("ポップアップは常に最前面に表示"),
                             QRect(40, 96, 193, 17), this);
    Btn_OK = MakeButton(QStringLiteral("Btn_OK"), QStringLiteral("OK"), QRect(64, 136, 75, 25), this);
    Btn_Cancel =
        MakeButton(QStringLiteral("Btn_Cancel"), QStringLiteral("キャンセル"), QRect(144, 136, 75, 25), this);
    Btn_Agree =
        MakeButton(QStringLiteral("Btn_Agree"), QStringLiteral("適用"), QRect(224, 136, 75, 25), this);

    setTabOrder(CB_Tray, GB_Read);
    setTabOrder(GB_Read, CB_Popup);
    setTabOrder(CB_Popup, CB_Zorder);
    setTabOrder(CB_Zorder, Btn_OK);
    setTabOrder(Btn_OK, Btn_Cancel);
    setTabOrder(Btn_Cancel, Btn_Agree);

    // toggled also fires when FormShow loads a box with a different state, as a click would.
    for (QCheckBox* box : {CB_Tray, CB_Popup, CB_Zorder})
        connect(box, &QCheckBox::toggled, this, &TFrm_Setting::CB_TrayClick);
    connect(Btn_OK, &QPushButton::clicked, this, &TFrm_Setting::Btn_OKClick);
    connect(Btn_Cancel, &QPushButton::clicked, this, &TFrm_Setting::Btn_CancelClick);
    connect(Btn_Agree, &QPushButton::clicked, this, &TFrm_Setting::Btn_AgreeClick);
}

void TFrm_Setting::FormShow() {
    CB_Tray->setChecked(m_settings.Tray);
    CB_Popup->setChecked(m_settings.Popup);
    CB_Zorder->setChecked(m_settings.Front);
    // Last, so the dialog always opens with "適用" disabled whatever the loading above enabled.
    Btn_Agree->setEnabled(false);
}

void TFrm_Setting::CB_TrayClick() {
    Btn_Agree->setEnabled(true);
}

void TFrm_Setting::Btn_OKClick() {
    m_settings.Tray = CB_Tray->isChecked();
    m_settings.Popup = CB_Popup->isChecked();
    m_settings.Front = CB_Zorder->isChecked();
    close();
}

void TFrm_Setting::Btn_AgreeClick() {
    m_settings.Tray = CB_Tray->isChecked();
    m_settings.Popup = CB_Popup->isChecked();
    m_settings.Front = CB_Zorder->isChecked();
    Btn_Agree->setEnabled(false);
}

void TFrm_Setting::Btn_CancelClick() {
    close();
}

void TFrm_Setting::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(this);
    FormShow();
}

void TFrm_Setting::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        // Escape is キャンセル: the dialog closes and copies nothing.
        Btn_CancelClick();
        return;
    default:
        if (!PressFocusedButton(this, event))
            QDialog::keyPressEvent(event);
    }
}

} // namespace varnel
