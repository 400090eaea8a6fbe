#pragma once

#include "clock.h"

namespace varnel {

// A clock that shows what the test sets, and moves on by a second at every reading unless told not
// to, so two readings are never the same time text.
class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(1998, 2, 23), QTime(9, 5, 7))) : m_now(start) {}
    QDateTime Now() const override {
        const QDateTime now = m_now;
        if (advance)
            m_now = m_now.addSecs(1);
        return now;
    }
    void Set(const QDateTime& now) { m_now = now; }
    bool advance = true;

private:
    mutable QDateTime m_now;
};

} // namespace varnel
