#include "shell/infodialog.h"

#include "shell/dialogsupport.h"
#include "shell/icons.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace varnel {

namespace {

// Labels size themselves to their text.
void AddLabel(const QString& name, const QString& text, QPoint position, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(position);
    label->adjustSize();
}

} // namespace

InfoDialog::InfoDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Frm_Info"));
    setWindowTitle(QStringLiteral("Varnel-[情報]"));
    setFont(icons::UiFont());
    setFixedSize(192, 108);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setGeometry(8, 8, 177, 65);
    AddLabel(QStringLiteral("Label1"), QStringLiteral("Varnel for Windows95"), QPoint(32, 16), this);
    AddLabel(QStringLiteral("Label2"), QStringLiteral("1998.02.23"), QPoint(40, 32), this);
    AddLabel(QStringLiteral("Label3"), QStringLiteral("Ver 0.60"), QPoint(104, 32), this);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setGeometry(56, 80, 75, 25);
    ok->setAutoDefault(false);
    ok->setDefault(false);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
}

void InfoDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(this);
}

void InfoDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        // The dialog has no cancel button: Escape does nothing. The close box still closes it.
        return;
    default:
        if (!PressFocusedButton(this, event))
            QDialog::keyPressEvent(event);
    }
}

} // namespace varnel
