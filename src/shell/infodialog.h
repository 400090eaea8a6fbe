#pragma once

#include <QDialog>

namespace varnel {

class SealDesk;

// "Varnel-[情報]" (Frm_Info): the program's name, date and version; with sealing, below them this
// machine's fingerprint (LB_Fingerprint), for the person to read out to others.
class InfoDialog : public QDialog {
    Q_OBJECT
public:
    explicit InfoDialog(QWidget* parent = nullptr, const SealDesk* seals = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace varnel
