#include "design/WriteOver.h"

#include "design/Design.h"
#include "design/DesignFile.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"
#include "output/PageInjection.h"

#include <QByteArrayView>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A picture by its first bytes, as a browser tells one: GIF (by the rule that tells one from a note
// starting "GIF89a"), PNG, JPEG or WebP.
bool IsPicture(QByteArrayView start) {
    return IsGif(start) || start.startsWith("\x89PNG\r\n\x1a\n") || start.startsWith("\xff\xd8\xff") ||
           (start.startsWith("RIFF") && start.sliced(std::min<qsizetype>(8, start.size())).startsWith("WEBP"));
}

}  // namespace

FileResult CheckWriteOver(const QString& path, Writes writes) {
    const QFileInfo info(path);
    if (!info.isFile()) {
        return FileResult::Success(path);  // nothing there, or a kind of file the write itself refuses and names
    }
    const QString landing = info.isSymLink() ? WriteTarget(path) : path;
    const QString what = writes == Writes::Picture ? u"a banner"_s : u"a design"_s;
    QString why;
    if (Design::IsPageName(path)) {
        why = u"is a web page, which %1 is not written over"_s.arg(what);
    } else if (Design::IsPageName(landing)) {
        // The user knows the link by its own name, a picture's or a design's: the page is named.
        why = u"is a link to %1, a web page, which %2 is not written over"_s.arg(landing, what);
    } else {
        // A design's format may come after a long custom code: the whole of one is read.
        const FileBytes held = ReadFileStart(path, writes == Writes::Picture ? 4096 : kMaxDesignFileBytes + 1);
        if (!held.missing && !held.status.Ok()) {
            why = u"cannot be read to tell what it holds (%1), so %2 is not written over it"_s.arg(held.status.error,
                                                                                                   what);
        } else if (!held.bytes.isEmpty() &&
                   !(writes == Writes::Picture
                         ? IsPicture(held.bytes)
                         // Larger than any design, whatever its start holds.
                         : held.bytes.size() <= kMaxDesignFileBytes && HoldsADesign(held.bytes))) {
            why = writes == Writes::Picture
                      ? u"is not a GIF, PNG, JPEG or WebP picture, the only files a banner is written over"_s
                      : u"is not a design, the only files a design is written over"_s;
        }
    }
    return why.isEmpty() ? FileResult::Success(path) : FileResult::Failure(path, why + u"; left as it is"_s);
}
