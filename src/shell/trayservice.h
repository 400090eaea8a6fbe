#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace varnel {

// The status-area icon. What the window relies on is whether adding and removing succeeded.
class TrayService : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Adds the icon; false when there is no tray or the icon is already shown.
    virtual bool Add(const QIcon& icon, const QString& tip) = 0;
    // Removes the icon; false when it is not shown.
    virtual bool Remove() = 0;
    // Changes the picture; false when the icon is not shown.
    virtual bool Modify(const QIcon& icon) = 0;
    // The text shown when the pointer rests on the icon, now and when it is next added.
    virtual void SetTip(const QString& tip) = 0;
    virtual bool IsShown() const = 0;
    // A desktop notification with a title and a line of text, replacing the one shown before; false
    // when the desktop has no way to show it.
    virtual bool ShowMessage(const QString& title, const QString& text) = 0;

Q_SIGNALS:
    void DoubleClicked();
    // The person activated the last notification.
    void MessageClicked();
    void MenuRequested(const QPoint& globalPos);
};

// QSystemTrayIcon behind the interface.
class SystemTray final : public TrayService {
    Q_OBJECT
public:
    explicit SystemTray(QObject* parent = nullptr);
    ~SystemTray() override;
    bool Add(const QIcon& icon, const QString& tip) override;
    bool Remove() override;
    bool Modify(const QIcon& icon) override;
    void SetTip(const QString& tip) override;
    bool IsShown() const override;
    // The tray's balloon while the icon is in the tray, else the desktop's notification service.
    bool ShowMessage(const QString& title, const QString& text) override;

private Q_SLOTS:
    void NotificationAction(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);

private:
    bool NotifyOverBus(const QString& title, const QString& text);

    QSystemTrayIcon* m_icon = nullptr;
    uint m_notification = 0; // the id of our notification the service shows, 0 for none
    bool m_busWatched = false;
};

} // namespace varnel
