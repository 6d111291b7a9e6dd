#include "PageInjection.h"

#include "GifWriter.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"

#include <QDir>

#include <string_view>
#include <utility>
#include <vector>

namespace {

using std::string_view;

constexpr string_view kBegin{kBeginMarker};
constexpr string_view kEnd{kEndMarker};

string_view View(const QByteArray& bytes) {
    return {bytes.constData(), size_t(bytes.size())};
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Whether the tag opener `tag` ("<html", "</body"; lower case) starts at `pos` in any letter case,
// followed by what ends a tag name, so that "<header" is not "<head".
bool TagAt(string_view text, size_t pos, string_view tag) {
    if (pos + tag.size() >= text.size()) {
        return false;
    }
    for (size_t i = 0; i < tag.size(); ++i) {
        if (Lower(text[pos + i]) != tag[i]) {
            return false;
        }
    }
    switch (text[pos + tag.size()]) {
    case '>':
    case '/':
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case '\f':
        return true;
    default:
        return false;
    }
}

size_t FindLastTag(string_view text, string_view tag) {
    size_t pos = text.size();
    while (pos > 0 && (pos = text.rfind('<', pos - 1)) != string_view::npos) {
        if (TagAt(text, pos, tag)) {
            return pos;
        }
    }
    return string_view::npos;
}

// Whether [from, to) holds a tag that opens or closes the document's structure. Removing such a
// stretch would take the head or the body of the page with it.
bool HoldsStructureTag(string_view text, size_t from, size_t to) {
    static constexpr string_view kStructure[] = {"<html", "<head", "</head", "<body", "</body", "</html"};
    for (size_t pos = text.find('<', from); pos < to; pos = text.find('<', pos + 1)) {
        for (const string_view tag : kStructure) {
            if (TagAt(text, pos, tag)) {
                return true;
            }
        }
    }
    return false;
}

// Whether [from, to) holds a structure tag that the page does not already have before `from`. A
// page's own head and body tags stand once; the same tag again after an old block belongs to the
// block's custom code, which goes with the block, or a run would add one more copy each time.
bool HoldsPageStructure(string_view text, size_t from, size_t to) {
    static constexpr string_view kStructure[] = {"<html", "<head", "</head", "<body", "</body", "</html"};
    const auto standsBefore = [&](string_view tag) {
        for (size_t pos = text.find('<'); pos < from; pos = text.find('<', pos + 1)) {
            if (TagAt(text, pos, tag)) {
                return true;
            }
        }
        return false;
    };
    for (size_t pos = text.find('<', from); pos < to; pos = text.find('<', pos + 1)) {
        for (const string_view tag : kStructure) {
            if (TagAt(text, pos, tag) && !standsBefore(tag)) {
                return true;
            }
        }
    }
    return false;
}

size_t InsertionPointOf(string_view text) {
    if (const size_t body = FindLastTag(text, "</body"); body != string_view::npos) {
        return body;
    }
    if (const size_t html = FindLastTag(text, "</html"); html != string_view::npos) {
        return html;
    }
    return text.size();
}

}  // namespace

qsizetype FindBodyEnd(const QByteArray& page) {
    const size_t pos = FindLastTag(View(page), "</body");
    return pos == string_view::npos ? -1 : qsizetype(pos);
}

qsizetype InsertionPoint(const QByteArray& page) {
    return qsizetype(InsertionPointOf(View(page)));
}

namespace {

// The page with its old blocks taken out, as InjectCode describes; the page itself when it has none.
QByteArray WithoutOldBlocks(const QByteArray& page) {
    const string_view text = View(page);
    const size_t insertAt = InsertionPointOf(text);

    std::vector<size_t> markers;
    for (size_t pos = text.find(kBegin); pos != string_view::npos; pos = text.find(kBegin, pos + kBegin.size())) {
        markers.push_back(pos);
    }

    // Stretches to remove, in text order and never overlapping: each ends before the next marker.
    std::vector<std::pair<size_t, size_t>> removals;
    for (size_t i = 0; i < markers.size(); ++i) {
        const size_t begin = markers[i];
        const size_t next = i + 1 < markers.size() ? markers[i + 1] : text.size();
        const size_t end = text.find(kEnd, begin + kBegin.size());
        size_t blockEnd = begin + kBegin.size();
        if (end != string_view::npos && end < next && !HoldsStructureTag(text, begin, end)) {
            blockEnd = end + kEnd.size();
        }
        const bool nearestBeforeInsertion = begin < insertAt && next >= insertAt;
        if (nearestBeforeInsertion && blockEnd <= insertAt && !HoldsPageStructure(text, begin, insertAt)) {
            blockEnd = insertAt;
        }
        removals.emplace_back(begin, blockEnd);
    }
    if (removals.empty()) {
        return page;
    }

    QByteArray cleaned;
    cleaned.reserve(page.size());
    size_t kept = 0;
    for (const auto& [from, to] : removals) {
        cleaned.append(text.data() + kept, qsizetype(from - kept));
        kept = to;
    }
    cleaned.append(text.data() + kept, qsizetype(text.size() - kept));
    return cleaned;
}

}  // namespace

QByteArray InjectCode(const QByteArray& page, const QByteArray& codeBlock) {
    QByteArray cleaned = WithoutOldBlocks(page);
    // Taking a block out can join the text on its two sides into a new begin marker ("<!--Vornet"
    // + block + "AdBegin-->"); that one goes too, or the page would hold two blocks. Each pass
    // takes out at least one marker, so this ends.
    while (cleaned.contains(kBeginMarker)) {
        cleaned = WithoutOldBlocks(cleaned);
    }
    // Found on what is left: a removed block may have held the tag that was taken for the end of
    // the body.
    cleaned.insert(InsertionPoint(cleaned), codeBlock);
    return cleaned;
}

QString FolderOf(const QString& path) {
    qsizetype last = path.lastIndexOf(QLatin1Char('/'));
    if (QDir::separator() != QLatin1Char('/')) {
        last = std::max(last, path.lastIndexOf(QDir::separator()));
    }
    return last < 0 ? QString() : path.left(last + 1);
}

QString JoinPath(const QString& folder, const QString& fileName) {
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')) || folder.endsWith(QDir::separator())) {
        return folder + fileName;
    }
    return folder + QLatin1Char('/') + fileName;
}

PageRead ReadPage(const QString& path) {
    PageRead page;
    const FileBytes file = ReadRegularFile(path, kMaxPageBytes);
    page.exists = !file.missing;
    if (page.exists && !file.status.ok()) {
        page.error = file.status.error + QStringLiteral("; left unchanged");
        return page;
    }
    // Writing back only the text before a zero byte would lose the rest of the file.
    if (file.bytes.contains('\0')) {
        page.error = QStringLiteral("holds a zero byte (not an 8-bit or UTF-8 text, perhaps UTF-16); left unchanged");
        return page;
    }
    // A page that cannot be written back is refused now, before its image and style sheet go out.
    if (const FileResult target = CheckReplaceable(path); !target.ok()) {
        page.error = target.error;
        return page;
    }
    page.text = file.bytes;
    return page;
}

QList<FileResult> WritePage(const CodeTexts& texts, const QImage& banner, const QString& imagePath,
                            const QString& stylePath, const QString& pagePath, bool sharedFilesWritten) {
    const PageRead page = ReadPage(pagePath);
    if (!page.error.isEmpty()) {
        return {FileResult::Failure(pagePath, page.error)};
    }
    QList<FileResult> results;
    if (!sharedFilesWritten) {
        results.append(SaveAsGif(banner, imagePath));
        results.append(ReplaceFile(texts.styleSheet, stylePath));
    }
    results.append(ReplaceFile(InjectCode(page.exists ? page.text : texts.samplePage, texts.codeBlock), pagePath));
    return results;
}
