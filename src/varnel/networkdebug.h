#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QSocketNotifier;
class QWidget;

namespace varnel {

// For tests with several machines, which cannot look into a window: when VARNEL_NETWORK_DEBUG names a
// FIFO, each byte written to it runs "ネットワーク再検出" as the menu does, and one line on stdout then
// shows the tree and this machine's name as detected:
//     tree OFFICE[pc1,pc2] WORKGROUP[pc3] self=pc1
// and a second line where the tree's nodes, the first row of the mail list and a few controls are
// in the window (centres in window coordinates), for a test that works the window with a mouse:
//     places row=18 OFFICE=60,90 WORKGROUP=60,108 LV_View.0=300,120 SB_MailSend=12,40 ...
// The tree after start-up is shown the same way. Without the variable nothing of this exists.
class NetworkDebug : public QObject {
public:
    NetworkDebug(QWidget* window, std::function<QByteArray()> localHostName);
    ~NetworkDebug() override;
    NetworkDebug(const NetworkDebug&) = delete;
    NetworkDebug& operator=(const NetworkDebug&) = delete;

    bool Enabled() const { return m_fd >= 0; }
    void Print() const;

private:
    void Redetect();
    QString Places() const;

    QWidget* m_window;
    std::function<QByteArray()> m_localHostName;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace varnel
