#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace varnel {

// "Varnel-[タイトル入力]": asks for the title of a new mail. There is no way to cancel: however it
// is closed, the caller takes the text of the edit box.
class TFrm_Title : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Title(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Ed_Title = nullptr;
    QPushButton* Btn_OK = nullptr;

    QString Title() const;

    void FormShow();
    void Btn_OKClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override; // Ed_TitleKeyUp

private:
    bool m_enterDown = false; // Enter went down in Ed_Title; only its release closes the dialog
};

} // namespace varnel
