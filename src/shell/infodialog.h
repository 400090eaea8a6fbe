#pragma once

#include <QDialog>

namespace varnel {

// "Varnel-[情報]" (Frm_Info): the program's name, date and version.
class InfoDialog : public QDialog {
    Q_OBJECT
public:
    explicit InfoDialog(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace varnel
