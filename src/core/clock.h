#pragma once

#include <QByteArray>
#include <QDateTime>

namespace varnel {

// The local date and time, and its text form in mail headers ("yyyy/MM/dd H:mm:ss").
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime Now() const = 0;
    QByteArray TimeText() const { return Now().toString(QStringLiteral("yyyy/MM/dd H:mm:ss")).toLatin1(); }
};

class SystemClock final : public Clock {
public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

} // namespace varnel
