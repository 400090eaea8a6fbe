#include "shell/prompt.h"
#include "shell/texts.h"

#include <QPushButton>

namespace varnel {

void MessageBoxPrompt::Show(QWidget* owner, const QString& text, const QString& caption,
                            QMessageBox::Icon icon, bool foreground) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    if (foreground) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.show();
        box.raise();
        box.activateWindow();
    }
    box.exec();
}

bool MessageBoxPrompt::AskRetry(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::NoButton, owner);
    box.setTextFormat(Qt::PlainText);
    QPushButton* retry = box.addButton(texts::RetryButton(), QMessageBox::AcceptRole);
    box.addButton(texts::DontSaveButton(), QMessageBox::DestructiveRole);
    box.setDefaultButton(retry);
    box.exec();
    return box.clickedButton() == retry;
}

bool MessageBoxPrompt::AskYesNo(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, owner);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(texts::YesButton(), QMessageBox::YesRole);
    QPushButton* no = box.addButton(texts::NoButton(), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

int MessageBoxPrompt::AskChoice(QWidget* owner, const QString& text, const QString& caption,
                                const QStringList& choices) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, owner);
    box.setTextFormat(Qt::PlainText);
    QList<QPushButton*> buttons;
    for (const QString& choice : choices)
        buttons.append(box.addButton(choice, QMessageBox::ActionRole));
    if (!buttons.isEmpty()) {
        box.setDefaultButton(buttons.first());
        box.setEscapeButton(buttons.first());
    }
    box.exec();
    const auto chosen = buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
    return chosen < 0 ? 0 : int(chosen);
}

void MessageBoxPrompt::Notice(QWidget* owner, const QString& text, const QString& caption,
                              QMessageBox::Icon icon, bool front) {
    // An unattended machine must not pile up boxes without end: beyond this many, mail is still
    // stored, answered and listed, without a box of its own.
    if (owner &&
        owner->findChildren<QMessageBox*>(QStringLiteral("NoticeBox"), Qt::FindDirectChildrenOnly).size() >=
            kMaxNoticeBoxes)
        return;
    auto* box = new QMessageBox(icon, caption, text, QMessageBox::Ok, owner);
    box->setObjectName(QStringLiteral("NoticeBox"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Keys typed in the window stay there: the box neither blocks the window nor takes the focus.
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    if (front)
        box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->show();
    if (front)
        box->raise();
}

void TellBoxFull(Prompt& prompt, QWidget* owner, const QString& box) {
    prompt.Show(owner, texts::BoxFull(box), texts::Caption(), QMessageBox::Warning);
}

} // namespace varnel
