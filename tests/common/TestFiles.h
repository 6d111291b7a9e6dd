#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QString>

#include <map>
#include <sys/stat.h>

// Small file and widget helpers shared by the test suites.

// The whole file, or empty when it cannot be read.
inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes exactly `bytes`; false when the file could not be written completely.
inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every file, folder and link under `root` by its path relative to `root`: files by content, inode and
// time stamp (so a rewrite with the same bytes shows), links by target and content, folders by a tag.
// Two snapshots are equal when nothing under `root` changed.
inline std::map<QString, QByteArray> Snapshot(const QString& root) {
    std::map<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QByteArray& entry = entries[QDir(root).relativeFilePath(path)];
        if (info.isSymLink()) {
            entry = "link to " + QFile::encodeName(info.symLinkTarget()) + ": ";
        }
        // Only regular files are opened: a pipe would hold the test up.
        entry += info.isDir()    ? QByteArrayLiteral("<folder>")
                 : info.isFile() ? ReadAll(path)
                                 : QByteArrayLiteral("<node>");
        struct stat node {};
        if (info.isFile() && ::stat(QFile::encodeName(path).constData(), &node) == 0) {
            entry += ' ' + QByteArray::number(quint64(node.st_ino)) + ' ' + QByteArray::number(node.st_mtim.tv_sec) +
                     '.' + QByteArray::number(node.st_mtim.tv_nsec);
        }
    }
    return entries;
}

// The named child; a test that looks for a child the widget does not have stops at once.
template <typename T>
T* ChildNamed(const QObject& parent, const QString& name) {
    T* child = parent.findChild<T*>(name);
    if (child == nullptr) {
        qFatal("no child %s", qPrintable(name));
    }
    return child;
}
