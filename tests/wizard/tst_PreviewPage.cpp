#include "FakePickers.h"
#include "HtmlCtrl.h"
#include "OutputRuns.h"
#include "PreviewPage.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>

namespace {

constexpr int kLoadTimeoutMs = 20000;
constexpr int kCommandTimeoutMs = 5000;

// Runs a script in the shown page and waits for its result.
QVariant Evaluate(HtmlCtrl& browser, const QString& script) {
    QVariant result;
    bool done = false;
    browser.page()->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, kLoadTimeoutMs)) {
        return QStringLiteral("<script timed out>");
    }
    return result;
}

bool AnyMessageBoxShown() {
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (const QWidget* widget : widgets) {
        if (widget->isVisible() && qobject_cast<const QMessageBox*>(widget) != nullptr) {
            return true;
        }
    }
    return false;
}

}  // namespace

class TestPreviewPage : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    FakePickers pickers;
    QDialog* window = nullptr;
    PreviewPage* page = nullptr;

    QString WritePage(const QString& name, const QByteArray& html) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(html) != html.size()) {
            return {};
        }
        return path;
    }

    // Navigates and waits until the page has loaded.
    bool Show(const QString& path) {
        if (page->Browser() == nullptr) {
            page->Navigate(path);
        } else {
            QSignalSpy loaded(page->Browser(), &QWebEngineView::loadFinished);
            page->Navigate(path);
            return loaded.wait(kLoadTimeoutMs) && loaded.constFirst().constFirst().toBool();
        }
        QSignalSpy loaded(page->Browser(), &QWebEngineView::loadFinished);
        return loaded.wait(kLoadTimeoutMs) && loaded.constFirst().constFirst().toBool();
    }

    // Clicks an element with the mouse, as a user would (the browser treats a script's click
    // differently from a user's for addresses it does not load itself).
    void Click(const QString& id, int clicks = 1) {
        HtmlCtrl& browser = *page->Browser();
        const QVariantList centre =
            Evaluate(browser, QStringLiteral("(function () { var r = document.getElementById('%1')"
                                             ".getBoundingClientRect(); return [r.left + r.width / 2, "
                                             "r.top + r.height / 2]; })()")
                                  .arg(id))
                .toList();
        QVERIFY(centre.size() == 2);
        QWidget* surface = browser.focusProxy() != nullptr ? browser.focusProxy() : &browser;
        const QPoint point(centre[0].toInt(), centre[1].toInt());
        QTest::mouseMove(surface, point);
        if (clicks == 2) {
            QTest::mouseDClick(surface, Qt::LeftButton, {}, point);
        } else {
            QTest::mouseClick(surface, Qt::LeftButton, {}, point);
        }
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        pickers.messages.clear();
        pickers.beeps = 0;
        pickers.opened.clear();
        window = new QDialog;
        window->resize(600, 420);
        page = new PreviewPage(pickers, window);
        page->resize(600, 420);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    void cleanup() {
        delete window;
        window = nullptr;
        page = nullptr;
    }

    void noBrowserBeforeTheFirstPreview() { QVERIFY(page->Browser() == nullptr); }

    void appAddresses_areCommandsAndThePageStays_data() {
        QTest::addColumn<QString>("href");
        QTest::addColumn<int>("expectedBeeps");
        QTest::addColumn<QString>("expectedMessage");
        QTest::newRow("app:Beep") << QStringLiteral("app:Beep") << 1 << QString();
        QTest::newRow("prefix in capitals") << QStringLiteral("APP:Beep") << 1 << QString();
        QTest::newRow("command in lower case") << QStringLiteral("app:beep") << 0 << QStringLiteral("beep");
        QTest::newRow("unknown command") << QStringLiteral("App:Launch") << 0 << QStringLiteral("Launch");
    }

    void appAddresses_areCommandsAndThePageStays() {
        QFETCH(QString, href);
        QFETCH(int, expectedBeeps);
        QFETCH(QString, expectedMessage);
        const QString path =
            WritePage(QStringLiteral("links.html"), "<html><body><a id='same' href='" + href.toUtf8() +
                                                        "'>same</a><a id='blank' target='_blank' href='" +
                                                        href.toUtf8() + "'>blank</a></body></html>");
        QVERIFY(Show(path));
        const QUrl shown = page->Browser()->url();
        // A mark in the document shows whether it is still the same document afterwards.
        Evaluate(*page->Browser(), QStringLiteral("window.vornetMark = 42; true"));

        Click(QStringLiteral("same"));
        QTRY_COMPARE_WITH_TIMEOUT(pickers.beeps + int(pickers.messages.size()), 1, kCommandTimeoutMs);
        QCOMPARE(pickers.beeps, expectedBeeps);
        if (!expectedMessage.isEmpty()) {
            const FakePickers::Message& message = pickers.messages.constFirst();
            QCOMPARE(message.caption, QStringLiteral("Unexpected Command"));
            QCOMPARE(message.text, expectedMessage);
            QCOMPARE(message.icon, Pickers::MessageIcon::Question);
        }

        // A link that asks for a new window is a command too, and opens nothing.
        Click(QStringLiteral("blank"));
        QTRY_COMPARE_WITH_TIMEOUT(pickers.beeps + int(pickers.messages.size()), 2, kCommandTimeoutMs);
        QVERIFY(pickers.opened.isEmpty());

        QTest::qWait(200);
        QCOMPARE(page->Browser()->url(), shown);
        QCOMPARE(Evaluate(*page->Browser(), QStringLiteral("window.vornetMark")).toInt(), 42);
    }

    void appMinimise_minimisesTheMainWindow() {
        const QString path =
            WritePage(QStringLiteral("minimise.html"), "<html><body><a id='m' href='app:Minimise'>m</a></body></html>");
        QVERIFY(Show(path));
        QVERIFY(!window->isMinimized());
        Click(QStringLiteral("m"));
        QTRY_VERIFY_WITH_TIMEOUT(window->isMinimized(), kCommandTimeoutMs);
        QCOMPARE(pickers.beeps, 0);
        QVERIFY(pickers.messages.isEmpty());
    }

    void ordinaryNewWindowLink_opensInTheDesktopBrowser() {
        const QString path = WritePage(QStringLiteral("external.html"),
                                       "<html><body><a id='x' target='_blank' href='https://example.com/offer'>x</a>"
                                       "</body></html>");
        QVERIFY(Show(path));
        const QUrl shown = page->Browser()->url();
        Click(QStringLiteral("x"));
        QTRY_COMPARE_WITH_TIMEOUT(pickers.opened.size(), 1, kCommandTimeoutMs);
        QCOMPARE(pickers.opened.constFirst(), QUrl(QStringLiteral("https://example.com/offer")));
        QCOMPARE(page->Browser()->url(), shown);
    }

    void scriptDialogs_neverBlockNorShow() {
        const QString path =
            WritePage(QStringLiteral("alert.html"),
                      "<html><body><script>alert('hello'); var c = confirm('sure?'); var p = prompt('name?');"
                      "document.title = 'after:' + c + ':' + p;</script></body></html>");
        QVERIFY(Show(path));
        QTRY_COMPARE_WITH_TIMEOUT(page->Browser()->title(), QStringLiteral("after:false:null"), kLoadTimeoutMs);
        QVERIFY(!AnyMessageBoxShown());
        QVERIFY(pickers.messages.isEmpty());
    }

    void noContextMenuAndNoSelection() {
        const QString path =
            WritePage(QStringLiteral("text.html"), "<html><body><p id='t'>Some text</p></body></html>");
        QVERIFY(Show(path));
        QCOMPARE(page->Browser()->contextMenuPolicy(), Qt::NoContextMenu);
        QCOMPARE(Evaluate(*page->Browser(), QStringLiteral("getComputedStyle(document.getElementById('t')).userSelect"))
                     .toString(),
                 QStringLiteral("none"));
    }

    void samePreviewTwice_navigatesTwiceAndShowsOneBlock_data() {
        QTest::addColumn<int>("side");
        QTest::newRow("right corner") << int(BannerSide::Right);
        QTest::newRow("left corner") << int(BannerSide::Left);
    }

    void samePreviewTwice_navigatesTwiceAndShowsOneBlock() {
        QFETCH(int, side);
        constexpr int kSize = 150;
        QImage banner(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
        banner.fill(Qt::transparent);
        for (int y = 0; y < kSize; ++y) {
            for (int x = y; x < kSize; ++x) {
                banner.setPixel(x, y, qRgb(200, 40, 40));
            }
        }
        CodeTexts texts;
        QVERIFY(texts.LoadTextResources().Ok());
        AdSettings settings;
        settings.bannerSize = kSize;
        settings.side = BannerSide(side);
        const QString folder = dir.filePath(QStringLiteral("preview-%1").arg(side));
        QVERIFY(QDir().mkpath(folder));

        RunReport report = WritePreview(texts, banner, settings, folder);
        QVERIFY2(report.Ok(), qPrintable(report.Failures().value(0).error));
        QVERIFY(Show(report.previewPage));
        report = WritePreview(texts, banner, settings, folder);
        QVERIFY(report.Ok());
        QSignalSpy loaded(page->Browser(), &QWebEngineView::loadFinished);
        page->Navigate(report.previewPage);
        QVERIFY(loaded.wait(kLoadTimeoutMs));

        HtmlCtrl& browser = *page->Browser();
        QCOMPARE(
            Evaluate(browser, QStringLiteral("document.documentElement.outerHTML.split('VornetAdBegin').length - 1"))
                .toInt(),
            1);
        QTRY_VERIFY_WITH_TIMEOUT(
            Evaluate(browser, QStringLiteral("document.images[0].complete && document.images[0].naturalWidth"))
                    .toInt() == kSize,
            kLoadTimeoutMs);
        const QVariantList box =
            Evaluate(browser, QStringLiteral("(function () { var r = document.querySelector('div.quentavornet')"
                                             ".getBoundingClientRect();"
                                             "return [r.left, r.top, r.width, r.height, "
                                             "document.documentElement.clientWidth]; })()"))
                .toList();
        QCOMPARE(box.size(), 5);
        QCOMPARE(box[1].toInt(), 0);
        QCOMPARE(box[2].toInt(), kSize);
        QCOMPARE(box[3].toInt(), kSize);
        const int expectedLeft = BannerSide(side) == BannerSide::Left ? 0 : box[4].toInt() - kSize;
        QCOMPARE(box[0].toInt(), expectedLeft);
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestPreviewPage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_PreviewPage.moc"
