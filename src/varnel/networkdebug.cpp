#include "varnel/networkdebug.h"

#include "text/cp932.h"

#include <QAction>
#include <QSocketNotifier>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace varnel {

NetworkDebug::NetworkDebug(QWidget* window, std::function<QByteArray()> localHostName)
    : m_window(window), m_localHostName(std::move(localHostName)) {
    const QByteArray path = qgetenv("VARNEL_NETWORK_DEBUG");
    if (path.isEmpty())
        return;
    // Read and write, so the FIFO never reads as ended between two writers.
    m_fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        qWarning("VARNEL_NETWORK_DEBUG: cannot open %s", path.constData());
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &NetworkDebug::Redetect);
}

NetworkDebug::~NetworkDebug() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void NetworkDebug::Redetect() {
    char buffer[64];
    while (::read(m_fd, buffer, sizeof buffer) > 0) {
    }
    if (QAction* redetect = m_window->findChild<QAction*>(QStringLiteral("Mn_ViewNet")))
        redetect->trigger();
    Print();
}

QString NetworkDebug::Places() const {
    const auto at = [this](const QWidget* widget, const QPoint& point) {
        const QPoint p = widget->mapTo(m_window, point);
        return QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
    };
    QString line = QStringLiteral("places");
    if (const auto* tree = m_window->findChild<QTreeWidget*>(QStringLiteral("TV_Network"))) {
        for (int g = 0; g < tree->topLevelItemCount(); ++g) {
            const QRect rect = tree->visualItemRect(tree->topLevelItem(g));
            if (g == 0)
                line += QStringLiteral(" row=%1").arg(rect.height());
            line += QStringLiteral(" %1=%2").arg(tree->topLevelItem(g)->text(0),
                                                 at(tree->viewport(), rect.center()));
        }
    }
    if (const auto* list = m_window->findChild<QTreeView*>(QStringLiteral("LV_View"))) {
        if (list->model() && list->model()->rowCount() > 0) {
            const QRect rect = list->visualRect(list->model()->index(0, 0));
            line += QStringLiteral(" LV_View.0=") + at(list->viewport(), rect.center());
        }
    }
    for (const char* name : {"SB_ViewMake", "SB_ViewRead", "SB_ViewSend", "SB_MailSend", "Mm_Message"}) {
        if (const auto* widget = m_window->findChild<QWidget*>(QString::fromLatin1(name)))
            line +=
                QStringLiteral(" %1=").arg(QString::fromLatin1(name)) + at(widget, widget->rect().center());
    }
    return line;
}

void NetworkDebug::Print() const {
    if (m_fd < 0)
        return;
    QString line = QStringLiteral("tree");
    if (const auto* tree = m_window->findChild<QTreeWidget*>(QStringLiteral("TV_Network"))) {
        for (int g = 0; g < tree->topLevelItemCount(); ++g) {
            const QTreeWidgetItem* group = tree->topLevelItem(g);
            QStringList hosts;
            for (int h = 0; h < group->childCount(); ++h)
                hosts.append(group->child(h)->text(0));
            line += QStringLiteral(" %1[%2]").arg(group->text(0), hosts.join(QLatin1Char(',')));
        }
    }
    line += QStringLiteral(" self=") + cp932::Decode(m_localHostName());
    std::printf("%s\n%s\n", line.toUtf8().constData(), Places().toUtf8().constData());
    std::fflush(stdout);
}

} // namespace varnel
