#include "shell/titledialog.h"

#include "shell/dialogsupport.h"
#include "shell/icons.h"
#include "shell/prompt.h"
#include "shell/texts.h"
#include "shell/titlecheck.h"

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

TitleDialog::TitleDialog(QWidget* parent, Prompt* boxes)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    m_prompt = boxes;
    setObjectName(QStringLiteral("Frm_Title"));
    setWindowTitle(texts::TitleCaption());
    setFont(icons::UiFont());
    setFixedSize(262, 93);

    // Labels size themselves to their text.
    auto* prompt = new QLabel(QStringLiteral("送信するメッセージにタイトルをつけてください"), this);
    prompt->setObjectName(QStringLiteral("Label1"));
    prompt->move(16, 8);
    prompt->adjustSize();
    m_note = new QLabel(QStringLiteral("（この内容は後で変更可能です）"), this);
    m_note->setObjectName(QStringLiteral("Label2"));
    m_note->move(88, 24);
    m_note->adjustSize();
    m_emptyRefusal = new QLabel(texts::EmptyTitle(), this);
    m_emptyRefusal->setObjectName(QStringLiteral("Lb_EmptyTitle"));
    m_emptyRefusal->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    m_emptyRefusal->move(16, 24);
    m_emptyRefusal->adjustSize();
    m_emptyRefusal->hide();

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("Btn_OK"));
    m_okButton->setGeometry(96, 64, 75, 25);
    m_okButton->setAutoDefault(false);
    m_okButton->setDefault(false);

    // The edit keeps Qt's own ceiling for a line edit; the title is otherwise taken as typed.
    m_titleEdit = new QLineEdit(this);
    m_titleEdit->setObjectName(QStringLiteral("Ed_Title"));
    m_titleEdit->setGeometry(16, 40, 233, 20);
    m_titleEdit->installEventFilter(this);

    setTabOrder(m_okButton, m_titleEdit);

    connect(m_okButton, &QPushButton::clicked, this, &TitleDialog::TryAccept);
    connect(m_titleEdit, &QLineEdit::textEdited, this, [this] { ShowEmptyRefusal(false); });
}

QString TitleDialog::Title() const {
    return m_titleEdit->text();
}

void TitleDialog::ShowEmptyRefusal(bool shown) {
    m_emptyRefusal->setVisible(shown);
    m_note->setVisible(!shown);
}

void TitleDialog::TryAccept() {
    if (m_titleEdit->text().trimmed().isEmpty()) {
        ShowEmptyRefusal(true);
        m_titleEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    const QString trouble = TitleTrouble(m_titleEdit->text());
    if (trouble.isEmpty()) {
        accept();
        return;
    }
    // The dialog stays open with the text as typed, so only the one character needs changing.
    const QString caption = windowTitle();
    if (m_prompt) {
        m_prompt->Show(this, trouble, caption, QMessageBox::Warning);
    } else {
        MessageBoxPrompt boxes;
        boxes.Show(this, trouble, caption, QMessageBox::Warning, false);
    }
    m_titleEdit->setFocus(Qt::OtherFocusReason);
}

void TitleDialog::SetTitle(const QString& title) {
    m_titleEdit->setText(title);
}

void TitleDialog::Reset() {
    m_enterDown = false;
    ShowEmptyRefusal(false);
    m_titleEdit->clear();
    m_titleEdit->setFocus(Qt::OtherFocusReason);
}

void TitleDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(this);
    Reset();
}

void TitleDialog::keyPressEvent(QKeyEvent* event) {
    // Escape reaches QDialog, which cancels.
    if (!PressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

// Enter closes the dialog when it is released in the edit box. The press is swallowed
// so that it triggers nothing of its own, and the key repeat of a held Enter closes nothing. A release
// whose press went elsewhere (the Enter that opened this dialog from another window) is not taken as
// an answer.
bool TitleDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_titleEdit || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
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
    TryAccept();
    return true;
}

} // namespace varnel
