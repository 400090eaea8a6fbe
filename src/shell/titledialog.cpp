#include "shell/titledialog.h"

#include "shell/dialogsupport.h"
#include "shell/icons.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace varnel {

namespace {

bool IsEnter(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

TFrm_Title::TFrm_Title(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Frm_Title"));
    setWindowTitle(QStringLiteral("Varnel-[タイトル入力]"));
    setFont(icons::UiFont());
    setFixedSize(262, 93);

    // Labels size themselves to their text.
    Label1 = new QLabel(QStringLiteral("送信するメッセージにタイトルをつけてください"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 8);
    Label1->adjustSize();
    Label2 = new QLabel(QStringLiteral("（この内容は後で変更可能です）"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(88, 24);
    Label2->adjustSize();

    Btn_OK = new QPushButton(QStringLiteral("OK"), this);
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_OK->setGeometry(96, 64, 75, 25);
    Btn_OK->setAutoDefault(false);
    Btn_OK->setDefault(false);

    // The edit keeps Qt's own ceiling for a line edit; the title is otherwise taken as typed.
    Ed_Title = new QLineEdit(this);
    Ed_Title->setObjectName(QStringLiteral("Ed_Title"));
    Ed_Title->setGeometry(16, 40, 233, 20);
    Ed_Title->installEventFilter(this);

    setTabOrder(Btn_OK, Ed_Title);

    connect(Btn_OK, &QPushButton::clicked, this, &TFrm_Title::Btn_OKClick);
}

QString TFrm_Title::Title() const {
    return Ed_Title->text();
}

void TFrm_Title::FormShow() {
    m_enterDown = false;
    Ed_Title->clear();
    Ed_Title->setFocus(Qt::OtherFocusReason);
}

void TFrm_Title::Btn_OKClick() {
    close();
}

void TFrm_Title::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(this);
    FormShow();
}

void TFrm_Title::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        return; // no way to cancel: Escape does nothing, the close box still closes
    if (!PressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

// Ed_TitleKeyUp: Enter closes the dialog when it is released in the edit box. The press is swallowed
// so that it triggers nothing of its own, and the key repeat of a held Enter closes nothing. A release
// whose press went elsewhere (the Enter that opened this dialog from another window) is not taken as
// an answer.
bool TFrm_Title::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Ed_Title || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!IsEnter(key))
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        m_enterDown = true;
        return true;
    }
    if (key->isAutoRepeat() || !m_enterDown)
        return true;
    m_enterDown = false;
    close();
    return true;
}

} // namespace varnel
