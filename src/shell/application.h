#pragma once

#include <QApplication>
#include <QString>
#include <functional>

namespace varnel {

// The application object. An error that escapes an event handler is shown in the error box (its
// text with "." appended) and that handler is abandoned; the program goes on.
class VarnelApplication final : public QApplication {
public:
    VarnelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the error box; set once the windows exist.
    std::function<void(const QString&)> showError;
};

} // namespace varnel
