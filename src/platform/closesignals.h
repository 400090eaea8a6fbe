#pragma once

#include <QObject>

class QSocketNotifier;

namespace varnel {

// Turns SIGTERM, SIGHUP and SIGINT into a signal on the window thread. The handler only writes a byte
// to a pipe; the window thread reads it and asks for the close, so the close steps never run inside
// a signal handler. One instance per process (signals are process-wide).
class CloseSignals : public QObject {
    Q_OBJECT
public:
    explicit CloseSignals(QObject* parent = nullptr);
    ~CloseSignals() override;

Q_SIGNALS:
    void Requested();

private:
    void Drain();
    int m_fds[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace varnel
