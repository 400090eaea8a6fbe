// The application object's error box: an error escaping an event handler is shown, with "."
// appended, and the program goes on.
#include "shell/application.h"

#include <QEvent>
#include <QTest>
#include <stdexcept>

namespace {

class Throwing : public QObject {
public:
    int handled = 0;
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw std::runtime_error("値が不正です");
        if (event->type() == QEvent::User + 1)
            throw 42;
        ++handled;
        return QObject::event(event);
    }
};

} // namespace

class ApplicationTest : public QObject {
    Q_OBJECT

public:
    explicit ApplicationTest(varnel::VarnelApplication& app) : m_app(app) {}

private Q_SLOTS:
    void anEscapedErrorIsShownAndTheProgramGoesOn() {
        QStringList shown;
        m_app.showError = [&](const QString& text) { shown.append(text); };
        Throwing target;
        QEvent failing(QEvent::User);
        QCoreApplication::sendEvent(&target, &failing);
        QEvent unknown(QEvent::Type(QEvent::User + 1));
        QCoreApplication::sendEvent(&target, &unknown);
        QCOMPARE(shown, (QStringList{QStringLiteral("値が不正です."), QStringLiteral("不明なエラーです.")}));
        QEvent fine(QEvent::Type(QEvent::User + 2));
        QCoreApplication::sendEvent(&target, &fine);
        QCOMPARE(target.handled, 1);
        m_app.showError = nullptr;
    }

private:
    varnel::VarnelApplication& m_app;
};

int main(int argc, char** argv) {
    varnel::VarnelApplication app(argc, argv);
    ApplicationTest test(app);
    return QTest::qExec(&test, argc, argv);
}

#include "application_test.moc"
