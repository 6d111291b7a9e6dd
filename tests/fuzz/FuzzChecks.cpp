#include "FuzzChecks.h"

#include "AdSettings.h"
#include "Banner.h"
#include "CodeTexts.h"
#include "GifWriter.h"
#include "HtmlScanner.h"
#include "PageInjection.h"
#include "TemplateCatalog.h"
#include "TemplateImage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

constexpr QByteArrayView kSeparator("\x01\x02");
constexpr int kLargestTemplateEdge = 4096;
constexpr int kLargestGifEdge = 160;

QList<QByteArrayView> SplitInput(QByteArrayView input, int parts) {
    QList<QByteArrayView> result;
    while (result.size() + 1 < parts) {
        const qsizetype at = input.indexOf(kSeparator);
        if (at < 0) {
            break;
        }
        result.append(input.first(at));
        input = input.sliced(at + kSeparator.size());
    }
    result.append(input);
    while (result.size() < parts) {
        result.append(QByteArrayView());
    }
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
// nothing left open. After such code a page reads as though it were not there, so the page's
// markers can be found by reading it once.
bool IsInert(const QByteArray& code) {
    if (code.contains("<![")) {
        return false;
    }
    HtmlScanner scanner(View(code));
    HtmlToken t;
    while (scanner.Next(t)) {
        if (t.kind != HtmlToken::Kind::Comment || IsMarker(t, code, kBeginMarker) || IsMarker(t, code, kEndMarker)) {
            return false;
        }
    }
    return scanner.OpenSince() == size_t(code.size());
}

// Whether `rest` is `page` with only stretches taken out that a run may take: each is one or more
// groups (a begin marker up to the end marker that closes it, each optionally followed by the
// custom code), and may then run on over text and tags other than the document's structure, past
// no marker, up to a closing body tag.
bool RemovedOnlyWhatRunsWrote(const QByteArray& page, const QByteArray& rest, const QByteArray& customCode) {
    std::map<qsizetype, qsizetype> groupEnd;  // begin marker -> end of its end marker
    std::vector<qsizetype> barriers;          // markers and structure tags
    std::vector<qsizetype> open;
    std::vector<qsizetype> bodies;
    HtmlScanner scanner(View(page));
    for (HtmlToken t; scanner.Next(t);) {
        const bool begin = IsMarker(t, page, kBeginMarker);
        const bool end = IsMarker(t, page, kEndMarker);
        if (begin || end || t.Is(HtmlToken::Kind::StartTag, "html") || t.Is(HtmlToken::Kind::StartTag, "head") ||
            t.Is(HtmlToken::Kind::StartTag, "body") || t.Is(HtmlToken::Kind::EndTag, "head")) {
            barriers.push_back(qsizetype(t.begin));
        }
        if (begin) {
            open.push_back(qsizetype(t.begin));
        } else if (end && !open.empty()) {
            groupEnd[open.back()] = qsizetype(t.end);
            open.pop_back();
        } else if (t.Is(HtmlToken::Kind::EndTag, "body")) {
            bodies.push_back(qsizetype(t.begin));
        }
    }
    enum Mode { Keep, AfterGroup, AfterCustomCode };
    std::set<std::tuple<qsizetype, qsizetype, int>> seen;
    std::vector<std::tuple<qsizetype, qsizetype, int>> todo{{0, 0, Keep}};
    while (!todo.empty()) {
        auto [i, j, mode] = todo.back();
        todo.pop_back();
        if (!seen.insert({i, j, mode}).second) {
            continue;
        }
        if (mode != Keep) {
            todo.push_back({i, j, Keep});
            if (mode == AfterGroup && !customCode.isEmpty() && QByteArrayView(page).sliced(i).startsWith(customCode)) {
                todo.push_back({i + customCode.size(), j, AfterCustomCode});
            }
            // Which closing body tag is the last one depends on which groups go; any will do here.
            const auto barrier = std::lower_bound(barriers.begin(), barriers.end(), i);
            for (auto body = std::lower_bound(bodies.begin(), bodies.end(), i);
                 body != bodies.end() && (barrier == barriers.end() || *barrier >= *body); ++body) {
                todo.push_back({*body, j, Keep});
            }
        } else {
            while (i < page.size() && j < rest.size() && page[i] == rest[j] && !groupEnd.count(i)) {
                ++i;
                ++j;
            }
            if (i == page.size() && j == rest.size()) {
                return true;
            }
            if (i < page.size() && j < rest.size() && page[i] == rest[j]) {
                todo.push_back({i + 1, j + 1, Keep});
            }
        }
        if (const auto group = groupEnd.find(i); group != groupEnd.end()) {
            todo.push_back({group->second, j, AfterGroup});
        }
    }
    return false;
}

// Whether `rest` keeps the bytes of `page` in their order (a subsequence).
bool KeepsOrder(const QByteArray& page, const QByteArray& rest) {
    qsizetype j = 0;
    for (qsizetype i = 0; i < page.size() && j < rest.size(); ++i) {
        if (page[i] == rest[j]) {
            ++j;
        }
    }
    return j == rest.size();
}

const QTemporaryDir& ScratchFolder() {
    static const QTemporaryDir dir;
    return dir;
}

bool WriteScratch(const QString& path, QByteArrayView bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes.data(), bytes.size()) == bytes.size();
}

QByteArray GifBytes(const QImage& image) {
    const QString path = ScratchFolder().filePath(QStringLiteral("seed.gif"));
    if (!SaveAsGif(image, path).Ok()) {
        return {};
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray InjectionInput(char flags, const QByteArray& link, const QByteArray& title, const QByteArray& custom,
                          const QByteArray& page) {
    const QByteArray sep = kSeparator.toByteArray();
    return QByteArray(1, flags) + sep + link + sep + title + sep + custom + sep + page;
}

QByteArray GifInput(int width, int height, const QList<QRgb>& pixels) {
    QByteArray input;
    input.append(char(width & 0xFF)).append(char(width >> 8)).append(char(height & 0xFF)).append(char(height >> 8));
    for (const QRgb p : pixels) {
        input.append(char(qAlpha(p))).append(char(qRed(p))).append(char(qGreen(p))).append(char(qBlue(p)));
    }
    return input;
}

}  // namespace

QString CheckInjection(QByteArrayView input) {
    const QList<QByteArrayView> parts = SplitInput(input, 5);
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
    const QByteArray page = parts[4].toByteArray();

    CodeTexts texts;
    texts.BuildCode(QByteArrayLiteral("VornetAdStyle.css"), QByteArrayLiteral("VornetAdMap.gif"), settings);
    const QByteArray block = texts.codeBlock + custom;

    const QByteArray once = InjectCode(page, block);
    const BlockRemoval removal = RemoveOldBlocks(page, custom);
    const QByteArray& rest = removal.page;
    const qsizetype at = InsertionPoint(rest);
    if (once != rest.left(at) + block + rest.mid(at)) {
        return QStringLiteral("the page is not the cleaned page with the block at its insertion point: ") + Hex(once);
    }
    const BlockRemoval next = RemoveOldBlocks(once, custom);
    if (!next.removed || next.page != rest) {
        return QStringLiteral("the next run does not take out exactly the new block: ") + Hex(next.page);
    }
    if (RemoveOldBlocks(rest, custom).removed) {
        return QStringLiteral("an old block was left: ") + Hex(rest);
    }
    const bool kept = IsInert(custom) ? RemovedOnlyWhatRunsWrote(page, rest, custom)
                                      : KeepsOrder(page, rest) && rest.size() <= page.size();
    if (!kept) {
        return QStringLiteral("bytes that no run wrote were removed: ") + Hex(rest);
    }
    if (InjectCode(once, block) != once) {
        return QStringLiteral("a second run changed the page: ") + Hex(once);
    }
    return {};
}

QString CheckTemplate(QByteArrayView input) {
    // A folder of its own, so that the catalog sees this one file.
    const QDir dir(ScratchFolder().filePath(QStringLiteral("catalog")));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        return QStringLiteral("cannot make the scratch folder");
    }
    const QString path = dir.filePath(QStringLiteral("t.gif"));
    if (!WriteScratch(path, input)) {
        return QStringLiteral("cannot write the scratch file");
    }
    const auto tooLarge = [](const QImage& image) {
        return image.width() > kLargestTemplateEdge || image.height() > kLargestTemplateEdge;
    };

    const TemplateImage loaded = LoadTemplateImage(path);
    const TemplateImage fromMemory = DecodeTemplate(input);
    const QImage& image = loaded.image;
    if (image.isNull() == loaded.status.Ok()) {
        return QStringLiteral("the decoder gave %1 image and %2 reason")
            .arg(image.isNull() ? u"no" : u"an", loaded.status.Ok() ? u"no" : u"a");
    }
    if (image != fromMemory.image || loaded.status.error != fromMemory.status.error) {
        return QStringLiteral("the file and its bytes decode differently: ") + loaded.status.error;
    }
    if (tooLarge(image)) {
        return QStringLiteral("a %1 x %2 template was decoded").arg(image.width()).arg(image.height());
    }

    TemplateCatalog catalog;
    if (catalog.Scan(dir.path()) != 1 || catalog.PathAt(0) != path) {
        return QStringLiteral("the catalog did not list the file");
    }
    const QImage bitmap = catalog.BitmapAt(0);
    if (bitmap.size() != image.size() || bitmap.isNull() != image.isNull() || bitmap.hasAlphaChannel()) {
        return QStringLiteral("the catalog's image differs from the loader's");
    }

    Banner banner;
    banner.LoadTemplate(path);
    banner.SetBannerSize(Banner::kMinSize + int(input.size() % 64));
    // The crop square is centred on the template, so its offset tells the template's width.
    if (banner.CropOffset() > (kLargestTemplateEdge - banner.Size()) / 2) {
        return QStringLiteral("the banner loaded a template wider than %1 pixels").arg(kLargestTemplateEdge);
    }
    if (banner.Composed().size() != QSize(banner.Size(), banner.Size())) {
        return QStringLiteral("the banner is not %1 pixels square").arg(banner.Size());
    }
    return {};
}

QString CheckGif(QByteArrayView input) {
    const auto byteAt = [&input](qsizetype i) {
        return i < input.size() ? uchar(input[i]) : uchar(0);
    };
    const int width = 1 + (byteAt(0) | byteAt(1) << 8) % kLargestGifEdge;
    const int height = 1 + (byteAt(2) | byteAt(3) << 8) % kLargestGifEdge;
    const QByteArrayView pixels = input.size() > 4 ? input.sliced(4) : QByteArrayView("\xff\x10\x20\x30");

    QImage image(width, height, QImage::Format_ARGB32);
    qsizetype k = 0;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            uchar v[4];
            for (uchar& c : v) {
                c = uchar(pixels[k++ % pixels.size()]);
            }
            line[x] = qRgba(v[1], v[2], v[3], v[0]);
        }
    }
    // The composed banner is premultiplied; odd-sized inputs try the straight format too.
    const QImage given = (input.size() % 2 == 0) ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied) : image;

    const QString path = ScratchFolder().filePath(QStringLiteral("out.gif"));
    const FileResult saved = SaveAsGif(given, path);
    if (!saved.Ok()) {
        return QStringLiteral("SaveAsGif failed: ") + saved.error;
    }
    const QImage back(path, "GIF");
    if (back.size() != image.size()) {
        return QStringLiteral("read back as %1 x %2, written %3 x %4")
            .arg(back.width())
            .arg(back.height())
            .arg(width)
            .arg(height);
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int alphaIn = qAlpha(image.pixel(x, y));
            const int alphaOut = qAlpha(back.pixel(x, y));
            if (alphaOut != (alphaIn >= 128 ? 255 : 0)) {
                return QStringLiteral("pixel (%1, %2): alpha %3 written, %4 read back")
                    .arg(x)
                    .arg(y)
                    .arg(alphaIn)
                    .arg(alphaOut);
            }
        }
    }
    return {};
}

QList<FuzzSeed> InjectionSeeds() {
    CodeTexts texts;
    if (!texts.LoadTextResources().Ok()) {
        qFatal("the built-in texts are missing");
    }
    const QByteArray old = QByteArrayLiteral("<!--VornetAdBegin--><div>old</div><!--VornetAdEnd-->");
    const QByteArray link = QByteArrayLiteral("https://example.com/?a=1&b=\"2\"");
    const QByteArray title = QByteArrayLiteral("Caf\xc3\xa9 <sale>");
    const QByteArray custom = QByteArrayLiteral("<p>custom</p>");
    const QByteArray frameAd = QByteArrayLiteral(
        "<script>f.document.write('<html><body>ad</body></html>')</script></body></html><!-- \xe9 -->");
    return {
        {QStringLiteral("sample-page"), InjectionInput(0, link, title, {}, texts.samplePage)},
        {QStringLiteral("old-block-with-custom-code"),
         InjectionInput(4, link, title, custom, "<html><body><p>x</p>\r\n" + old + "<p>custom</p>\r\n</body></html>")},
        {QStringLiteral("static-block-over-old-one"),
         InjectionInput(8 | 4, link, title, custom, "<html><body><p>x</p>" + old + "<p>custom</p></body></html>")},
        {QStringLiteral("upper-case-body"), InjectionInput(1, {}, {}, {}, "<HTML><BODY>text</BODY></HTML>")},
        {QStringLiteral("html-only"), InjectionInput(2, link, {}, {}, "<html>text</Html>")},
        {QStringLiteral("no-tags"), InjectionInput(3, {}, title, {}, "just text")},
        {QStringLiteral("block-before-doctype"),
         InjectionInput(5, link, title, custom, old + "<!DOCTYPE html><html><head></head><body>b</body></html>")},
        {QStringLiteral("two-blocks-and-late-block"),
         InjectionInput(6, {}, {}, {}, "<body>" + old + "a" + old + "b</body>" + old)},
        {QStringLiteral("begin-without-end"),
         InjectionInput(7, {}, {}, {}, "<body><!--VornetAdBegin-->tail <!-- </body> --></body>")},
        {QStringLiteral("marker-joined-by-removal"),
         InjectionInput(0, {}, {}, {}, "<body>x</body><!--Vornet<!--VornetAdBegin-->AdBegin-->")},
        {QStringLiteral("body-in-comment"),
         InjectionInput(0, {}, {}, {}, "<body><!-- </body> --><script>'</body>'</script></body >")},
        {QStringLiteral("fragment-with-block-at-start"),
         InjectionInput(4, {}, {}, custom, old + custom + "<div>footer</div>\n")},
        {QStringLiteral("stray-begin-markers"),
         InjectionInput(0, {}, {}, {},
                        "<body><!-- see <!--VornetAdBegin--> --><a title='<!--VornetAdBegin-->'>a</a>"
                        "<script>s='<!--VornetAdBegin-->'</script><!--VornetAdBegin-->lone</body>")},
        {QStringLiteral("custom-code-with-document"),
         InjectionInput(4, {}, {}, frameAd, "<html><body>x" + old + frameAd + "\n</body></html>")},
        {QStringLiteral("body-end-in-trailing-comment"),
         InjectionInput(0, {}, {}, {}, "<html><body>x</body></html>\n<!-- old footer </body> -->\n")},
        {QStringLiteral("nested-markers"),
         InjectionInput(0, {}, {}, {}, "<body><!--VornetAdBegin--><!--VornetAdBegin-->x<!--VornetAdEnd-->y</body>")},
        {QStringLiteral("custom-code-left-open"),
         InjectionInput(4, {}, {}, "<textarea><!--", "<body><svg><![CDATA[</body>]]></svg>" + old + "</body>")},
        {QStringLiteral("page-ends-inside-comment"), InjectionInput(0, {}, {}, {}, "<p>x</p><!-- unfinished")},
    };
}

QList<FuzzSeed> TemplateSeeds() {
    QImage image(24, 16, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgba(x * 10, y * 15, 90, (x + y) % 5 == 0 ? 0 : 255));
        }
    }
    const QByteArray gif = GifBytes(image);
    // The logical screen and the image descriptor both claim 5000 x 5000.
    QByteArray huge = gif;
    const char edge[2] = {char(5000 & 0xFF), char(5000 >> 8)};
    huge.replace(6, 2, edge, 2).replace(8, 2, edge, 2);
    const qsizetype descriptor = huge.indexOf(',', 13);
    if (descriptor > 0) {
        huge.replace(descriptor + 5, 2, edge, 2).replace(descriptor + 7, 2, edge, 2);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {
        {QStringLiteral("small-gif"), gif},
        {QStringLiteral("truncated-gif"), gif.left(gif.size() / 2)},
        {QStringLiteral("claims-5000-square"), huge},
        {QStringLiteral("png-named-gif"), png},
        {QStringLiteral("header-only"), QByteArrayLiteral("GIF89a")},
    };
}

QList<FuzzSeed> GifSeeds() {
    QList<QRgb> ramp;
    for (int i = 0; i < 256; ++i) {
        ramp.append(qRgba(i, 255 - i, (i * 7) & 0xFF, i));
    }
    QList<QRgb> many;
    for (int i = 0; i < 600; ++i) {
        many.append(qRgba((i * 37) & 0xFF, (i * 91) & 0xFF, (i * 53) & 0xFF, 255));
    }
    return {
        {QStringLiteral("transparent"), GifInput(8, 8, {qRgba(0, 0, 0, 0)})},
        {QStringLiteral("opaque-black"), GifInput(5, 3, {qRgba(0, 0, 0, 255)})},
        {QStringLiteral("alpha-edge"), GifInput(2, 2, {qRgba(9, 9, 9, 127), qRgba(9, 9, 9, 128)})},
        {QStringLiteral("alpha-ramp"), GifInput(16, 16, ramp)},
        {QStringLiteral("many-colours"), GifInput(30, 20, many)},
        {QStringLiteral("one-pixel"), GifInput(0, 0, {qRgba(200, 100, 50, 255)})},
    };
}
