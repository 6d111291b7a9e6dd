// A generated page in a real browser engine, for each page option: the banner must sit flush in
// its corner at W x W, only its diagonal strip must follow the link, in the chosen window, and each
// option must do what it promises there. Run at a device pixel ratio of 1 and, as a second CTest
// entry with QT_SCALE_FACTOR=2, of 2.
#include "OutputRuns.h"

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

// A page whose own link lies under the whole banner, and which is tall enough to scroll.
const QByteArray kPage = "<html><body style='margin:0'><a href='https://example.com/under' "
                         "style='position:absolute;left:0;top:0;width:100%;height:400px'>under</a>"
                         "<div style='height:3000px'></div></body></html>";

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

class TestBannerInBrowser : public QObject {
    Q_OBJECT

private slots:
    void optionsInTheBrowser_data() {
        QTest::addColumn<BannerSide>("side");
        QTest::addColumn<bool>("newWindow");
        QTest::addColumn<PageOptions>("options");
        // Banner pixels: one inside the strip, one in the transparent half.
        QTest::addColumn<QPoint>("inStrip");
        QTest::addColumn<QPoint>("transparent");
        const PageOptions none;
        const PageOptions through{true, false, false, false};
        QTest::newRow("right, new window") << BannerSide::Right << true << none << QPoint(120, 100) << QPoint(40, 160);
        QTest::newRow("right, same window")
            << BannerSide::Right << false << none << QPoint(185, 170) << QPoint(100, 190);
        QTest::newRow("left, new window") << BannerSide::Left << true << none << QPoint(100, 80) << QPoint(160, 160);
        QTest::newRow("left, same window") << BannerSide::Left << false << none << QPoint(20, 160) << QPoint(150, 120);
        QTest::newRow("click-through, right, same window")
            << BannerSide::Right << false << through << QPoint(185, 170) << QPoint(40, 160);
        QTest::newRow("click-through, left, new window")
            << BannerSide::Left << true << through << QPoint(100, 80) << QPoint(150, 120);
        QTest::newRow("hidpi") << BannerSide::Right << true << PageOptions{false, true, false, false}
                               << QPoint(120, 100) << QPoint(40, 160);
        QTest::newRow("fixed") << BannerSide::Right << true << PageOptions{false, false, true, false}
                               << QPoint(120, 100) << QPoint(40, 160);
        QTest::newRow("no-print") << BannerSide::Left << true << PageOptions{false, false, false, true}
                                  << QPoint(100, 80) << QPoint(160, 160);
        QTest::newRow("all, left, same window")
            << BannerSide::Left << false << PageOptions{true, true, true, true} << QPoint(20, 160) << QPoint(150, 120);
    }

    void optionsInTheBrowser() {
        QFETCH(BannerSide, side);
        QFETCH(bool, newWindow);
        QFETCH(PageOptions, options);
        QFETCH(QPoint, inStrip);
        QFETCH(QPoint, transparent);

        QTemporaryDir dir;
        const QString pagePath = dir.filePath(QStringLiteral("page.html"));
        QFile pageFile(pagePath);
        QVERIFY(pageFile.open(QIODevice::WriteOnly) && pageFile.write(kPage) == kPage.size());
        pageFile.close();
        AdSettings settings;
        settings.bannerSize = kW;
        settings.side = side;
        settings.newWindow = newWindow;
        settings.linkUrl = QStringLiteral("https://example.com/landing?from=banner&x='1'");
        settings.options = options;
        OutputTarget target;
        target.createNew = false;
        target.pages = {pagePath};
        CodeTexts texts;
        QVERIFY(texts.LoadTextResources());
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
        QTRY_VERIFY_WITH_TIMEOUT(
            Evaluate(&page, QStringLiteral("document.images.length > 0 && document.images[0].complete")).toBool(),
            10000);

        // In its corner at W x W, showing the 2x image where the screen has two device pixels a pixel.
        const QVariantMap box = ImageBox(&page, 0);
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
