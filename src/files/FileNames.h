#pragma once

#include "files/FileResult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// Names on disk are bytes; above this layer they are QString. Qt converts between the two through
// the locale's encoding (UTF-8 here), which cannot carry every byte string: a name holding bytes
// that are not valid in it comes back as a different name, and writing there would touch another
// file. These functions let such names be refused at the edges instead.

// The name on disk for `path`; nothing when converting it back would not give `path` (text holding
// unpaired surrogates), or when it holds a zero character, where the system would end the name and
// so touch another file.
std::optional<QByteArray> EncodedName(const QString& path);

// The text for the name on disk `name`; nothing when it does not convert back to the same bytes.
std::optional<QString> DecodedName(QByteArrayView name);

// The text for the name on disk `name` as Qt converts it, a character that does not convert taken
// as U+FFFD; a leading U+FEFF is kept as the character it is, where Qt would drop it as a byte-order
// mark and so give the name of another file.
QString NameText(QByteArrayView name);

// `bytes` as UTF-8 text, every character kept (a leading U+FEFF too); nothing when they are not
// valid UTF-8.
std::optional<QString> Utf8Text(QByteArrayView bytes);

// `name` for messages: valid UTF-8 as it is, every byte of an invalid sequence as \xNN, and every
// control character as PrintableText writes it.
QString PrintableName(QByteArrayView name);

// Why a file listed with a name that is not valid text (ListFolder's `unrepresentable`) is passed
// over: no path can carry it. `what` is what the file would have been ("page", "template").
QString NameNotTextReason(const QString& what);

// `text` with every control character (a line break, an escape, a delete) as \xNN, and every mark
// that turns the direction of the text or separates lines as \uNNNN, so that a message stays one
// line and a name can neither drive the terminal it is shown on nor pass for another.
QString PrintableText(const QString& text);

// The folder of a path: everything up to and including its last separator; empty without one.
QString FolderOf(const QString& path);

// `folder` and `fileName` joined by exactly one separator (just the name when the folder is empty).
QString JoinPath(const QString& folder, const QString& fileName);

// A relative `given` joined to the current folder; a whole one as it is. Qt would take one that starts
// with ':' for one of the program's own resources, and leave it so.
QString FromCurrentFolder(const QString& given);

// `given` as a whole path from the current folder, "." and repeated separators taken out. A ".."
// is taken from where the folder before it leads, as the system and the shell take it: by its text,
// "link/../page.html" would name a page beside the link where the user meant one beside the link's
// target. Where the folders up to the last ".." cannot be found, they stay as given, for the system
// to refuse. A path that ends as a folder's does ("page.html/") keeps its last separator.
QString WholePath(const QString& given);

// The real path of `path` as the system resolves it (its links and ".." followed), as bytes, to
// tell whether two paths lead to one file; empty where nothing is there, or where the real path is
// longer than the system takes (never a key of a file, then). Qt's canonical path takes
// every byte of a name that is not valid text for one and the same character, so two folders whose
// names differ only there would pass for one.
QByteArray RealPathBytes(const QString& path);
// The same for the name on disk `name`.
QByteArray RealName(const QByteArray& name);

// RealPathBytes as text; empty also where it holds a name that is not valid text, which no text
// can name.
QString RealPath(const QString& path);

// The file `path` leads to (links followed), as the system tells one file from another, for a key;
// empty where nothing is there, or where the file has other names of its own (hard links), which a
// write gives a file of their own. Two names of one file meet here where their real paths may not:
// on a share that ignores letter case each keeps the letters it was given, and a path longer than
// the system takes has none.
QByteArray FileIdentity(const QString& path);

// WholePath of a path given for a folder, without a last separator.
QString WholeFolderPath(const QString& given);

// Why a name relative to the current folder cannot be used, or empty when it can: the folder was
// removed (the system then names none, and Qt would take the root for it), cannot be found, or has
// a name that is not valid text.
QString CurrentFolderProblem();

// The user's home folder ($HOME, cleaned), or empty where the user has none of their own: it is
// unset, relative, the root, or a name that is not valid text.
QString UserHome();

// The user's data folder ($XDG_DATA_HOME, or ~/.local/share) or the program's settings folder
// ("vornetad" in $XDG_CONFIG_HOME, or in ~/.config), as QStandardPaths names them, except that a
// relative variable is passed over, as the XDG rules ask: the user's templates and last design
// would otherwise move with the folder the program was started from. With a relative home, or one
// whose name is not valid text, empty: the user has none.
QString UserDataFolder();
QString AppConfigFolder();

struct FolderEntry {
    QString name;
    bool isFile = false;    // a regular file, or a link to one
    bool isFolder = false;  // a folder itself; a link to a folder is neither
    int lookError = 0;      // why it could not be looked at (errno), when not for want of a target
    bool isLink = false;    // a symbolic link, wherever it leads
    QByteArray raw;         // the name's bytes, for a name that is not valid text (then `name` is empty)
};

// A folder's entries (without "." and ".."), in the order the file system gives them. Those whose
// names cannot be represented are kept apart, by their bytes (`raw`).
struct [[nodiscard]] FolderListing {
    FileResult status;
    QList<FolderEntry> entries;
    QList<FolderEntry> unrepresentable;
};
FolderListing ListFolder(const QString& folder);

// Whether a path that reached us as text (a file dialog's answer) names the file on disk it seems
// to. Refused when a part of it stands for a name on disk that the conversion altered: the text then
// names another file, or none.
FileResult CheckRepresentable(const QString& path);
