#pragma once

#include "shell/prompt.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

namespace varnel {

// Records every box the program would show and answers retry questions from a script, so no box
// ever waits for a person in a test.
class ScriptedPrompt final : public Prompt {
public:
    struct Box {
        QPointer<QWidget> owner;
        QString text;
        QString caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool foreground = false;
        bool retryQuestion = false; // asked through AskRetry
        bool yesNoQuestion = false; // asked through AskYesNo
        bool notice = false;        // shown through Notice, without waiting
    };

    void Show(QWidget* owner, const QString& text, const QString& caption, QMessageBox::Icon icon,
              bool foreground = false) override {
        boxes.append(Box{owner, text, caption, icon, foreground, false});
        // What happens while the box would be open: its loop goes on dispatching ticks and commands.
        if (whileOpen)
            whileOpen();
    }

    bool AskRetry(QWidget* owner, const QString& text, const QString& caption) override {
        boxes.append(Box{owner, text, caption, QMessageBox::Warning, false, true});
        // An unscripted question is answered "do not retry", so a test cannot loop for ever.
        return retryAnswers.isEmpty() ? false : retryAnswers.takeFirst();
    }

    bool AskYesNo(QWidget* owner, const QString& text, const QString& caption) override {
        Box box{owner, text, caption, QMessageBox::Question, false, false};
        box.yesNoQuestion = true;
        boxes.append(box);
        // Unscripted: いいえ, the default button.
        return yesNoAnswers.isEmpty() ? false : yesNoAnswers.takeFirst();
    }

    int AskChoice(QWidget* owner, const QString& text, const QString& caption,
                  const QStringList& offered) override {
        boxes.append(Box{owner, text, caption, QMessageBox::Question, false, false});
        choicesOffered.append(offered);
        // Unscripted: the first choice, the default.
        return choiceAnswers.isEmpty() ? 0 : choiceAnswers.takeFirst();
    }

    void Notice(QWidget* owner, const QString& text, const QString& caption, QMessageBox::Icon icon,
                bool front) override {
        Box box{owner, text, caption, icon, front, false};
        box.notice = true;
        boxes.append(box);
        // Ticks and commands go on while the box is up.
        if (whileOpen)
            whileOpen();
    }

    QStringList Texts() const {
        QStringList texts;
        for (const Box& box : boxes)
            texts.append(box.text);
        return texts;
    }

    QList<Box> boxes;
    QList<bool> retryAnswers;          // answers for AskRetry, first first
    QList<bool> yesNoAnswers;          // answers for AskYesNo, first first
    QList<int> choiceAnswers;          // answers for AskChoice (indexes), first first
    QList<QStringList> choicesOffered; // the buttons of every AskChoice
    std::function<void()> whileOpen;
};

} // namespace varnel
