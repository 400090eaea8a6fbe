#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace varnel {

// "Varnel-[タイトル入力]" (Frm_Title): asks for the title of a new mail. There is no way to cancel:
// however it is closed, the caller takes the text of the edit box.
class TitleDialog : public QDialog {
    Q_OBJECT
public:
    explicit TitleDialog(QWidget* parent = nullptr);

    QString Title() const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override; // Enter released in the edit box

private:
    // Every showing starts with an empty, focused edit box.
    void Reset();

    QLineEdit* m_titleEdit = nullptr;
    QPushButton* m_okButton = nullptr;
    bool m_enterDown = false; // Enter went down in the edit box; only its release closes the dialog
};

} // namespace varnel
