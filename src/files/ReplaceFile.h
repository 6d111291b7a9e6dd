#pragma once

#include "files/FileResult.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>
#include <sys/types.h>

// What stood at a path (links followed) when a file was read: a rewrite made from what was read
// checks, just before it takes the file's place, that it still stands there unchanged, so that a
// change made meanwhile (an editor saving the page) is never lost under it.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;  // any change to the file, its content or its attributes

    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const QString& path);

// Replaces (or creates) the file at `path` with exactly `bytes`, completely or not at all. The
// bytes go into a new file beside it; every write, the flush to the disk (fsync) and the closing
// are checked before that file is renamed over the old one. Where the file system makes files
// without a name, the new one gets its hidden name (".page.html.k3x9qa") only then, so that a
// process killed while it writes leaves nothing in the folder; elsewhere it has that name from the
// start. On any failure the new file is removed, the old one stays whole, and the result gives the
// system's reason.
//
// Only a regular file is ever replaced. A folder, a pipe, a socket or a device at the path is
// refused and left as it is; so is a loop of links, a link into a folder that does not exist, a
// file that is write-protected for this process, or for everyone (even where the process is the
// superuser's, who could write it), append-only or immutable, and a file whose folder this process
// cannot write, or no one may write, or whose folder's sticky bit keeps it for its owner. A link to
// a regular file (or to nothing yet, in a folder that exists) is followed: its target is written
// and the link stays a link. A replaced file keeps its permission bits, its extended attributes (an
// access list among them; one that cannot be given to the new file fails the write), and its owner
// and group: a file whose owner or group the process may not give (another user's, or in a group
// the user is not a member of) is refused as it stands, unless the process is the superuser's, and
// one the system will not give them to fails the write. A new one gets the usual permissions (0666
// less the umask). Nothing at the path is opened but to read its flags, without waiting, so
// nothing blocks on a node. With `readAs`, the file is replaced only if it is still as that says:
// otherwise the new file is removed, and the one there stays as it is, with its change. A file that
// holds exactly `bytes` already is left as it is, its node and time stamps too, and the result is
// a success, though it was changed since `readAs` (to these bytes, a change loses nothing), and
// though it, its folder or its owner would refuse a write: nothing is written.
FileResult ReplaceFile(QByteArrayView bytes, const QString& path,
                       const std::optional<FileStamp>& readAs = std::nullopt);

// Who must be able to read a file: whoever may read the page it serves (an image beside a page is
// sent by the web server that sends the page, whatever the umask it was made under).
struct Readers {
    mode_t bits = 0;  // the page's read bits, of 0444
    gid_t group = 0;  // the page's group
};

// One file of a set that ReplaceFiles writes together; with `readAs`, only if the file there is
// still as it says. With `readers`, the file gets their read bits, made anew or replaced; where they
// read by their group and the file is in another, a new file gets their group where the process may
// give it, and otherwise everyone may read it. The superuser's new file belongs to the owner of the
// folder it is made in: that user's own runs could not replace a file of the superuser's. (Not to a
// page's owner: a page may be a link to another user's file, or refused.)
struct FileToWrite {
    QByteArrayView bytes;
    QString path;
    std::optional<FileStamp> readAs;
    std::optional<Readers> readers = std::nullopt;
    // With `readAs`, what the file held when it was read: where the file system keeps times too
    // coarse to tell a change made in the same tick (FAT's two seconds, exFAT's), at the same size,
    // the file must still hold it.
    std::optional<QByteArrayView> heldWhenRead = std::nullopt;
};

// How a file of a set that was not written for another's failure begins its reason, which then
// names that file.
inline constexpr char kLeftForAnother[] = "left as it was, since ";

// Replaces (or creates) each file of a set as ReplaceFile does, but all of them or none: every new
// file is written, flushed and closed beside its target, and every stamp checked, before any is
// renamed over the old one, so that a failure on one (a full disk, a name too long, a refused
// node, a change meanwhile) leaves every old file as it was. A rename that fails all the same (a
// disk's error) has those before it taken back, so the set stays whole, where the file system can
// swap two names; where it cannot, the files renamed before it stay new. Two files of the set that
// land on one file (one a link to the other) are refused before anything is written where their
// bytes differ, since one would be lost; with the same bytes, it is written once. One result per
// file, in order.
[[nodiscard]] QList<FileResult> ReplaceFiles(const QList<FileToWrite>& files);

// How a run puts a set of files in place: ReplaceFiles, or CheckFiles for a run that only shows what
// it would do.
using WriteFiles = QList<FileResult> (*)(const QList<FileToWrite>& files);

// What ReplaceFiles would do with each file of a set, found as CheckReplaceable finds it, and two
// that land on one file as ReplaceFiles finds them, without writing anything: one result per file,
// in order, a failure taking the rest of the set with it as it does there. What only the writing
// shows (a full disk) is not known.
[[nodiscard]] QList<FileResult> CheckFiles(const QList<FileToWrite>& files);

// Where ReplaceFile writes for `path`: the end of its chain of links, in a folder named as the
// system names it (its own links resolved). Two paths that land on one file give the same text,
// though one may be a link to the other, or the file not be there yet.
QString WriteTarget(const QString& path);
// The same by its bytes, where names that are not valid text stay apart: the end of the chain in
// its folder's real path.
QByteArray WriteTargetBytes(const QString& path);
// The same for a message, a name that is not valid text shown by its bytes (PrintableName), as
// the file's own name is: as text, its bytes would read as U+FFFD, another file's name.
QString PrintableWriteTarget(const QString& path);
// The name alone of the file at the end of that chain: its folder is not looked up, which costs a
// look at every folder on the way, for each of thousands of pages.
QString WriteTargetName(const QString& path);

// Why the system gave up following the links at `path` (ELOOP): a loop of them, or more in a row
// than it follows.
QString LinkFailure(const QString& path);

// Whether ReplaceFile would go on to write `path`, without writing anything: the same refusals (the
// node, the links, the write protection), as its result. What only the writing shows, such as a
// full disk or a folder that takes no new files, is not known here. With `bytes`, a file that holds
// exactly them already passes, as ReplaceFile leaves it as it is, however it is protected.
FileResult CheckReplaceable(const QString& path, std::optional<QByteArrayView> bytes = std::nullopt);

// Whether anything at all stands at `path`: a file, a folder, another node, or a link, even one that
// leads nowhere (it is not followed). False too where the path cannot be looked at.
bool SomethingAt(const QString& path);

// How the message about a file that was refused, or failed before anything was written, ends: what
// stood at its name is the user's and "left as it is"; where nothing stood, "nothing was written".
QString UntouchedEnding(bool somethingThere);

// Writes a new file at `path` holding exactly `bytes`, completely or not at all, the way ReplaceFile
// writes, but never over anything: when something stands at the path (a file, a folder, a link,
// even one that leads nowhere), or appears there while the file is written, the result says so and
// it is left as it is. The folder must exist; one that no one may write is refused, as ReplaceFile
// refuses it.
FileResult CreateNewFile(QByteArrayView bytes, const QString& path);

// Gives the file `from` the name `to` only where nothing has that name, never over what stands
// there, even what appears there meanwhile. A file system that cannot rename so gets a hard link,
// which fails in the same way; one without hard links either (FAT, exFAT) an empty file made at the
// name only if none is there, which `from` then replaces. Returns 0, or the errno of the step that
// failed: EEXIST where the name is taken.
int RenameWithoutReplacing(const QByteArray& from, const QByteArray& to);

// Makes the folder `path` and every missing folder above it (the usual permissions, 0777 less the
// umask); success when it exists already. A file or other node in the way is refused and named, and
// so is a link that leads nowhere, where the folder would go.
FileResult MakeFolders(const QString& path);
