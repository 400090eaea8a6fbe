#include "shell/dialogsupport.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace varnel {

void CentreOnScreen(QWidget* dialog) {
    if (const QScreen* area = dialog->screen())
        dialog->move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, dialog->frameGeometry().size(),
                                         area->availableGeometry())
                         .topLeft());
}

void CentreOverOwner(QWidget* dialog, const QWidget* owner) {
    if (!owner || !owner->isVisible()) {
        CentreOnScreen(dialog);
        return;
    }
    QRect frame(QPoint(0, 0), dialog->frameGeometry().size());
    frame.moveCenter(owner->frameGeometry().center());
    dialog->move(frame.topLeft());
}

bool PressFocusedButton(QWidget* dialog, const QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    if (auto* button = qobject_cast<QPushButton*>(dialog->focusWidget()); button && button->isEnabled())
        button->click();
    return true;
}

} // namespace varnel
