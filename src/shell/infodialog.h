#pragma once

#include <QDialog>

class QFrame;
class QPushButton;

namespace varnel {

// "Varnel-[情報]": the program's name, date and version.
class TFrm_Info : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Info(QWidget* parent = nullptr);

    QFrame* Bevel1 = nullptr;
    QPushButton* Button1 = nullptr;

    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace varnel
