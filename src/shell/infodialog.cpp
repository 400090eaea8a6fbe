#include "shell/infodialog.h"

#include "shell/dialogsupport.h"
#include "shell/icons.h"
#include "shell/sealnotices.h"
#include "shell/texts.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace varnel {

namespace {

// Labels size themselves to their text.
QLabel* AddLabel(const QString& name, const QString& text, QPoint position, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(position);
    label->adjustSize();
    return label;
}

} // namespace

InfoDialog::InfoDialog(QWidget* parent, const SealDesk* seals)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Frm_Info"));
    setWindowTitle(texts::InfoCaption());
    setFont(icons::UiFont());
    setFixedSize(192, 108);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setGeometry(8, 8, 177, 65);
    AddLabel(QStringLiteral("Label1"), texts::Caption(), QPoint(32, 16), this);
    const QLabel* date =
        AddLabel(QStringLiteral("Label2"), QStringLiteral("1998.02.23"), QPoint(40, 32), this);
    // In a font wider than the one the dialog was drawn for, the version moves right rather than
    // running into the date, and the dialog widens with it when it must.
    QLabel* version = AddLabel(QStringLiteral("Label3"), QStringLiteral("Ver 0.60"), QPoint(104, 32), this);
    version->move(std::max(104, date->geometry().right() + 1 + 8), 32);
    if (version->geometry().right() + 16 > width()) {
        const int wider = version->geometry().right() + 16;
        setFixedSize(wider, height());
        bevel->setGeometry(8, 8, wider - 15, 65);
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setGeometry(56, 80, 75, 25);
    if (seals) {
        // The fingerprint goes between the bevel and the button; the dialog grows to hold it.
        QLabel* fingerprint =
            AddLabel(QStringLiteral("LB_Fingerprint"), sealtexts::OwnFingerprint(seals), QPoint(8, 80), this);
        fingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
        const int wide = std::max(width(), fingerprint->width() + 16);
        const int below = fingerprint->geometry().bottom() + 8;
        setFixedSize(wide, below + 25 + 3);
        bevel->setGeometry(8, 8, wide - 15, 65);
        ok->move((wide - 75) / 2, below);
    }
    ok->setAutoDefault(false);
    ok->setDefault(false);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
}

void InfoDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOverOwner(this, parentWidget());
}

// Escape closes the dialog as the close box does (QDialog's own handling).
void InfoDialog::keyPressEvent(QKeyEvent* event) {
    if (!PressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

} // namespace varnel
