#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>

// Small file and widget helpers shared by the test suites.

// The whole file, or empty when it cannot be read.
inline QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes exactly `bytes`; false when the file could not be written completely.
inline bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The named child; a test that looks for a child the widget does not have stops at once.
template <typename T>
T* ChildNamed(const QObject& parent, const QString& name)
{
    T* child = parent.findChild<T*>(name);
    if (child == nullptr) {
        qFatal("no child %s", qPrintable(name));
    }
    return child;
}
