// A generated page in a real browser engine: the banner must sit flush in its corner, and only its
// diagonal strip must follow the link, in the chosen window.
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

namespace {

constexpr int kW = 200;

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

// A banner whose corner half is opaque and whose other half is transparent, as composition makes it.
QImage CornerBanner(BannerSide side) {
    QImage image(kW, kW, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 60, 200));
    if (side == BannerSide::Right) {
        painter.drawPolygon(QPolygon({QPoint(0, 0), QPoint(kW, 0), QPoint(kW, kW)}));
    } else {
        painter.drawPolygon(QPolygon({QPoint(0, 0), QPoint(kW, 0), QPoint(0, kW)}));
    }
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

}  // namespace

class TestBannerInBrowser : public QObject {
    Q_OBJECT

private slots:
    void bannerSitsInCornerAndOnlyTheStripLinks_data() {
        QTest::addColumn<BannerSide>("side");
        QTest::addColumn<bool>("newWindow");
        // Banner pixels: one inside the strip, one in the transparent half.
        QTest::addColumn<QPoint>("inStrip");
        QTest::addColumn<QPoint>("transparent");
        QTest::newRow("right, new window") << BannerSide::Right << true << QPoint(120, 100) << QPoint(40, 160);
        QTest::newRow("right, same window") << BannerSide::Right << false << QPoint(185, 170) << QPoint(100, 190);
        QTest::newRow("left, new window") << BannerSide::Left << true << QPoint(100, 80) << QPoint(160, 160);
        QTest::newRow("left, same window") << BannerSide::Left << false << QPoint(20, 160) << QPoint(150, 120);
    }

    void bannerSitsInCornerAndOnlyTheStripLinks() {
        QFETCH(BannerSide, side);
        QFETCH(bool, newWindow);
        QFETCH(QPoint, inStrip);
        QFETCH(QPoint, transparent);

        QTemporaryDir dir;
        AdSettings settings;
        settings.bannerSize = kW;
        settings.side = side;
        settings.newWindow = newWindow;
        settings.linkUrl = QStringLiteral("https://example.com/landing?from=banner&x='1'");
        OutputTarget target;
        target.outputFolder = dir.path();
        CodeTexts texts;
        QVERIFY(texts.LoadTextResources());
        const RunReport report = Generate(texts, CornerBanner(side), target, settings);
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
        page.load(QUrl::fromLocalFile(dir.filePath(QStringLiteral("VornetAdCode.html"))));
        QTRY_VERIFY_WITH_TIMEOUT(loaded, 20000);

        QTRY_VERIFY_WITH_TIMEOUT(
            Evaluate(&page, QStringLiteral("document.images.length > 0 && document.images[0].complete")).toBool(),
            10000);
        const QVariantMap box =
            Evaluate(&page, QStringLiteral("(function(){var i=document.images[0];var r=i.getBoundingClientRect();"
                                           "return {natural:i.naturalWidth,left:r.left,top:r.top,width:r.width,"
                                           "height:r.height,viewport:document.documentElement.clientWidth};})()"))
                .toMap();
        QCOMPARE(box.value(QStringLiteral("natural")).toInt(), kW);
        const int viewport = box.value(QStringLiteral("viewport")).toInt();
        const int left = side == BannerSide::Left ? 0 : viewport - kW;
        QCOMPARE(box.value(QStringLiteral("left")).toDouble(), double(left));
        QCOMPARE(box.value(QStringLiteral("top")).toDouble(), 0.0);
        QCOMPARE(box.value(QStringLiteral("width")).toDouble(), double(kW));
        QCOMPARE(box.value(QStringLiteral("height")).toDouble(), double(kW));

        QWidget* input = view.focusProxy();
        QVERIFY(input);
        // Input is handled in order: a link followed from the transparent half would be recorded
        // before the strip's, and make two.
        QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(left, 0) + transparent);
        QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(left, 0) + inStrip);
        QTRY_VERIFY_WITH_TIMEOUT(!clicks.isEmpty(), 10000);
        QTest::qWait(500);
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(QUrl::fromPercentEncoding(clicks[0].url.toEncoded()), settings.linkUrl);
        QCOMPARE(clicks[0].newWindow, newWindow);
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
