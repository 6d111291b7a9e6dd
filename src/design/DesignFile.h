#pragma once

#include "design/Design.h"
#include "files/FileResult.h"
#include "files/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// A design file (*.vornetad) is a JSON object with "format": "vornetad-design" and "version": 1;
// every other field is optional and stands for its default when absent (docs/design-file.md
// lists them). A file is taken whole or not at all: a field of the wrong type, a value out of
// range or an unknown field refuses it, with a message that names the field.

// Larger than any design: the custom code's limit plus room for the rest.
inline constexpr qint64 kMaxDesignFileBytes = qint64(4) << 20;

// A design read, or why not.
struct [[nodiscard]] DesignRead {
    FileResult status;     // the file; when refused, the reason, naming the field ("lines[1].points: ...")
    bool missing = false;  // nothing stands at the path
    Design design;         // what the file holds; the defaults when refused
};

// The design in `json`. Relative paths in it are taken from `folder` (none: left as they are).
DesignRead ParseDesign(QByteArrayView json, const QString& folder = {});

// The design file at `path`, a regular file of at most kMaxDesignFileBytes, read without blocking;
// its relative paths are taken from its own folder.
DesignRead ReadDesign(const QString& path);

// Whether `bytes` are a design file's, well formed or not in its fields (a JSON object whose
// "format" is this program's), or blank: what may be written over with a design and nothing lost.
bool HoldsADesign(QByteArrayView bytes);

// The file's text for `design`: every setting, except a size and crop offset it does not set.
QByteArray DesignJson(const Design& design);

// The file's text for `design` (DesignJson), or why no design file can hold it: it would not read
// back as it is (text that is not valid Unicode, a value out of range, custom code with a zero byte
// or larger than Design::kMaxCustomCodeBytes), or it would be larger than kMaxDesignFileBytes. Its
// paths count whole; WriteDesign, which writes some of them shorter, refuses no more than this.
Result<QByteArray> DesignFileText(const Design& design);

// Writes `design` to `path` through ReplaceFile, its paths inside the file's own folder written
// from there (unless `path` is a link). A design that DesignFileText refuses is refused before
// anything is written, with its reason.
FileResult WriteDesign(const Design& design, const QString& path);
