#pragma once

#include "transport/retryschedule.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace varnel::delivery {

// What the person reads about copies on their way: the words, in one place.

// The tooltip of a copy that waits: how often it went, when it goes next.
QString WaitingTip(const RetrySchedule::Waiting& waiting);
// The status bar: how many copies wait; empty when none does.
QString WaitingCount(int count);
// Copies (by key) unanswered for a day, and copies that are tried no more.
QString LongWaiting(const QList<QByteArray>& keys);
QString GaveUp(const QList<QByteArray>& keys);
// A machine that discovery lists and that answers none of the tries.
QString Blocked(const QByteArray& host);
// After 送信: the copies that could not leave now, and those to machines whose program is stopped.
QString AfterSending(const QList<QByteArray>& unsent, const QList<QByteArray>& stopped);

} // namespace varnel::delivery
