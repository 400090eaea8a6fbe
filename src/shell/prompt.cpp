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
    QPushButton* retry = box.addButton(QStringLiteral("再試行"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("保存しない"), QMessageBox::DestructiveRole);
    box.setDefaultButton(retry);
    box.exec();
    return box.clickedButton() == retry;
}

bool MessageBoxPrompt::AskYesNo(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, owner);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
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
    prompt.Show(owner, QStringLiteral("%1がいっぱいです。不要なメールを削除してください。").arg(box),
                texts::Caption(), QMessageBox::Warning);
}

} // namespace varnel
