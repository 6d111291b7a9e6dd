// A generated page in a real browser engine, for each page option: the banner must sit flush in
// its corner at W x W, only its diagonal strip must follow the link, in the chosen window, and each
// option must do what it promises there, also under a Content-Security-Policy that allows only the
// site's own scripts and style sheets. Run at a device pixel ratio of 1 and, as a second CTest
// entry with QT_SCALE_FACTOR=2, of 2.
#include "OutputRuns.h"
#include "TestFiles.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

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

// The page's policy: none, or only the site's own scripts and style sheets, or that with sources
// the code block needs added: the script's alone, or all it asks for.
enum class Policy { None, Strict, ScriptHash, AllSources };

// The policy's meta element for a block that asks for `sources` ("script-src 'sha256-…'", …).
QByteArray PolicyElement(Policy policy, const QByteArrayList& sources) {
    if (policy == Policy::None) {
        return {};
    }
    QByteArray script = "script-src 'self'";
    QByteArray style = "style-src 'self'";
    for (const QByteArray& source : sources) {
        const QByteArray hash = source.mid(source.indexOf(' '));
        if (source.startsWith("script-src ") && policy != Policy::Strict) {
            script += hash;
        } else if (source.startsWith("style-src ") && policy == Policy::AllSources) {
            style += hash;
        }
    }
    return "<meta http-equiv=\"Content-Security-Policy\" content=\"" + script + "; " + style + "\">";
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
        // Banner pixels: one inside the strip, one in the transparent half.
        QTest::addColumn<QPoint>("inStrip");
        QTest::addColumn<QPoint>("transparent");
        const PageOptions none;
        const PageOptions through{true, false, false, false, false};
        const auto row = [](const char* name, BannerSide side, bool newWindow, PageOptions options,
                            Policy policy = Policy::None) {
            const bool right = side == BannerSide::Right;
            const QPoint inStrip = right ? (newWindow ? QPoint(120, 100) : QPoint(185, 170))
                                         : (newWindow ? QPoint(100, 80) : QPoint(20, 160));
            const QPoint transparent = right ? QPoint(40, 160) : QPoint(150, 120);
            QTest::newRow(name) << side << newWindow << options << policy << inStrip << transparent;
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
        row("policy: script block, nothing shown", BannerSide::Right, true, none, Policy::Strict);
        row("policy: script allowed by hash, not placed", BannerSide::Right, true, none, Policy::ScriptHash);
        row("policy: script and style allowed by hash", BannerSide::Left, false, none, Policy::AllSources);
        row("policy: static", BannerSide::Right, true, {false, false, false, false, true}, Policy::Strict);
        row("policy: static, click-through", BannerSide::Right, false, {true, false, false, false, true},
            Policy::Strict);
        row("policy: static, hidpi", BannerSide::Left, true, {false, true, false, false, true}, Policy::Strict);
        row("policy: static, fixed", BannerSide::Right, true, {false, false, true, false, true}, Policy::Strict);
        row("policy: static, no-print", BannerSide::Left, true, {false, false, false, true, true}, Policy::Strict);
        row("policy: static, all, left, same window", BannerSide::Left, false, {true, true, true, true, true},
            Policy::Strict);
    }

    void optionsInTheBrowser() {
        QFETCH(BannerSide, side);
        QFETCH(bool, newWindow);
        QFETCH(PageOptions, options);
        QFETCH(Policy, policy);
        QFETCH(QPoint, inStrip);
        QFETCH(QPoint, transparent);

        AdSettings settings;
        settings.bannerSize = kW;
        settings.side = side;
        settings.newWindow = newWindow;
        settings.linkUrl = QStringLiteral("https://example.com/landing?from=banner&x='1'");
        settings.options = options;
        CodeTexts texts;
        QVERIFY(texts.LoadTextResources());
        texts.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", settings);
        QCOMPARE(texts.cspSources.isEmpty(), options.staticMarkup);

        QTemporaryDir dir;
        const QString pagePath = dir.filePath(QStringLiteral("page.html"));
        QVERIFY(WriteAll(pagePath, QByteArray(kPage).replace("%1", PolicyElement(policy, texts.cspSources))));
        QVERIFY(WriteAll(dir.filePath(QStringLiteral("page.css")), kPageStyle));
        OutputTarget target;
        target.createNew = false;
        target.pages = {pagePath};
        const RunReport report = Generate(texts, CornerBanner(side, 1), target, settings, CornerBanner(side, 2));
        QVERIFY2(report.ok(), qPrintable(report.Failures().value(0).error));

        QList<Click> clicks;
        QWebEngineView view;
        RecordingPage page(&clicks);
        view.setPage(&page);
        view.resize(800, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        bool loaded = false;
        connect(&page, &QWebEnginePage::loadFinished, this, [&](bool ok) { loaded = ok; });
        page.load(QUrl::fromLocalFile(pagePath));
        QTRY_VERIFY_WITH_TIMEOUT(loaded, 20000);
        // The page's own style sheet holds under the policy, so 'self' matches the site's files.
        QCOMPARE(Evaluate(&page, QStringLiteral("document.querySelector('div.tall').offsetHeight")).toInt(), 3000);
        if (policy == Policy::Strict && !options.staticMarkup) {
            QCOMPARE(Evaluate(&page, QStringLiteral("document.images.length")).toInt(), 0);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            Evaluate(&page, QStringLiteral("document.images.length > 0 && document.images[0].complete")).toBool(),
            10000);

        // In its corner at W x W, showing the 2x image where the screen has two device pixels a pixel.
        const QVariantMap box = ImageBox(&page, 0);
        if (policy == Policy::ScriptHash) {
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
};

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestBannerInBrowser test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_BannerInBrowser.moc"
