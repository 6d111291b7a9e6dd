#pragma once

#include "files/FileResult.h"

#include <QDir>
#include <QString>
#include <QUrl>

#include <optional>

class QLineEdit;

// Fields where the user gives a file or a folder by its path: typed, pasted or dropped.

// The path `url` stands for on this machine: a file URL without a host, or with "localhost"
// ("file:///home/me/my%20site" is "/home/me/my site"); nothing for any other address, nor for a
// file URL with a query or a fragment, a relative one or an empty one, none of which names a file.
// A file URL whose name, its escapes decoded, is not valid UTF-8 text names a file that no path can
// carry: refused with the URL and why, never turned into the name of another file.
std::optional<FileResult> LocalPath(const QUrl& url);

// The path a field's text gives: without the line breaks (CR, LF, U+2028, U+2029) at either end
// that a path copied from a terminal brings along, and a local file URL (LocalPath), as a file
// manager copies a file, as its path. Spaces are kept: a name may begin or end with them. A local
// file URL that LocalPath refuses is refused, with the text as given (without those line breaks),
// and so is a text with a line break inside (PrintableText shows it), unless a file or folder of
// that name is there: in `folder`, where the name is relative.
FileResult FieldPath(const QString& text, const QDir& folder = QDir());

// Makes `field` take a file or a folder dragged from a file manager, which arrives as a URL: one
// that LocalPath takes replaces the field's text with the path, as one edit the user can undo; any
// other address, one LocalPath refuses, or several, is refused, and the text stays. Dropped text
// is left to the field, as typed text is, for FieldPath to take. The filter belongs to `field`.
void TakePathDrops(QLineEdit& field);
