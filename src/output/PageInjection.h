#pragma once

#include "CodeTexts.h"
#include "files/FileResult.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QImage;

// Pages are handled as bytes, never decoded, so they come back in their own encoding. Every match
// starts at a '<', which is never part of a UTF-8 sequence nor the second byte of a character in
// the common double-byte encodings.

// The position of the page's last closing body tag ("</body>" in any letter case, blanks allowed
// before the ">"), or -1 when it has none. The last one is the real end of the body: an earlier one
// may stand in a comment or a script.
qsizetype FindBodyEnd(const QByteArray& page);

// Where the code block goes: before the last closing body tag, else before the last closing html
// tag, else at the very end of the text.
qsizetype InsertionPoint(const QByteArray& page);

// The page with every old block removed and `codeBlock` inserted at its insertion point. The old
// block nearest before the insertion point goes together with whatever follows it up to there (its
// custom code), unless that stretch holds a tag of the document's structure; any other old block
// goes from its begin marker to the end of its end marker; a begin marker whose block cannot be
// delimited loses only the marker itself; a begin marker that the removal forms out of the text on
// both sides of a block goes as well. Applying it twice gives the same page as once.
QByteArray InjectCode(const QByteArray& page, const QByteArray& codeBlock);

// The folder of a path: everything up to and including its last separator; empty without one.
QString FolderOf(const QString& path);

// `folder` and `fileName` joined by exactly one separator (just the name when the folder is empty).
QString JoinPath(const QString& folder, const QString& fileName);

// The largest page read. A page is held in memory a few times over while its block is replaced.
inline constexpr qint64 kMaxPageBytes = qint64(1) << 30;

// The outcome of reading a page. A page that does not exist is not an error.
struct PageRead {
    bool exists = false;
    QByteArray text;
    QString error;
};

// Reads the whole page and checks that it can be written back. An error, and the page left as it
// is, for anything that exists but is not a readable regular file of text (a folder, a pipe, a
// device, a loop of links, a page without read or write permission, one larger than kMaxPageBytes
// or one that holds a zero byte), and for a page that does not exist and cannot be made (its
// folder, or the folder a link points into, does not exist). Nothing blocks on a node.
PageRead ReadPage(const QString& path);

// Writes one page with the advert. The page is read and checked first (ReadPage); a page refused
// there is reported alone and nothing is written on its account. Otherwise the image and the style
// sheet are written (unless `sharedFilesWritten`, when neither is touched), then the page with
// `texts.codeBlock` injected; a page that does not exist starts as the sample page. Returns one
// result per file attempted, in order.
QList<FileResult> WritePage(const CodeTexts& texts, const QImage& banner, const QString& imagePath,
                            const QString& stylePath, const QString& pagePath, bool sharedFilesWritten);
