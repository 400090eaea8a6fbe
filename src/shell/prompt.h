#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace varnel {

// Every message box the program shows goes through this, so tests can script the answers.
class Prompt {
public:
    virtual ~Prompt() = default;
    // A box with an OK button only. foreground raises and activates it. Texts are plain text.
    virtual void Show(QWidget* owner, const QString& text, const QString& caption, QMessageBox::Icon icon,
                      bool foreground = false) = 0;
    // A warning with "再試行" and "破棄"-style choices: true when the person asks to try again.
    virtual bool AskRetry(QWidget* owner, const QString& text, const QString& caption) = 0;
    // A question with はい and いいえ, いいえ chosen by default: true only for はい.
    virtual bool AskYesNo(QWidget* owner, const QString& text, const QString& caption) = 0;
    // A question with one button per choice, the first chosen by default and by Escape: the index
    // of the choice taken.
    virtual int AskChoice(QWidget* owner, const QString& text, const QString& caption,
                          const QStringList& choices) = 0;
    // A box that appears without waiting and without taking the keyboard, so typing goes on where it
    // was; the person closes it when they like.
    virtual void Notice(QWidget* owner, const QString& text, const QString& caption, QMessageBox::Icon icon,
                        bool front) = 0;
};

// The real boxes: QMessageBox, modal, owned by the given window.
class MessageBoxPrompt final : public Prompt {
public:
    // Notices open on one owner at most; beyond, a notice is dropped (what it tells is in the list).
    static constexpr int kMaxNoticeBoxes = 10;

    void Show(QWidget* owner, const QString& text, const QString& caption, QMessageBox::Icon icon,
              bool foreground) override;
    bool AskRetry(QWidget* owner, const QString& text, const QString& caption) override;
    bool AskYesNo(QWidget* owner, const QString& text, const QString& caption) override;
    int AskChoice(QWidget* owner, const QString& text, const QString& caption,
                  const QStringList& choices) override;
    void Notice(QWidget* owner, const QString& text, const QString& caption, QMessageBox::Icon icon,
                bool front) override;
};

// Tells the person that the named mailbox has no room for more mail.
void TellBoxFull(Prompt& prompt, QWidget* owner, const QString& box);

} // namespace varnel
