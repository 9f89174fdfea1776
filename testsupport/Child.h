#pragma once

#include <QObject>
#include <QString>

#include <stdexcept>
#include <string>

// A window's control found by its object name, the name the accessibility
// layer shows. A control that is not there, or not of that type, fails the
// test that asked for it, naming what was looked for.
template <typename T> T* child(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        throw std::logic_error(std::string("no ") + T::staticMetaObject.className() + " named \"" +
                               name + "\" in \"" + window.objectName().toStdString() + "\"");
    return found;
}
