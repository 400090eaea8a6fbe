#pragma once

#include "settings/settings.h"

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace varnel {

class SealDesk;
class SettingsStore;

// "Varnel-[設定]" (Frm_Setting): edits the three flags of the settings in memory. OK and 適用 copy
// them; キャンセル, Escape and the close box copy nothing.
class SettingDialog : public QDialog {
    Q_OBJECT
public:
    // seals, store: with sealing, the 封印メールのみ option (CB_SealedOnly), kept in the store as it
    // is applied.
    explicit SettingDialog(SETTING& settings, QWidget* parent = nullptr, SealDesk* seals = nullptr,
                           SettingsStore* store = nullptr);

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
    QCheckBox* m_sealedOnlyBox = nullptr;
    SealDesk* m_seals = nullptr;
    SettingsStore* m_store = nullptr;
    QPushButton* m_applyButton = nullptr;
};

} // namespace varnel
