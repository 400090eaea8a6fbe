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

TFrm_Info::TFrm_Info(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Frm_Info"));
    setWindowTitle(QStringLiteral("Varnel-[情報]"));
    setFont(icons::UiFont());
    setFixedSize(192, 108);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 177, 65);
    AddLabel(QStringLiteral("Label1"), QStringLiteral("Varnel for Windows95"), QPoint(32, 16), this);
    AddLabel(QStringLiteral("Label2"), QStringLiteral("1998.02.23"), QPoint(40, 32), this);
    AddLabel(QStringLiteral("Label3"), QStringLiteral("Ver 0.60"), QPoint(104, 32), this);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(56, 80, 75, 25);
    Button1->setAutoDefault(false);
    Button1->setDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TFrm_Info::Button1Click);
}

void TFrm_Info::Button1Click() {
    close();
}

void TFrm_Info::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(this);
}

void TFrm_Info::keyPressEvent(QKeyEvent* event) {
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
