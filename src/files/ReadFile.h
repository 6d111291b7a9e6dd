#pragma once

#include "files/FileResult.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A user's regular file opened for reading. Whatever stands at the path is looked at (links
// followed) before anything is opened, and again through the open descriptor, so a folder, a pipe,
// a socket or a device is refused without ever being opened for what it is: nothing here blocks or
// reads without end. A file larger than the cap is refused too. Closed on destruction.
class RegularFile final {
public:
    RegularFile(const QString& path, qint64 cap);
    ~RegularFile();
    Q_DISABLE_COPY_MOVE(RegularFile)

    // Success while the file is open and every read so far worked; otherwise why not.
    const FileResult& Status() const { return m_status; }
    // Nothing stands at the path (a link that leads nowhere counts as nothing).
    bool Missing() const { return m_missing; }
    // The size the file had when it was opened.
    qint64 Size() const { return m_size; }

    // Reads up to `count` bytes; fewer only at the end of the file or on a failure, which Status()
    // then names. A file that grows past the cap while it is read fails then.
    qint64 Read(char* into, qint64 count);

private:
    void Fail(const QString& reason);

    FileResult m_status;
    int m_fd = -1;
    bool m_missing = false;
    qint64 m_size = 0;
    qint64 m_cap = 0;
    qint64 m_consumed = 0;
};

// A cap above any file's size, for a reader that bounds what it reads itself.
inline constexpr qint64 kNoSizeCap = qint64(1) << 62;

// A whole regular file read as RegularFile opens it.
struct [[nodiscard]] FileBytes {
    FileResult status;
    QByteArray bytes;
    bool missing = false;
};
FileBytes ReadRegularFile(const QString& path, qint64 cap);
// The first `count` bytes of a regular file of any size (all of a smaller one), to tell what kind
// of file it is.
FileBytes ReadFileStart(const QString& path, qint64 count);

// The wide form of text whose byte-order mark `bytes` start with: "UTF-32" or "UTF-16" (the mark of
// little-endian UTF-32 starts as UTF-16's does), or empty for none.
QString WideTextForm(QByteArrayView bytes);

// Why nothing can be read at `path`, where nothing stands: "does not exist", or for a link that
// leads nowhere, that it is one and to what, since the link itself is there to be seen.
QString MissingReason(const QString& path);

// `bytes` for messages, in the largest unit that shows it exactly ("1 MiB", "1500 bytes").
QString ByteCount(qint64 bytes);
