// A generated page in a real browser engine, for each page option: the banner must sit flush in
// its corner at W x W, only its diagonal strip must follow the link, in the chosen window, and each
// option must do what it promises there, also under a Content-Security-Policy that allows only the
// site's own scripts and style sheets. Run at a device pixel ratio of 1 and, as a second CTest
// entry with QT_SCALE_FACTOR=2, of 2. And every statement of the help page that can be checked,
// against what the program does.
#include "FakePickers.h"
#include "OptionsPage.h"
#include "OutputPage.h"
#include "OutputRuns.h"
#include "TestFiles.h"
#include "design/DesignFile.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(PageOptions)

namespace {

constexpr int kW = 200;
constexpr int kScroll = 500;
const QString kUnderLink = QStringLiteral("https://example.com/under");

// A page whose own link lies under the whole banner, and which is tall enough to scroll; its
// styles are a file of the site, so that the strictest policy below leaves them in force.
const QByteArray kPage = "<html><head>%1<link rel='stylesheet' href='page.css'></head><body>"
                         "<a class='under' href='https://example.com/under'>under</a><div class='tall'></div>"
                         "</body></html>";
const QByteArray kPageStyle = "body{margin:0}a.under{position:absolute;left:0;top:0;width:100%;height:400px}"
                              "div.tall{height:3000px}";

// The page's policy: none, or only the site's own scripts and style sheets, with as many of the
// sources the code block asks for ("script-src 'sha256-…'", then "style-src …") as the value says.
enum Policy { kNoPolicy = -1, kStrict = 0, kScriptHash = 1, kAllSources = 2 };

QByteArray PolicyText(Policy policy, const QByteArrayList& sources) {
    QByteArray text = policy == kNoPolicy ? QByteArray() : "script-src 'self'; style-src 'self'";
    for (const QByteArray& source : sources.first(std::clamp<qsizetype>(policy, 0, sources.size()))) {
        const QByteArray directive = source.left(source.indexOf(' ')) + " 'self'";
        text.replace(directive, QByteArray(directive + source.mid(source.indexOf(' '))));
    }
    return text;
}

// A followed link: where it led and whether it asked for a new window.
struct Click {
    QUrl url;
    bool newWindow = false;
};

// Records link clicks instead of following them; a page for a new window records its first load.
class RecordingPage : public QWebEnginePage {
public:
    explicit RecordingPage(QList<Click>* clicks, bool isNewWindow = false)
        : m_clicks(clicks)
        , m_isNewWindow(isNewWindow) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (m_isNewWindow || type == NavigationTypeLinkClicked) {
            m_clicks->append({url, m_isNewWindow});
            return false;
        }
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

    QWebEnginePage* createWindow(WebWindowType) override {
        m_windows.push_back(std::make_unique<RecordingPage>(m_clicks, true));
        return m_windows.back().get();
    }

private:
    QList<Click>* m_clicks;
    bool m_isNewWindow;
    std::vector<std::unique_ptr<RecordingPage>> m_windows;
};

// A banner whose corner half is opaque and whose other half is transparent, as composition makes
// it, at `scale` times the size.
QImage CornerBanner(BannerSide side, int scale) {
    const int w = kW * scale;
    QImage image(w, w, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 60, 200));
    painter.drawPolygon(
        QPolygon({QPoint(0, 0), QPoint(w, 0), side == BannerSide::Right ? QPoint(w, w) : QPoint(0, w)}));
    return image;
}

QVariant Evaluate(QWebEnginePage* page, const QString& script) {
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000)) {
        qWarning("script did not answer: %s", qPrintable(script));
    }
    return result;
}

// The image's box in the viewport after scrolling the page down by `scroll`, with what it shows.
QVariantMap ImageBox(QWebEnginePage* page, int scroll) {
    return Evaluate(page, QStringLiteral("(function(){window.scrollTo(0,%1);var i=document.images[0];"
                                         "var r=i.getBoundingClientRect();return {src:i.currentSrc,left:r.left,"
                                         "top:r.top,width:r.width,height:r.height,ratio:window.devicePixelRatio,"
                                         "viewport:document.documentElement.clientWidth};})()")
                              .arg(scroll))
        .toMap();
}

// The page printed as a PDF holds an image exactly when the banner is printed: its text is drawn
// with fonts.
bool PrintsAnImage(QWebEnginePage* page) {
    QByteArray pdf;
    bool done = false;
    page->printToPdf([&](const QByteArray& bytes) {
        pdf = bytes;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 20000) || !pdf.startsWith("%PDF")) {
        qWarning("no PDF");
        return false;
    }
    return pdf.contains("/Subtype /Image");
}

// The test page in `dir` under `policy` (none when empty), with the advert put in by a generate
// run of `texts`; empty when something could not be written.
QString AdvertPage(const QTemporaryDir& dir, CodeTexts& texts, const AdSettings& settings, const QByteArray& policy) {
    const QString path = dir.filePath(QStringLiteral("page.html"));
    const QByteArray meta =
        policy.isEmpty() ? QByteArray() : "<meta http-equiv=\"Content-Security-Policy\" content=\"" + policy + "\">";
    if (!WriteAll(path, QByteArray(kPage).replace("%1", meta)) ||
        !WriteAll(dir.filePath(QStringLiteral("page.css")), kPageStyle)) {
        return {};
    }
    OutputTarget target;
    target.createNew = false;
    target.pages = {path};
    const RunReport report =
        Generate(texts, CornerBanner(settings.side, 1), target, settings, CornerBanner(settings.side, 2));
    return report.Ok() ? path : QString();
}

// Shows `page` in `view`, loads the file `path` into it and waits until it is loaded, images and
// style sheets included.
bool ShowPage(QWebEngineView& view, QWebEnginePage& page, const QString& path) {
    view.setPage(&page);
    view.resize(800, 600);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) {
        return false;
    }
    QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
    page.load(QUrl::fromLocalFile(path));
    return loaded.wait(20000) && loaded.constFirst().constFirst().toBool();
}

}  // namespace

Q_DECLARE_METATYPE(Policy)

class TestBannerInBrowser : public QObject {
    Q_OBJECT

private slots:
    void optionsInTheBrowser_data() {
        QTest::addColumn<BannerSide>("side");
        QTest::addColumn<bool>("newWindow");
        QTest::addColumn<PageOptions>("options");
        QTest::addColumn<Policy>("policy");
        const PageOptions none;
        const PageOptions through{true, false, false, false, false};
        const auto row = [](const char* name, BannerSide side, bool newWindow, PageOptions options,
                            Policy policy = kNoPolicy) {
            QTest::newRow(name) << side << newWindow << options << policy;
        };
        row("right, new window", BannerSide::Right, true, none);
        row("right, same window", BannerSide::Right, false, none);
        row("left, new window", BannerSide::Left, true, none);
        row("left, same window", BannerSide::Left, false, none);
        row("click-through, right, same window", BannerSide::Right, false, through);
        row("click-through, left, new window", BannerSide::Left, true, through);
        row("hidpi", BannerSide::Right, true, {false, true, false, false, false});
        row("fixed", BannerSide::Right, true, {false, false, true, false, false});
        row("no-print", BannerSide::Left, true, {false, false, false, true, false});
        row("all, left, same window", BannerSide::Left, false, {true, true, true, true, false});
        // Under a policy that refuses inline scripts and styles: the script's block shows nothing,
        // and with its script allowed alone the banner is not placed; the static block shows.
        row("policy: script block, nothing shown", BannerSide::Right, true, none, kStrict);
        row("policy: script allowed by hash, not placed", BannerSide::Right, true, none, kScriptHash);
        row("policy: script and style allowed by hash", BannerSide::Left, false, none, kAllSources);
        row("policy: static", BannerSide::Right, true, {false, false, false, false, true}, kStrict);
        row("policy: static, click-through", BannerSide::Right, false, {true, false, false, false, true}, kStrict);
        row("policy: static, hidpi", BannerSide::Left, true, {false, true, false, false, true}, kStrict);
        row("policy: static, fixed", BannerSide::Right, true, {false, false, true, false, true}, kStrict);
        row("policy: static, no-print", BannerSide::Left, true, {false, false, false, true, true}, kStrict);
        row("policy: static, all, left, same window", BannerSide::Left, false, {true, true, true, true, true}, kStrict);
    }

    void optionsInTheBrowser() {
        QFETCH(BannerSide, side);
        QFETCH(bool, newWindow);
        QFETCH(PageOptions, options);
        QFETCH(Policy, policy);
        // Banner pixels: one in the strip (near either end, by the window), one in the transparent half.
        const bool right = side == BannerSide::Right;
        const QPoint inStrip =
            right ? (newWindow ? QPoint(120, 100) : QPoint(185, 170)) : (newWindow ? QPoint(100, 80) : QPoint(20, 160));
        const QPoint transparent = right ? QPoint(40, 160) : QPoint(150, 120);

        AdSettings settings;
        settings.bannerSize = kW;
        settings.side = side;
        settings.newWindow = newWindow;
        settings.linkUrl = QStringLiteral("https://example.com/landing?from=banner&x='1'");
        settings.options = options;
        CodeTexts texts;
        QVERIFY(texts.LoadTextResources().Ok());
        texts.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", settings);
        QCOMPARE(texts.cspSources.isEmpty(), options.staticMarkup);

        QTemporaryDir dir;
        const QString pagePath = AdvertPage(dir, texts, settings, PolicyText(policy, texts.cspSources));
        QVERIFY(!pagePath.isEmpty());
        QList<Click> clicks;
        QWebEngineView view;
        RecordingPage page(&clicks);
        QVERIFY(ShowPage(view, page, pagePath));
        // The page's own style sheet holds under the policy, so 'self' matches the site's files.
        QCOMPARE(Evaluate(&page, QStringLiteral("document.querySelector('div.tall').offsetHeight")).toInt(), 3000);
        if (policy == kStrict && !options.staticMarkup) {
            QCOMPARE(Evaluate(&page, QStringLiteral("document.images.length")).toInt(), 0);
            return;
        }

        // In its corner at W x W, showing the 2x image where the screen has two device pixels a pixel.
        const QVariantMap box = ImageBox(&page, 0);
        if (policy == kScriptHash) {
            // Its style sheet is imported by an inline style element, which the policy refuses.
            QVERIFY(box.value(QStringLiteral("top")).toDouble() > 0);
            return;
        }
        const int viewport = box.value(QStringLiteral("viewport")).toInt();
        const int left = side == BannerSide::Left ? 0 : viewport - kW;
        QCOMPARE(box.value(QStringLiteral("left")).toDouble(), double(left));
        QCOMPARE(box.value(QStringLiteral("top")).toDouble(), 0.0);
        QCOMPARE(box.value(QStringLiteral("width")).toDouble(), double(kW));
        QCOMPARE(box.value(QStringLiteral("height")).toDouble(), double(kW));
        const double ratio = box.value(QStringLiteral("ratio")).toDouble();
        QCOMPARE(ratio, qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                            ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                            : 1.0);
        const bool twice = options.hidpi && ratio >= 2.0;
        QVERIFY2(
            box.value(QStringLiteral("src")).toString().endsWith(twice ? u"/VornetAdMap@2x.gif" : u"/VornetAdMap.gif"),
            qPrintable(box.value(QStringLiteral("src")).toString()));

        // A click in the transparent half reaches the page's own link only with click-through; a
        // click in the strip follows the banner's link into its window. Input is handled in
        // order, so the clicks are recorded in the order made.
        QWidget* input = view.focusProxy();
        QVERIFY(input);
        QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(left, 0) + transparent);
        QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(left, 0) + inStrip);
        const qsizetype expected = options.clickThrough ? 2 : 1;
        QTRY_VERIFY_WITH_TIMEOUT(clicks.size() >= expected, 10000);
        QTest::qWait(500);
        QCOMPARE(clicks.size(), expected);
        if (options.clickThrough) {
            QCOMPARE(clicks[0].url.toString(), kUnderLink);
            QVERIFY(!clicks[0].newWindow);
        }
        QCOMPARE(QUrl::fromPercentEncoding(clicks.constLast().url.toEncoded()), settings.linkUrl);
        QCOMPARE(clicks.constLast().newWindow, newWindow);

        // Fixed: where it was after the page scrolls; otherwise it scrolls away with the page.
        const QVariantMap scrolled = ImageBox(&page, kScroll);
        QCOMPARE(scrolled.value(QStringLiteral("left")).toDouble(), double(left));
        QCOMPARE(scrolled.value(QStringLiteral("top")).toDouble(), options.fixed ? 0.0 : -double(kScroll));

        QCOMPARE(PrintsAnImage(&page), !options.noPrint);
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
        const QVariantList claims =
            Evaluate(&help,
                     QStringLiteral("Array.from(document.querySelectorAll('[data-check]'), e => [e.dataset.check, "
                                    "e.dataset.options || '', e.dataset.value || e.textContent])"))
                .toList();
        QVERIFY(claims.size() >= 20);
        QStringList files;
        for (const QVariant& claim : claims) {
            const QStringList c = claim.toStringList();
            QByteArray design = R"({"format": "vornetad-design", "version": 1)";
            for (const QString& name : c[1].split(u' ', Qt::SkipEmptyParts)) {
                design += ", \"" + name.toUtf8() + "\": true";
            }
            const DesignRead read = ParseDesign(QByteArray(design + '}'));
            QVERIFY2(read.status.Ok(), qPrintable(read.status.error));
            const PageOptions options = read.design.options;
            const QString value = c[2].simplified();
            QTest::addRow("%s: %s", qPrintable(c[0]), qPrintable(value)) << c[0] << options << value;
            files.append(c[0] == u"file" ? QStringList{value} : QStringList());
        }
        files.sort();
        QTest::newRow("every file a run writes is named")
            << u"files"_qs << PageOptions{true, true, true, true, true} << files.join(u' ');
    }

    void helpPage_claimsHold() {
        QFETCH(QString, kind);
        QFETCH(PageOptions, options);
        QFETCH(QString, value);
        const QByteArray claim = value.toUtf8();
        if (kind == u"label") {
            FakePickers pickers;
            OptionsPage optionsPage;
            OutputPage outputPage(pickers);
            QStringList labels;
            for (const QAbstractButton* button :
                 optionsPage.findChildren<QAbstractButton*>() + outputPage.findChildren<QAbstractButton*>()) {
                labels.append(button->text().trimmed());
            }
            QVERIFY2(labels.contains(value), qPrintable(labels.join(u", ")));
            return;
        }
        if (kind == u"cli") {
            QProcess cli;
            cli.start(QStringLiteral(VORNET_BINARY_DIR "/bin/vornetad-cli"), {QStringLiteral("--help")});
            QVERIFY(cli.waitForFinished(30000));
            QVERIFY(cli.readAllStandardOutput().contains(claim));
            return;
        }

        AdSettings settings;
        settings.bannerSize = kW;
        settings.options = options;
        CodeTexts texts;
        QVERIFY(texts.LoadTextResources().Ok());
        QTemporaryDir dir;
        const QString pagePath = AdvertPage(dir, texts, settings, kind == u"policy" ? claim : QByteArray());
        QVERIFY(!pagePath.isEmpty());
        const QByteArray& block = texts.codeBlock;
        if (kind == u"file") {
            QVERIFY(QFile::exists(dir.filePath(value)));
        } else if (kind == u"files") {
            QStringList written = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
            written.removeAll(u"page.html"_qs);
            written.removeAll(u"page.css"_qs);
            QCOMPARE(written.join(u' '), value);
        } else if (kind == u"block-start") {
            QVERIFY(block.startsWith(claim));
        } else if (kind == u"block-end") {
            QVERIFY(block.endsWith(claim));
        } else if (kind == u"after-begin") {
            QVERIFY(block.sliced(qstrlen(kBeginMarker)).startsWith(claim));
        } else if (kind == u"before") {
            QVERIFY(ReadAll(pagePath).contains(QByteArray(block + claim)));
        } else if (kind == u"csp-source") {
            // The lines as the page shows them, with an ellipsis for each hash.
            QStringList shown;
            for (const QByteArray& line : std::as_const(texts.cspSources)) {
                shown.append(QString::fromLatin1(line).replace(QRegularExpression(u"[A-Za-z0-9+/]{43}="_qs), u"…"_qs));
            }
            QVERIFY2(shown.contains(value), qPrintable(shown.join(u'\n')));
        } else if (kind == u"outside-strip" || kind == u"policy") {
            QWebEngineView view;
            QWebEnginePage page;
            QVERIFY(ShowPage(view, page, pagePath));
            const QVariantMap box = ImageBox(&page, 0);
            const int left = box.value(QStringLiteral("viewport")).toInt() - kW;
            QCOMPARE(box.value(QStringLiteral("left")).toDouble(), double(left));
            QCOMPARE(box.value(QStringLiteral("top")).toDouble(), 0.0);
            if (kind == u"outside-strip") {
                // A point of the banner's transparent half: which of the two takes a click there.
                QCOMPARE(Evaluate(&page, QStringLiteral("document.elementFromPoint(%1, 160).closest('div.quentavornet')"
                                                        " ? 'image' : 'page'")
                                             .arg(left + 40))
                             .toString(),
                         value);
            }
            view.setPage(nullptr);
        } else {
            QFAIL("a kind of statement this test cannot check");
        }
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestBannerInBrowser test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_BannerInBrowser.moc"
