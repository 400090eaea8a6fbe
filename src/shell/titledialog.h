#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace varnel {

class Prompt;

// "Varnel-[タイトル入力]" (Frm_Title): asks for the title of a new mail. Enter (on release) and OK
// accept it; Escape and the close box cancel, and the caller then adds no recipient. An empty title
// is refused in place, with a word where the note stands; a title that cannot travel is refused
// while the dialog is open, with the reason in plain words (through prompt when given).
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

private:
    // OK and Enter: the title is taken when it can travel, else the dialog stays open.
    void TryAccept();
    void ShowEmptyRefusal(bool shown);

    // Every showing starts with an empty, focused edit box.
    void Reset();

    Prompt* m_prompt = nullptr;
    QLineEdit* m_titleEdit = nullptr;
    QPushButton* m_okButton = nullptr;
    QLabel* m_note = nullptr;         // "（この内容は後で変更可能です）"
    QLabel* m_emptyRefusal = nullptr; // in the note's place while an empty title is refused
    bool m_enterDown = false;         // Enter went down in the edit box; only its release closes the dialog
};

} // namespace varnel
