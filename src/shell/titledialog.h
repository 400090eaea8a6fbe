#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace varnel {

class Prompt;

// "Varnel-[タイトル入力]" (Frm_Title): asks for the title of a new mail. There is no way to cancel:
// however it is closed, the caller takes the text of the edit box. A title that cannot travel is
// refused while the dialog is open, with the reason in plain words (through prompt when given).
class TitleDialog : public QDialog {
    Q_OBJECT
public:
    explicit TitleDialog(QWidget* parent = nullptr, Prompt* prompt = nullptr);

    QString Title() const;
    // The text later recipients of the same mail take, when the mail was not begun here.
    void SetTitle(const QString& title);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override; // Enter released in the edit box
    void closeEvent(QCloseEvent* event) override;

private:
    // Every showing starts with an empty, focused edit box.
    void Reset();

    Prompt* m_prompt = nullptr;
    QLineEdit* m_titleEdit = nullptr;
    QPushButton* m_okButton = nullptr;
    bool m_enterDown = false; // Enter went down in the edit box; only its release closes the dialog
};

} // namespace varnel
