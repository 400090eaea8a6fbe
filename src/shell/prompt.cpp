#include "shell/prompt.h"

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

void TellBoxFull(Prompt& prompt, QWidget* owner, const QString& box) {
    prompt.Show(owner, QStringLiteral("%1がいっぱいです。不要なメールを削除してください。").arg(box),
                QStringLiteral("Varnel for Windows95"), QMessageBox::Warning);
}

} // namespace varnel
