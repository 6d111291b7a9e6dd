#pragma once

#include "files/FileResult.h"

#include <QString>

// What the program writes at a path the user names (a banner picture, a design file) replaces only
// a file of its own kind, or nothing: a page or any other file of the user's (a server page named
// page.php, notes) would be lost whole where another name was meant. A new file may have any name.
enum class Writes { Picture, Design };

// Whether `writes` may replace what stands at `path`: success with `path` when nothing is there, a
// kind of file the write itself refuses and names (a folder, a device), a blank file, or a file of
// its own kind (a design: one whose format is this program's; a picture: a GIF, PNG, JPEG or WebP by
// its first bytes). Otherwise a failure naming `path` and why, ending "; left as it is": a
// web page by its name or its link's target's, a file of another kind, or one that cannot be read
// to tell. Nothing is written.
FileResult CheckWriteOver(const QString& path, Writes writes);
