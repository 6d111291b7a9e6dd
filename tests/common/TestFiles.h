#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QString>

#include <algorithm>
#include <fcntl.h>
#include <linux/fs.h>
#include <map>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

// Small file and widget helpers shared by the test suites.

// The whole file, or empty when it cannot be read.
inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A design file: the header, then `fields` (JSON members, without the braces; empty: none), every
// other setting the default.
inline QByteArray DesignFile(const QByteArray& fields) {
    return QByteArray(R"({"format": "vornetad-design", "version": 1)") + (fields.isEmpty() ? "" : ", ") + fields + "}";
}

// Writes exactly `bytes`; false when the file could not be written completely.
inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every node under `root` by its path relative to `root`, links not followed and nothing but regular
// files and folders opened (a pipe would hold the test up): type, permissions, owner, extended attributes (an
// access list among them) and attribute flags, a link's target, and a file's content, inode and time stamp (so a
// rewrite with the same bytes shows). Two snapshots are equal when nothing under `root` changed. A
// name that is not valid text shows by Qt's altered name. With `folderTimes`, a folder's time stamp
// too, so that a file made in it and removed again shows.
inline std::map<QString, QByteArray> Snapshot(const QString& root, bool folderTimes = false) {
    std::map<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat node {};
        const QByteArray name = QFile::encodeName(path);
        ::lstat(name.constData(), &node);
        QByteArray names(4096, Qt::Uninitialized);
        names.resize(std::max<ssize_t>(0, ::llistxattr(name.constData(), names.data(), 4096)));
        QByteArray attributes;
        for (const QByteArray& attribute : names.split('\0')) {
            QByteArray value(4096, Qt::Uninitialized);
            value.resize(
                std::max<ssize_t>(0, ::lgetxattr(name.constData(), attribute.constData(), value.data(), 4096)));
            attributes += attribute.isEmpty() ? QByteArray() : attribute + '=' + value.toHex() + ',';
        }
        int flags = 0;
        if (const int fd = S_ISREG(node.st_mode) || S_ISDIR(node.st_mode)
                               ? ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC)
                               : -1;
            fd >= 0) {
            if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
                flags = 0;
            }
            ::close(fd);
        }
        attributes += "flags=" + QByteArray::number(flags, 16);
        QByteArray& entry = entries[QDir(root).relativeFilePath(path)];
        entry = QByteArray::number(node.st_mode, 8) + ' ' + QByteArray::number(node.st_uid) + ':' +
                QByteArray::number(node.st_gid) + ' ' + attributes + ' ' +
                QFile::encodeName(it.fileInfo().symLinkTarget());
        if (S_ISREG(node.st_mode)) {
            entry += ReadAll(path) + ' ' + QByteArray::number(quint64(node.st_ino));
        }
        if (S_ISREG(node.st_mode) || (folderTimes && S_ISDIR(node.st_mode))) {
            entry += ' ' + QByteArray::number(node.st_mtim.tv_sec) + '.' + QByteArray::number(node.st_mtim.tv_nsec);
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
