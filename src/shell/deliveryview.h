#pragma once

class QLabel;
class QMainWindow;

namespace varnel {

class MailListModel;
class Varnel;

// What the window shows of the copies on their way: the waiting picture and tooltip of a row, the
// number of waiting copies in the status bar, and what the person must learn once: copies unanswered
// for a day, copies that give up, a machine whose mail port seems blocked.
class DeliveryView {
public:
    DeliveryView(Varnel& app, QMainWindow& window, MailListModel& model);

    // After every mail check: the count anew, and the notices the last check found.
    void Update();

private:
    Varnel& m_app;
    QMainWindow& m_window;
    QLabel* m_count = nullptr;
};

} // namespace varnel
