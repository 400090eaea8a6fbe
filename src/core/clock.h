#pragma once

#include <QByteArray>
#include <QDateTime>

namespace varnel {

// The text form of a time in mail headers, as QDateTime writes and reads it.
inline QString TimeFormat() {
    return QStringLiteral("yyyy/MM/dd H:mm:ss");
}

// The local date and time, and its text form in mail headers.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime Now() const = 0;
    QByteArray TimeText() const { return Now().toString(TimeFormat()).toLatin1(); }
};

class SystemClock final : public Clock {
public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

} // namespace varnel
