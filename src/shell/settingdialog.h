#pragma once

#include "settings/settings.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace varnel {

// "Varnel-[設定]": edits the three flags of the settings in memory.
class TFrm_Setting : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Setting(SETTING& settings, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QCheckBox* CB_Tray = nullptr;
    QGroupBox* GB_Read = nullptr;
    QCheckBox* CB_Popup = nullptr;
    QCheckBox* CB_Zorder = nullptr;
    QPushButton* Btn_OK = nullptr;
    QPushButton* Btn_Cancel = nullptr;
    QPushButton* Btn_Agree = nullptr;

    void FormShow();
    void CB_TrayClick();
    void Btn_OKClick();
    void Btn_AgreeClick();
    void Btn_CancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    SETTING& m_settings;
};

} // namespace varnel
