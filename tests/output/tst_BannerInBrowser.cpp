// A generated page in a real browser engine, for each page option: the banner must sit flush in
// its corner at W x W, only its diagonal strip must follow the link, in the chosen window, and each
// option must do what it promises there, also under a Content-Security-Policy that allows only the
// site's own scripts and style sheets. Run at a device pixel ratio of 1 and, as a second CTest
// entry with QT_SCALE_FACTOR=2, of 2. And every statement of the help page that can be checked,
// against what the program does.
#include "DataTable.h"
#include "FakePickers.h"
#include "GoldenSettings.h"
#include "design/DesignFile.h"
#include "output/OutputRuns.h"
#include "wizard/OptionsPage.h"
#include "wizard/OutputPage.h"

#include <QAbstractButton>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

constexpr int kW = 200;
constexpr int kScroll = 500;
// The strictest policy of optionsInTheBrowser: only the site's own scripts and style sheets.
const QString kStrictPolicy = QStringLiteral("script-src 'self'; style-src 'self'");

// Records link clicks instead of following them, each as where it led and "new" or "same" for the
// window; a page for a new window records its first load.
class RecordingPage : public QWebEnginePage {
public:
    explicit RecordingPage(QStringList* clicks, QObject* newWindowOf = nullptr)
        : QWebEnginePage(newWindowOf)
        , m_clicks(clicks) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (parent() != nullptr || type == NavigationTypeLinkClicked) {
            m_clicks->append(QUrl::fromPercentEncoding(url.toEncoded()) + (parent() != nullptr ? u" new" : u" same"));
            return false;
        }
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }
    QWebEnginePage* createWindow(WebWindowType) override { return new RecordingPage(m_clicks, this); }

private:
    QStringList* m_clicks;
};

// A banner whose ribbon crosses the diagonal, as the shipped templates' do: drawn from 20 pixels
// below it to 60 toward the corner, transparent elsewhere, at `scale` times the size.
QImage RibbonBanner(BannerSide side, int scale) {
    const int w = kW * scale;
    QImage image(w, w, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 60, 200));
    if (side == BannerSide::Left) {
        painter.setTransform(QTransform(-1, 0, 0, 1, w, 0));
    }
    const int a = 60 * scale;
    const int b = 20 * scale;
    painter.drawPolygon(QPolygon({{0, 0}, {a, 0}, {w, w - a}, {w, w}, {w - b, w}, {0, b}}));
    return image;
}

QVariant Evaluate(QWebEnginePage* page, const QString& script) {
    QVariant result = QStringLiteral("no answer");
    page->runJavaScript(script, [&](const QVariant& value) { result = value; });
    return QTest::qWaitFor([&] { return result != QStringLiteral("no answer"); }, 10000) ? result : QVariant();
}

// The image's box in the viewport after scrolling the page down by `scroll`, as "left top width
// height gap ratio file": its gap to the viewport's edge on its side, the screen's device pixels a
// pixel, and the file it shows.
QStringList ImageBox(QWebEnginePage* page, int scroll, bool right) {
    return Evaluate(page,
                    QStringLiteral(
                        "(function(){window.scrollTo(0,%1);var i=document.images[0];"
                        "var r=i.getBoundingClientRect(),w=document.documentElement.clientWidth;"
                        "return [r.left,r.top,r.width,r.height,%2?w-r.right:r.left,"
                        "window.devicePixelRatio,i.currentSrc.split('/').pop(),"
                        "getComputedStyle(i).opacity,getComputedStyle(i).backgroundColor.replace(/ /g,''),"
                        "getComputedStyle(i).clipPath.replace(/ /g,''),getComputedStyle(i).visibility].join(' ');})()")
                        .arg(scroll)
                        .arg(right))
        .toString()
        .split(u' ');
}

// A page in `dir` under `policy` (none when empty) whose own link lies under the whole banner, tall
// enough to scroll, its styles a file of the site (so that the strictest policy leaves them in
// force), with the advert put in by a generate run of `texts`; empty when something failed. Its
// body lays out its children in a grid with gaps, its links are coloured and marked (and those that
// open a window kept within half their box), and its images framed on a grey ground, rounded, half
// as wide as their box and faded in by its script, as many pages' are (or hidden, as some hide every
// image for a print or a small screen).
QString AdvertPage(const QTemporaryDir& dir, const CodeTexts& texts, const AdSettings& settings,
                   const QByteArray& policy) {
    const QString path = dir.filePath(u"page.html"_qs);
    const QByteArray meta =
        policy.isEmpty() ? QByteArray() : "<meta http-equiv=\"Content-Security-Policy\" content=\"" + policy + "\">";
    OutputTarget target;
    target.createNew = false;
    target.pages = {path};
    const bool written =
        WriteAll(path, "<html><head>" + meta +
                           "<link rel='stylesheet' href='page.css'></head><body><a class='under' "
                           "href='https://example.com/under'>under</a><div class='tall'></div>"
                           "</body></html>") &&
        WriteAll(dir.filePath(u"page.css"_qs), "body{margin:0;display:grid;row-gap:24px}a.under{position:absolute;"
                                               "left:0;top:0;width:100%;height:400px}div.tall{height:3000px}"
                                               "a[href]{background:#ff0}a[target]::after{content:'x'}"
                                               "a[target]{max-width:50%;max-height:50%}"
                                               "img{border:4px solid #333;padding:6px;width:50%;opacity:0;"
                                               "background:#ccc;clip-path:circle(40%);visibility:hidden}") &&
        Generate(texts, RibbonBanner(settings.side, 1), target, settings, RibbonBanner(settings.side, 2)).Ok();
    return written ? path : QString();
}

}  // namespace

class tst_BannerInBrowser : public QObject {
    Q_OBJECT

public:
    // The browser engine shares its GL contexts with the application's, set before it starts.
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    // browser.tsv
    void optionsInTheBrowser_data() {
        QTest::addColumn<AdSettings>("settings");
        QTest::addColumn<QByteArray>("policy");
        for (const QByteArrayList& row : DataRows(QFINDTESTDATA("browser.tsv"))) {
            AdSettings settings;
            settings.bannerSize = kW;
            settings.linkUrl = QStringLiteral("https://example.com/landing?from=banner&x='1'");
            for (const QByteArray& word : row[1].split(' ')) {
                if (!word.isEmpty()) {
                    ApplySetting(settings, word);
                }
            }
            QTest::newRow(row[0].constData()) << settings << row.value(2).trimmed();
        }
    }

    void optionsInTheBrowser() {
        QFETCH(AdSettings, settings);
        QFETCH(QByteArray, policy);
        const PageOptions& options = settings.options;
        const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
        QVERIFY(texts.Ok());
        const BuiltCode code = texts.value.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", settings);
        QCOMPARE(code.cspSources.value(0).startsWith("script-src"), !options.staticMarkup);
        QByteArray policyText = policy.isEmpty()  ? QByteArray()
                                : policy == "all" ? "default-src 'none'; " + code.cspSources.join("; ")
                                                  : kStrictPolicy.toUtf8();
        for (const QByteArray& source : code.cspSources.first(std::min(policy.toInt(), int(code.cspSources.size())))) {
            const QByteArray directive = source.left(source.indexOf(' ')) + " 'self'";
            policyText.replace(directive, QByteArray(directive + source.mid(source.indexOf(' '))));
        }
        QTemporaryDir dir;
        const QString pagePath = AdvertPage(dir, texts.value, settings, policyText);
        QVERIFY(!pagePath.isEmpty());
        QStringList clicks;
        QWebEngineView view;
        RecordingPage page(&clicks);
        view.setPage(&page);
        view.resize(800, 600);
        view.show();
        QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
        page.load(QUrl::fromLocalFile(pagePath));
        QVERIFY(QTest::qWaitForWindowExposed(&view) && loaded.wait(20000) && loaded.constFirst().constFirst().toBool());
        // The page's own style sheet holds under the policy, so 'self' matches the site's files.
        QCOMPARE(Evaluate(&page, u"document.querySelector('div.tall').offsetHeight"_qs).toInt(), 3000);
        if (policy == "0" && !options.staticMarkup) {
            QCOMPARE(Evaluate(&page, u"document.images.length"_qs).toInt(), 0);
            return;
        }
        // In its corner at W x W, showing the 2x image where the screen has two device pixels a pixel;
        // not placed when its style sheet, imported by an inline style element, is refused.
        const bool right = settings.side == BannerSide::Right;
        const QStringList box = ImageBox(&page, 0, right);
        QVERIFY(box.size() == 11);
        if (policy == "1") {
            QVERIFY(box[1].toDouble() > 0);
            return;
        }
        const QString ratio = qEnvironmentVariable("QT_SCALE_FACTOR", u"1"_qs);
        const QString file = options.hidpi && ratio.toDouble() >= 2 ? u"VornetAdMap@2x.gif"_qs : u"VornetAdMap.gif"_qs;
        const auto expected = [&](int top) {
            return u"%1 %2 %2 0 %3 %4 1 rgba(0,0,0,0) none visible"_qs.arg(top).arg(kW).arg(ratio, file);
        };
        QCOMPARE(box.mid(1).join(u' '), expected(0));
        const int left = box[0].toInt();
        // The page keeps its layout (the image map the script writes after the box takes no place
        // in the grid), and its link rules neither colour nor mark the transparent link.
        QCOMPARE(Evaluate(&page, u"document.body.scrollHeight"_qs).toInt(), 3000);
        if (options.clickThrough) {
            QCOMPARE(Evaluate(&page, u"(function(){var a=document.querySelector('a.quentavornet-link');return "
                                     u"getComputedStyle(a).backgroundColor+' '+getComputedStyle(a,'::after')"
                                     u".content})()"_qs)
                         .toString(),
                     u"rgba(0, 0, 0, 0) none"_qs);
        }
        // Keyboard focus on the link shows, though the clip-path cuts away the browser's focus ring.
        QWidget* input = view.focusProxy();
        QVERIFY(input);
        if (options.clickThrough) {
            const QImage unfocused = view.grab().toImage();
            for (int i = 0; i < 3 && Evaluate(&page, u"document.activeElement.className"_qs) != u"quentavornet-link"_qs;
                 ++i) {
                QTest::keyClick(input, Qt::Key_Tab);
            }
            const auto changed = [&] {
                const QImage focused = view.grab().toImage();
                int count = 0;
                for (int y = 0; y < focused.height(); ++y) {
                    for (int x = 0; x < focused.width(); ++x) {
                        count += focused.pixel(x, y) != unfocused.pixel(x, y);
                    }
                }
                return count;
            };
            QTRY_VERIFY_WITH_TIMEOUT(changed() > 1000, 5000);
        }

        // A click in the transparent half reaches the page's own link only with click-through; a
        // click in the strip (near either end, by the window) follows the banner's link into its
        // window, and with click-through so does one on the ribbon 12 pixels across the diagonal,
        // which the image map leaves out. Input is handled in order, so the clicks are recorded in
        // the order made.
        const QPoint inStrip = right ? (settings.newWindow ? QPoint(120, 100) : QPoint(185, 170))
                                     : (settings.newWindow ? QPoint(100, 80) : QPoint(20, 160));
        QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(left, 0) + (right ? QPoint(40, 160) : QPoint(150, 120)));
        QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(left, 0) + inStrip);
        QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(left, 0) + QPoint(100, 112));
        const QString advert = settings.linkUrl + (settings.newWindow ? u" new" : u" same");
        const QStringList followed = options.clickThrough
                                         ? QStringList{u"https://example.com/under same"_qs, advert, advert}
                                         : QStringList{advert};
        QTRY_VERIFY_WITH_TIMEOUT(clicks.size() >= followed.size(), 10000);
        QTest::qWait(500);
        QCOMPARE(clicks, followed);

        // Fixed: where it was after the page scrolls; otherwise it scrolls away with the page.
        QCOMPARE(ImageBox(&page, kScroll, right).mid(1).join(u' '), expected(options.fixed ? 0 : -kScroll));

        // Printed as a PDF, the page holds an image exactly when the banner is printed (its text is
        // drawn with fonts), and the page is tall enough for several sheets, of which one, the first,
        // draws it (names it among its resources), fixed in the window's corner or not.
        QByteArray pdf;
        page.printToPdf([&](const QByteArray& bytes) { pdf = bytes; });
        QTRY_VERIFY_WITH_TIMEOUT(pdf.startsWith("%PDF"), 20000);
        QCOMPARE(pdf.contains("/Subtype /Image"), !options.noPrint);
        QVERIFY(pdf.count("/Type /Page\n") > 1);
        QCOMPARE(pdf.count("/XObject <<"), options.noPrint ? 0 : 1);
        // The page's own link under the banner's transparent half is a link in the PDF; the banner's,
        // whose clip-path the PDF does not keep, is none.
        QVERIFY(pdf.contains("/URI (https://example.com/under)"));
        QVERIFY(!pdf.contains(settings.linkUrl.section(u'?', 0, 0).toUtf8()));
        // Its box hidden by the page (for a print, for a small screen), the banner is hidden with it.
        QCOMPARE(Evaluate(&page, u"document.querySelector('div.quentavornet').style.visibility='hidden';"
                                 u"getComputedStyle(document.images[0]).visibility"_qs)
                     .toString(),
                 u"hidden"_qs);
        view.setPage(nullptr);
    }

    // Each statement of the help page marked with data-check, against what the program does: the
    // attribute names what kind of statement it is, data-options the page options it is made for
    // (the design file's names), and data-value what it says where its text is prose.
    void helpPage_claimsHold_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<PageOptions>("options");
        QTest::addColumn<QString>("value");
        QWebEnginePage help;
        QSignalSpy loaded(&help, &QWebEnginePage::loadFinished);
        help.load(QUrl::fromLocalFile(QStringLiteral(VORNET_SOURCE_DIR "/data/help/index.html")));
        QVERIFY(loaded.wait(20000));
        // Each as its kind, a design file with its options on, and what it says; then that every file a
        // run with all options writes is named.
        const QVariantList claims =
            Evaluate(&help,
                     u"(function(){var c=Array.from(document.querySelectorAll('[data-check]'),e=>[e.dataset.check,"
                     u"e.dataset.options||'',(e.dataset.value||e.textContent).replace(/\\s+/g,' ').trim()]);"
                     u"c.push(['files','clickThrough hidpi fixed noPrint staticMarkup',c.filter(x=>x[0]=='file')"
                     u".map(x=>x[2]).sort().join(' ')]);return c.map(x=>[x[0],JSON.stringify(Object.assign("
                     u"{format:'vornetad-design',version:1},Object.fromEntries(x[1].split(' ').filter(n=>n)"
                     u".map(n=>[n,true])))),x[2]]);})()"_qs)
                .toList();
        QVERIFY(claims.size() >= 20);
        for (const QVariant& claim : claims) {
            const QStringList c = claim.toStringList();
            const DesignRead read = ParseDesign(c[1].toUtf8());
            QVERIFY2(read.status.Ok(), qPrintable(read.status.error));
            QTest::addRow("%s: %s", qPrintable(c[0]), qPrintable(c[2])) << c[0] << read.design.options << c[2];
        }
    }

    void helpPage_claimsHold() {
        QFETCH(QString, kind);
        QFETCH(PageOptions, options);
        QFETCH(QString, value);
        const QByteArray claim = value.toUtf8();
        AdSettings settings;
        settings.options = options;
        const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
        QVERIFY(texts.Ok());
        QTemporaryDir dir;
        const QString pagePath = AdvertPage(dir, texts.value, settings, {});
        QVERIFY(!pagePath.isEmpty());
        const BuiltCode code = texts.value.BuildCode(kAdvertStyleName, kAdvertImageName, settings);
        const QByteArray& block = code.codeBlock;
        QStringList shown;  // what the program shows for the kind of statement, where the statement is one of them
        if (kind == u"label") {
            FakePickers pickers;
            OptionsPage optionsPage;
            OutputPage outputPage(pickers);
            for (const QAbstractButton* button :
                 optionsPage.findChildren<QAbstractButton*>() + outputPage.findChildren<QAbstractButton*>()) {
                shown.append(button->text().trimmed());
            }
        } else if (kind == u"cli") {
            QProcess cli;
            cli.start(QStringLiteral(VORNET_BINARY_DIR "/bin/vornetad-cli"), {u"--help"_qs});
            QVERIFY(cli.waitForFinished(30000));
            shown.append(cli.readAllStandardOutput().contains(claim) ? value : u"--help, without it"_qs);
        } else if (kind == u"file" || kind == u"files") {
            shown = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
            shown.removeAll(u"page.html"_qs);
            shown.removeAll(u"page.css"_qs);
            shown.append(shown.join(u' '));
        } else if (kind == u"csp-source") {
            // The lines with an ellipsis for each hash, as the help page shows them.
            for (const QByteArray& line : code.cspSources) {
                shown.append(QString::fromLatin1(line).replace(QRegularExpression(u"[A-Za-z0-9+/]{43}="_qs), u"…"_qs));
            }
        } else if (kind == u"outside-strip" || kind == u"policy") {
            // What optionsInTheBrowser finds where the transparent half is clicked, and the policy
            // under which the static block shows.
            shown.append(kind == u"policy"      ? (options.staticMarkup ? kStrictPolicy : QString())
                         : options.clickThrough ? u"page"_qs
                                                : u"image"_qs);
        } else {
            const QByteArray page = ReadAll(pagePath);
            const QByteArray text = kind == u"block-start"   ? block.left(claim.size())
                                    : kind == u"block-end"   ? block.right(claim.size())
                                    : kind == u"after-begin" ? block.mid(qstrlen(kBeginMarker), claim.size())
                                    : kind == u"before" ? page.mid(page.indexOf(block) + block.size(), claim.size())
                                                        : QByteArray("a kind of statement this test cannot check");
            shown.append(QString::fromUtf8(text));
        }
        QVERIFY2(shown.contains(value), qPrintable(shown.join(u'\n')));
    }
};

QTEST_MAIN(tst_BannerInBrowser)

#include "tst_BannerInBrowser.moc"
