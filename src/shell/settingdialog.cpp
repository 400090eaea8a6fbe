#include "shell/settingdialog.h"

#include "seal/sealdesk.h"
#include "settings/settingslogic.h"
#include "shell/dialogsupport.h"
#include "shell/icons.h"
#include "shell/sealnotices.h"
#include "shell/texts.h"

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

SettingDialog::SettingDialog(SETTING& settings, QWidget* parent, SealDesk* seals, SettingsStore* store)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_settings(settings), m_seals(seals), m_store(store) {
    setObjectName(QStringLiteral("Frm_Setting"));
    setWindowTitle(texts::SettingCaption());
    setWindowIcon(icons::SettingsWindow());
    setFont(icons::UiFont());
    setFixedSize(312, 173);

    auto* startLabel = new QLabel(QStringLiteral("起動設定"), this);
    startLabel->setObjectName(QStringLiteral("Label1"));
    startLabel->move(16, 8);
    startLabel->adjustSize(); // labels size themselves to their text
    m_trayBox = MakeCheckBox(QStringLiteral("CB_Tray"),
                             QStringLiteral("プログラム起動後すぐにタスクトレイにアイコン化"),
                             QRect(16, 24, 273, 17), this);
    // The group box only frames the two lower check boxes; they are the dialog's own children and lie
    // above it.
    auto* arrivalGroup = new QGroupBox(QStringLiteral("着信設定"), this);
    arrivalGroup->setObjectName(QStringLiteral("GB_Read"));
    arrivalGroup->setGeometry(8, 56, 289, 73);
    // The frame runs through the middle of its title, so that it passes above the first check box at
    // 72 instead of through it (the style's own frame starts below the title).
    arrivalGroup->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px;"
        " padding: 0 2px; }"));
    m_popupBox = MakeCheckBox(QStringLiteral("CB_Popup"),
                              QStringLiteral("メールがきたらポップアップメッセージを表示する"),
                              QRect(16, 72, 273, 17), this);
    m_frontBox = MakeCheckBox(QStringLiteral("CB_Zorder"), QStringLiteral("ポップアップは常に最前面に表示"),
                              QRect(40, 96, 193, 17), this);
    QPushButton* ok =
        MakeButton(QStringLiteral("Btn_OK"), QStringLiteral("OK"), QRect(64, 136, 75, 25), this);
    QPushButton* cancel =
        MakeButton(QStringLiteral("Btn_Cancel"), QStringLiteral("キャンセル"), QRect(144, 136, 75, 25), this);
    m_applyButton =
        MakeButton(QStringLiteral("Btn_Agree"), QStringLiteral("適用"), QRect(224, 136, 75, 25), this);

    QWidget* beforeGroup = m_trayBox;
    if (m_seals) {
        // Between the start-up option and the arrival group, where the form has room for one line.
        m_sealedOnlyBox = MakeCheckBox(QStringLiteral("CB_SealedOnly"), sealtexts::SealedOnlyOption(),
                                       QRect(16, 41, 273, 15), this);
        m_sealedOnlyBox->setToolTip(QStringLiteral("封印できない相手とはメールも受信通知も送受信しません"));
        connect(m_sealedOnlyBox, &QCheckBox::toggled, this, [this] { m_applyButton->setEnabled(true); });
        setTabOrder(m_trayBox, m_sealedOnlyBox);
        beforeGroup = m_sealedOnlyBox;
    }
    setTabOrder(beforeGroup, arrivalGroup);
    setTabOrder(arrivalGroup, m_popupBox);
    setTabOrder(m_popupBox, m_frontBox);
    setTabOrder(m_frontBox, ok);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, m_applyButton);

    // toggled also fires when LoadFlags gives a box a different state, as a click would.
    for (QCheckBox* box : {m_trayBox, m_popupBox, m_frontBox})
        connect(box, &QCheckBox::toggled, this, [this] { m_applyButton->setEnabled(true); });
    connect(ok, &QPushButton::clicked, this, [this] {
        CopyFlags();
        close();
    });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(m_applyButton, &QPushButton::clicked, this, [this] {
        CopyFlags();
        m_applyButton->setEnabled(false);
    });
}

void SettingDialog::LoadFlags() {
    m_trayBox->setChecked(m_settings.Tray);
    m_popupBox->setChecked(m_settings.Popup);
    m_frontBox->setChecked(m_settings.Front);
    if (m_sealedOnlyBox)
        m_sealedOnlyBox->setChecked(m_seals->SealedOnly());
    // Last, so the dialog always opens with "適用" disabled whatever the loading above enabled.
    m_applyButton->setEnabled(false);
}

void SettingDialog::CopyFlags() {
    m_settings.Tray = m_trayBox->isChecked();
    m_settings.Popup = m_popupBox->isChecked();
    m_settings.Front = m_frontBox->isChecked();
    if (m_sealedOnlyBox && m_sealedOnlyBox->isChecked() != m_seals->SealedOnly()) {
        m_seals->SetSealedOnly(m_sealedOnlyBox->isChecked());
        if (m_store)
            WriteSealedOnly(*m_store, m_seals->SealedOnly());
    }
}

void SettingDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(this);
    LoadFlags();
}

void SettingDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        // Escape is キャンセル: the dialog closes and copies nothing.
        close();
        return;
    default:
        if (!PressFocusedButton(this, event))
            QDialog::keyPressEvent(event);
    }
}

} // namespace varnel
