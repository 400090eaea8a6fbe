#include "shell/deliveryview.h"

#include "shell/deliverytexts.h"
#include "shell/maillistmodel.h"
#include "shell/prompt.h"
#include "shell/texts.h"
#include "shell/varnel.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

namespace varnel {

DeliveryView::DeliveryView(Varnel& app, QMainWindow& window, MailListModel& model)
    : m_app(app), m_window(window) {
    m_count = new QLabel(&window);
    m_count->setObjectName(QStringLiteral("St_Waiting"));
    window.statusBar()->addPermanentWidget(m_count);
    model.SetWaitingLookup([this](const QByteArray& key) { return m_app.Post().WaitingState(key); });
}

void DeliveryView::Update() {
    if (!m_app.Post().MailBoxesOpen())
        return;
    m_count->setText(delivery::WaitingCount(m_app.Post().WaitingCount()));
    // Taken before any box opens: a check that runs inside the box finds them told.
    const RetrySchedule::Notices notices = m_app.Post().TakeDeliveryNotices();
    const QString caption = texts::Caption();
    Prompt& prompt = *m_app.Platform().prompt;
    if (!notices.longWaiting.isEmpty())
        prompt.Show(&m_window, delivery::LongWaiting(notices.longWaiting), caption, QMessageBox::Information);
    if (!notices.gaveUp.isEmpty())
        prompt.Show(&m_window, delivery::GaveUp(notices.gaveUp), caption, QMessageBox::Warning);
    for (const QByteArray& host : notices.blocked)
        prompt.Show(&m_window, delivery::Blocked(host), caption, QMessageBox::Warning);
}

} // namespace varnel
