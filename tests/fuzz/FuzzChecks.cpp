#include "FuzzChecks.h"

#include "TestFiles.h"
#include "banner/Banner.h"
#include "banner/GifWriter.h"
#include "banner/TemplateImage.h"
#include "markup/Markup.h"
#include "output/AdSettings.h"
#include "output/CodeTexts.h"
#include "output/HtmlScanner.h"
#include "output/PageContext.h"
#include "output/PageInjection.h"
#include "templates/TemplateCatalog.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <vector>

namespace {

constexpr QByteArrayView kSeparator("\x01\x02");
constexpr int kLargestTemplateEdge = 4096;
constexpr int kLargestGifEdge = 160;

QList<QByteArrayView> SplitInput(QByteArrayView input, int parts) {
    QList<QByteArrayView> result;
    for (qsizetype at = 0; result.size() + 1 < parts && (at = input.indexOf(kSeparator)) >= 0;) {
        result.append(input.first(at));
        input = input.sliced(at + kSeparator.size());
    }
    result.append(input);
    result.resize(parts);
    return result;
}

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.left(120).toPercentEncoding());
}

std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), size_t(bytes.size())};
}

bool IsMarker(const HtmlToken& t, const QByteArray& text, const char* marker) {
    return t.kind == HtmlToken::Kind::Comment && View(text).substr(t.begin, t.end - t.begin) == marker;
}

// Custom code whose bytes read the same wherever they stand: only comments other than markers,
// nothing left open, and no '<' or "</" at its end, which is text there but joins what follows
// into a tag or a comment. After such code a page reads as though it were not there, so the
// page's markers can be found by reading it once.
bool IsInert(const QByteArray& code) {
    HtmlScanner scanner(View(code));
    bool inert = !code.contains("<![") && !code.endsWith('<') && !code.endsWith("</");
    for (HtmlToken t; inert && scanner.Next(t);) {
        inert =
            t.kind == HtmlToken::Kind::Comment && !IsMarker(t, code, kBeginMarker) && !IsMarker(t, code, kEndMarker);
    }
    return inert && scanner.OpenSince() == size_t(code.size());
}

// A text with each of its line breaks (CRLF, a lone CR or LF) made one LF, and where its bytes
// stand in the original.
struct LfText {
    QByteArray text;
    std::vector<qsizetype> at;   // for each offset of the original, the offset in `text`
    std::vector<qsizetype> end;  // for each byte of `text`, the offset after it in the original
};

LfText WithLfBreaks(const QByteArray& original) {
    LfText lf;
    for (qsizetype i = 0; i < original.size(); ++i) {
        lf.at.push_back(lf.text.size());
        if (original[i] == '\r' && i + 1 < original.size() && original[i + 1] == '\n') {
            lf.at.push_back(lf.text.size());
            ++i;
        }
        lf.text.append(original[i] == '\r' ? '\n' : original[i]);
        lf.end.push_back(i + 1);
    }
    lf.at.push_back(lf.text.size());
    return lf;
}

// Where `code` ends in `text` from `from`, the spaces and tabs that begin each of their lines passed
// over on both sides; -1 where it is not there.
qsizetype IndentFreeEnd(const QByteArray& text, qsizetype from, QByteArrayView code) {
    const auto indent = [](char c) {
        return c == ' ' || c == '\t';
    };
    qsizetype t = from;
    for (qsizetype c = 0;;) {
        for (; c < code.size() && code[c] != '\n'; ++c, ++t) {
            if (t >= text.size() || text[t] != code[c]) {
                return -1;
            }
        }
        if (c == code.size()) {
            return t;
        }
        if (t >= text.size() || text[t] != '\n') {
            return -1;
        }
        ++t;
        for (++c; c < code.size() && indent(code[c]); ++c) {
        }
        for (; c < code.size() && t < text.size() && indent(text[t]); ++t) {
        }
    }
}

// Where `code`, without its leading blanks, ends in `page` from `from` as a formatter may have
// reflowed it: each run of blanks in it as any run of blanks, and blanks or none where a tag begins
// or ends next to it; -1 where it is not there.
qsizetype ReflowedEnd(const QByteArray& page, qsizetype from, QByteArrayView code) {
    const QString blank = QStringLiteral("[ \\t\\n\\f\\r]");
    QString pattern;
    qsizetype i = 0;
    while (i < code.size() && IsHtmlBlank(code[i])) {
        ++i;
    }
    for (const qsizetype start = i; i < code.size();) {
        if (IsHtmlBlank(code[i])) {
            const qsizetype runFrom = i;
            while (i < code.size() && IsHtmlBlank(code[i])) {
                ++i;
            }
            const bool mayGo = code[runFrom - 1] == '>' || i == code.size() || code[i] == '<';
            pattern += blank + (mayGo ? u'*' : u'+');
            continue;
        }
        if (i > start && !IsHtmlBlank(code[i - 1]) && (code[i - 1] == '>' || code[i] == '<')) {
            pattern += blank + u'*';
        }
        pattern += QRegularExpression::escape(QString(QLatin1Char(code[i])));
        ++i;
    }
    const QRegularExpressionMatch match =
        QRegularExpression(pattern).match(QString::fromLatin1(page), from, QRegularExpression::NormalMatch,
                                          QRegularExpression::AnchorAtOffsetMatchOption);
    return match.hasMatch() ? match.capturedEnd() : -1;
}

// Whether `rest` is `page` with only stretches taken out that a run may take: each is one or more
// groups (a begin marker up to the end marker that closes it), each optionally followed by one of
// the custom codes, its line breaks written there as any line breaks, one for one (but a lone CR
// that ends a code may leave the LF after it), or by blanks and the code without its own leading
// blanks, its lines indented anew or the whole of it reflowed (ReflowedEnd).
bool RemovedOnlyWhatRunsWrote(const QByteArray& page, const QByteArray& rest, const QByteArrayList& customCodes) {
    const LfText lfPage = WithLfBreaks(page);
    // Each code as written, and without the spaces and tabs that end its lines, which editors trim on
    // saving and a removal takes it without (`codeOf`: the code each stands for).
    QByteArrayList lfCodes;
    QList<qsizetype> codeOf;
    for (qsizetype k = 0; k < customCodes.size(); ++k) {
        const QByteArray lf = WithLfBreaks(customCodes[k]).text;
        QByteArray trimmed;
        for (const char c : lf) {
            while (c == '\n' && (trimmed.endsWith(' ') || trimmed.endsWith('\t'))) {
                trimmed.chop(1);
            }
            trimmed.append(c);
        }
        for (const QByteArray& each : {lf, trimmed}) {
            lfCodes.append(each);
            codeOf.append(k);
        }
    }
    std::map<qsizetype, qsizetype> groupEnd;  // begin marker -> end of its end marker
    std::vector<qsizetype> open;              // begin markers not yet closed
    HtmlScanner scanner(View(page));
    for (HtmlToken t; scanner.Next(t);) {
        if (IsMarker(t, page, kBeginMarker)) {
            open.push_back(qsizetype(t.begin));
        } else if (IsMarker(t, page, kEndMarker) && !open.empty()) {
            groupEnd[open.back()] = qsizetype(t.end);
            open.pop_back();
        }
    }
    std::set<std::pair<qsizetype, qsizetype>> seen;
    std::vector<std::pair<qsizetype, qsizetype>> todo{{0, 0}};
    while (!todo.empty()) {
        auto [i, j] = todo.back();
        todo.pop_back();
        if (!seen.insert({i, j}).second) {
            continue;
        }
        while (i < page.size() && j < rest.size() && page[i] == rest[j] && !groupEnd.count(i)) {
            ++i;
            ++j;
        }
        if (i == page.size() && j == rest.size()) {
            return true;
        }
        if (i < page.size() && j < rest.size() && page[i] == rest[j]) {
            todo.push_back({i + 1, j + 1});
        }
        if (const auto group = groupEnd.find(i); group != groupEnd.end()) {
            const qsizetype after = group->second;
            todo.push_back({after, j});
            qsizetype blanks = after;
            while (blanks < page.size() && IsHtmlBlank(page[blanks])) {
                ++blanks;
            }
            for (qsizetype k = 0; k < lfCodes.size(); ++k) {
                for (const qsizetype from : {after, blanks}) {
                    QByteArrayView code = lfCodes[k];
                    while (from > after && !code.isEmpty() && IsHtmlBlank(code[0])) {
                        code = code.sliced(1);
                    }
                    const qsizetype lfFrom = lfPage.at[size_t(from)];
                    const qsizetype lfEnd = from > after ? IndentFreeEnd(lfPage.text, lfFrom, code)
                                            : QByteArrayView(lfPage.text).sliced(lfFrom).startsWith(code)
                                                ? lfFrom + code.size()
                                                : -1;
                    if (code.isEmpty() || lfEnd <= lfFrom) {
                        continue;
                    }
                    const qsizetype end = lfPage.end[size_t(lfEnd - 1)];
                    todo.push_back({end, j});
                    // A code ending in a lone CR leaves the LF of the page's CRLF after it.
                    if (customCodes[codeOf[k]].endsWith('\r') && page.first(end).endsWith("\r\n")) {
                        todo.push_back({end - 1, j});
                    }
                }
            }
            for (const QByteArray& code : customCodes) {
                if (const qsizetype end = ReflowedEnd(page, blanks, code); end > blanks) {
                    todo.push_back({end, j});
                }
            }
        }
    }
    return false;
}

// Whether `rest` keeps the bytes of `page` in their order (a subsequence).
bool KeepsOrder(const QByteArray& page, const QByteArray& rest) {
    qsizetype j = 0;
    for (qsizetype i = 0; i < page.size() && j < rest.size(); ++i) {
        j += page[i] == rest[j] ? 1 : 0;
    }
    return j == rest.size();
}

const QTemporaryDir& ScratchFolder() {
    static const QTemporaryDir dir;
    return dir;
}

}  // namespace

QString CheckMarkup(QByteArrayView text) {
    qsizetype position = 0;
    bool pendingSpace = false;
    for (qsizetype before = 0;; before = position) {
        const MarkupToken token = NextMarkupToken(text, position, pendingSpace);
        if (token.kind == kMarkupEnd) {
            break;
        }
        if (token.start < before || token.length <= 0 || token.start + token.length > text.size() ||
            position != token.start + token.length) {
            return QStringLiteral("a bad token at %1").arg(token.start);
        }
        pendingSpace = pendingSpace && token.kind != kMarkupText;
    }
    // The first byte picks the label's width, so that wrapping and widening both get exercised.
    static QImage canvas(300, 80, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    QFont font;
    font.setPixelSize(13);
    painter.setFont(font);
    DrawMarkup(painter, text, QRect(2, 2, text.isEmpty() ? 100 : uchar(text[0]), 60));
    return {};
}

QString CheckInjection(QByteArrayView input) {
    const QList<QByteArrayView> parts = SplitInput(input, 6);
    const uchar flags = parts[0].isEmpty() ? 0 : uchar(parts[0][0]);
    AdSettings settings;
    settings.bannerSize = Banner::kMinSize + flags % (Banner::kMaxSize - Banner::kMinSize + 1);
    settings.side = (flags & 1) ? BannerSide::Left : BannerSide::Right;
    settings.newWindow = (flags & 2) != 0;
    settings.options.staticMarkup = (flags & 8) != 0;
    settings.linkUrl = QString::fromUtf8(parts[1]);
    settings.adTitle = QString::fromUtf8(parts[2]);
    // Any custom code a user may give: every byte but zero, exactly as typed.
    QByteArray custom = (flags & 4) ? parts[3].toByteArray() : QByteArray();
    custom.removeIf([](char c) { return c == '\0'; });
    // The last run's, which the wizard knows; after this run that is `custom`.
    QByteArray earlier = parts[5].toByteArray();
    earlier.removeIf([](char c) { return c == '\0'; });
    const QByteArray page = parts[4].toByteArray();

    const BuiltCode code =
        CodeTexts().BuildCode(QByteArrayLiteral("VornetAdStyle.css"), QByteArrayLiteral("VornetAdMap.gif"), settings);
    const QByteArray block = code.codeBlock + custom;

    // Read by every run for its notes; the sanitizers watch them on any page.
    if (const std::optional<QByteArray> base = BaseAddress(page); base && base->isEmpty()) {
        return QStringLiteral("an empty base address was reported");
    }
    if (const std::optional<RefusingPolicy> policy = FindRefusingPolicy(page, InsertionPoint(page), code.cspSources);
        policy && (policy->at < 0 || policy->at >= page.size())) {
        return QStringLiteral("a policy was reported outside the page");
    }
    const QByteArray once = InjectCode(page, block, {earlier});
    const QByteArray rest = RemoveOldBlocks(page, custom, {earlier}).page;
    // The insertion point, or before the blanks that lead back to where an old block was.
    qsizetype at = InsertionPoint(rest);
    while (once != rest.left(at) + block + rest.mid(at) && at > 0 && IsHtmlBlank(rest[at - 1])) {
        --at;
    }
    if (once != rest.left(at) + block + rest.mid(at)) {
        return QStringLiteral("the page is not the cleaned page with the block at its insertion point: ") + Hex(once);
    }
    if (InjectCode(once, block, {}) != once) {
        return QStringLiteral("a second run with the same block changed the page: ") + Hex(once);
    }
    // A removal takes out exactly the new block, and its custom code unless that starts with closing
    // tags which, without closing tags of the page's own after them, may be the page's own end; such
    // code left behind loses the blocks between markers of its own, as any page does.
    const BlockRemoval next = RemoveOldBlocks(once, custom);
    const QByteArray trimmed = custom.trimmed().toLower();
    const bool mayBeTheEnd = trimmed.startsWith("</body") || trimmed.startsWith("</html");
    const QByteArray codeLeft = rest.left(at) + custom + rest.mid(at);
    const bool codeStays = next.page == codeLeft || next.page == RemoveOldBlocks(codeLeft, {}).page;
    if (!next.removed || (next.page != rest && !(mayBeTheEnd && codeStays))) {
        return QStringLiteral("a removal does not take out exactly the new block: ") + Hex(next.page);
    }
    if (RemoveOldBlocks(rest, custom, {earlier}).removed) {
        return QStringLiteral("an old block was left: ") + Hex(rest);
    }
    const bool kept = IsInert(custom) && IsInert(earlier) ? RemovedOnlyWhatRunsWrote(page, rest, {custom, earlier})
                                                          : KeepsOrder(page, rest) && rest.size() <= page.size();
    // With the first two, this makes a second run with the same block change nothing.
    return kept ? QString() : QStringLiteral("bytes that no run wrote were removed: ") + Hex(rest);
}

QString CheckTemplate(QByteArrayView input) {
    // A folder of its own, so that the catalog sees this one file.
    const QDir dir(ScratchFolder().filePath(QStringLiteral("catalog")));
    const QString path = dir.filePath(QStringLiteral("t.gif"));
    if (!QDir().mkpath(dir.path()) || !WriteAll(path, input.toByteArray())) {
        return QStringLiteral("cannot write the scratch file");
    }
    const TemplateImage loaded = LoadTemplateImage(path);
    const TemplateImage fromMemory = DecodeTemplate(input);
    const QImage& image = loaded.image;
    if (image.isNull() == loaded.status.Ok()) {
        return QStringLiteral("the decoder gave both an image and a reason, or neither");
    }
    if (image != fromMemory.image || loaded.status.error != fromMemory.status.error) {
        return QStringLiteral("the file and its bytes decode differently: ") + loaded.status.error;
    }
    if (image.width() > kLargestTemplateEdge || image.height() > kLargestTemplateEdge) {
        return QStringLiteral("a %1 x %2 template was decoded").arg(image.width()).arg(image.height());
    }

    TemplateCatalog catalog;
    const bool listed = catalog.Scan(dir.path()) == 1 && catalog.PathAt(0) == path;
    const QImage bitmap = listed ? catalog.BitmapAt(0) : QImage();
    if (!listed || bitmap != image) {
        return QStringLiteral("the catalog does not show the file as the loader reads it");
    }

    // The banner loads through the same decoder, so only its composition is left to check.
    Banner banner;
    banner.LoadTemplate(path);
    banner.SetBannerSize(Banner::kMinSize + int(input.size() % 64));
    return banner.Composed().size() == QSize(banner.Size(), banner.Size())
               ? QString()
               : QStringLiteral("the banner is not %1 pixels square").arg(banner.Size());
}

QString CheckGif(QByteArrayView input) {
    const QByteArray head = input.first(std::min<qsizetype>(4, input.size())).toByteArray().leftJustified(4, '\0');
    const int width = 1 + (uchar(head[0]) | uchar(head[1]) << 8) % kLargestGifEdge;
    const int height = 1 + (uchar(head[2]) | uchar(head[3]) << 8) % kLargestGifEdge;
    const QByteArrayView pixels = input.size() > 4 ? input.sliced(4) : QByteArrayView("\xff\x10\x20\x30");
    // The pixels, repeated to fill the image.
    const QByteArray argb = pixels.toByteArray().repeated(4 * width * height / pixels.size() + 1);
    QImage image(width, height, QImage::Format_ARGB32);
    for (int i = 0; i < width * height; ++i) {
        const auto* v = reinterpret_cast<const uchar*>(argb.constData()) + 4 * i;
        image.setPixel(i % width, i / width, qRgba(v[1], v[2], v[3], v[0]));
    }
    // The composed banner is premultiplied; odd-sized inputs try the straight format too.
    const QImage given = (input.size() % 2 == 0) ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied) : image;

    const QString path = ScratchFolder().filePath(QStringLiteral("out.gif"));
    if (const FileResult saved = SaveAsGif(given, path); !saved.Ok()) {
        return QStringLiteral("SaveAsGif failed: ") + saved.error;
    }
    const QImage back(path, "GIF");
    if (back.size() != image.size()) {
        return QStringLiteral("read back as %1 x %2").arg(back.width()).arg(back.height());
    }
    for (int i = 0; i < width * height; ++i) {
        const QPoint at(i % width, i / width);
        if (qAlpha(back.pixel(at)) != (qAlpha(image.pixel(at)) >= 128 ? 255 : 0)) {
            return QStringLiteral("pixel %1 (row by row): alpha %2 read back").arg(i).arg(qAlpha(back.pixel(at)));
        }
    }
    return {};
}
