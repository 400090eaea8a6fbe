#pragma once

#include "settings/settings.h"

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace varnel {

// "Varnel-[設定]" (Frm_Setting): edits the three flags of the settings in memory. OK and 適用 copy
// them; キャンセル, Escape and the close box copy nothing.
class SettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingDialog(SETTING& settings, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void LoadFlags();
    void CopyFlags();

    SETTING& m_settings;
    QCheckBox* m_trayBox = nullptr;
    QCheckBox* m_popupBox = nullptr;
    QCheckBox* m_frontBox = nullptr;
    QPushButton* m_applyButton = nullptr;
};

} // namespace varnel
