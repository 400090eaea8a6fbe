#include "shell/application.h"

#include "shell/texts.h"

#include <exception>

namespace varnel {

VarnelApplication::VarnelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VarnelApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        if (showError)
            showError(QString::fromLocal8Bit(error.what()) + QStringLiteral("."));
    } catch (...) {
        if (showError)
            showError(texts::UnknownError());
    }
    return false;
}

} // namespace varnel
