#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

namespace varnel {

// The child of root with the given object name and type, found anywhere below it. A missing one
// ends the test at once, naming what was looked for.
template <typename T> T* Named(const QObject& root, const char* name) {
    T* found = root.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("%s has no %s named %s", qPrintable(root.objectName()), T::staticMetaObject.className(), name);
    return found;
}

} // namespace varnel
