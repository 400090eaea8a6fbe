#pragma once

#include "shell/trayservice.h"

#include <QIcon>
#include <QString>
#include <QStringList>

namespace varnel {

// A tray that a test can take away. It keeps what the window asked of it.
class FakeTray final : public TrayService {
    Q_OBJECT
public:
    using TrayService::TrayService;

    bool Add(const QIcon& icon, const QString& tip) override {
        ++adds;
        if (!available || shown)
            return false;
        shown = true;
        this->icon = icon;
        this->tip = tip;
        return true;
    }
    bool Remove() override {
        ++removes;
        if (!shown)
            return false;
        shown = false;
        return true;
    }
    bool Modify(const QIcon& icon) override {
        ++modifies;
        if (!shown)
            return false;
        this->icon = icon;
        return true;
    }
    void SetTip(const QString& text) override { tip = text; }
    bool IsShown() const override { return shown; }
    bool ShowMessage(const QString& title, const QString& text) override {
        messages.append(title + u'\n' + text);
        return true;
    }

    // The person's actions on the icon.
    void DoubleClick() { Q_EMIT DoubleClicked(); }
    void RightClick(const QPoint& globalPos) { Q_EMIT MenuRequested(globalPos); }
    void ClickMessage() { Q_EMIT MessageClicked(); }

    bool available = true; // false: there is no tray on this desktop
    bool shown = false;
    QIcon icon;
    QString tip;
    int adds = 0;
    int removes = 0;
    int modifies = 0;
    QStringList messages; // title and text of each notification, one line each
};

} // namespace varnel
