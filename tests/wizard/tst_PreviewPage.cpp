#include "DataTable.h"
#include "FakePickers.h"
#include "TestFiles.h"
#include "wizard/HtmlCtrl.h"
#include "wizard/PreviewPage.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>

#include <unistd.h>

namespace {

constexpr int kLoadTimeoutMs = 20000;

// Runs a script in the shown page and waits for its result.
QVariant Evaluate(HtmlCtrl& browser, const QString& script) {
    QVariant result = QStringLiteral("<script timed out>");
    browser.page()->runJavaScript(script, [&](const QVariant& value) { result = value; });
    (void)QTest::qWaitFor([&] { return result != QStringLiteral("<script timed out>"); }, kLoadTimeoutMs);
    return result;
}

}  // namespace

class tst_PreviewPage : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    FakePickers pickers;
    std::unique_ptr<QDialog> window;
    PreviewPage* page = nullptr;

    // Writes `body` as a page, shows it and waits until it has loaded; the browser's beeps and the desktop
    // browser's pages reach the fake pickers.
    bool Show(const QByteArray& body) {
        const QString path = dir.filePath(QStringLiteral("page.html"));
        if (!WriteAll(path, "<html><body>" + body + "</body></html>")) {
            return false;
        }
        page->Navigate(path);
        QSignalSpy loaded(page->Browser(), &QWebEngineView::loadFinished);
        return loaded.wait(kLoadTimeoutMs) && loaded.constFirst().constFirst().toBool();
    }

    // Clicks the middle of the page with the mouse, as a user would (the browser treats a script's
    // click differently from a user's for addresses it does not load itself).
    void Click() {
        HtmlCtrl& browser = *page->Browser();
        QWidget* surface = browser.focusProxy() != nullptr ? browser.focusProxy() : &browser;
        QTest::mouseMove(surface, surface->rect().center());
        QTest::mouseClick(surface, Qt::LeftButton, {}, surface->rect().center());
    }

public:
    // The browser engine shares its GL contexts with the application's, set before it starts.
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void init() {
        pickers = FakePickers();
        window = std::make_unique<QDialog>();
        window->resize(600, 420);
        page = new PreviewPage(pickers, window.get());
        page->resize(600, 420);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // The wizard starts without paying for the browser engine.
        QVERIFY(page->Browser() == nullptr);
    }

    void links_data() { AddTableRows(QFINDTESTDATA("preview-links.txt")); }
    void links() {
        QFETCH(QStringList, row);
        const QString message = row[2] == u"-" ? QString() : row[2];
        const QString openedUrl = row[4] == u"-" ? QString() : row[4];
        QVERIFY(Show("<a style='position: fixed; inset: 0' " + row[0].toUtf8() + ">x</a>"));
        const QUrl shown = page->Browser()->url();
        // A mark in the document shows whether it is still the same document afterwards.
        Evaluate(*page->Browser(), QStringLiteral("window.vornetMark = 42; true"));
        Click();
        QTRY_VERIFY_WITH_TIMEOUT(
            pickers.beeps + pickers.messages.size() + pickers.opened.size() + window->isMinimized() > 0, 5000);
        QTest::qWait(200);
        QCOMPARE(pickers.beeps, row[1].toInt());
        QCOMPARE(pickers.messages.value(0).text, message);
        QCOMPARE(window->isMinimized(), row[3] == u"yes");
        QCOMPARE(pickers.opened.value(0).toString(), openedUrl);
        QCOMPARE(int(pickers.messages.size() + pickers.opened.size()), int(!message.isEmpty() || !openedUrl.isEmpty()));
        QCOMPARE(page->Browser()->url(), shown);
        QCOMPARE(Evaluate(*page->Browser(), QStringLiteral("window.vornetMark")).toInt(), 42);
    }

    // The page's own alerts, confirms and prompts neither block nor show, nor does a window or a frame it
    // asks for without a click reach the desktop, nor do new addresses its scripts set over and over
    // bring up a message; it offers no context menu and no text selection. Its
    // scripts read no local file (custom code from someone else's design would send off the user's),
    // while its image and style sheet beside it still show.
    void pageCannotActAsAnApplication() {
        const QTemporaryDir home;
        const QByteArray secret = QUrl::fromLocalFile(home.filePath(u"secret.txt"_qs)).toEncoded();
        QVERIFY(WriteAll(home.filePath(u"secret.txt"_qs), "key") &&
                WriteAll(dir.filePath(u"s.css"_qs), "#t{color:#010203}") &&
                WriteAll(dir.filePath(u"i.gif"_qs),
                         QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==")));
        QVERIFY(
            Show("<style>@import url(s.css);</style><p id='t'>Some text</p><img id='i' src='i.gif'>"
                 "<iframe src='mailto:a@example.com'></iframe><iframe src='foo://x'></iframe>"
                 "<script>alert('hello'); var c = confirm('sure?');"
                 "var p = prompt('name?'); var w = window.open('https://example.com/popup');"
                 "window.onload = function () { var r = 'read';"
                 "  try { var x = new XMLHttpRequest(); x.open('GET', '" +
                 secret +
                 "', false); x.send(); }"
                 "  catch (e) { r = 'refused'; }"
                 "  document.title = 'after:' + c + ':' + p + ':' + (w === null) + ':' + r + ':' +"
                 "    document.getElementById('i').naturalWidth + ':' +"
                 "    getComputedStyle(document.getElementById('t')).color;"
                 // Once loaded: a refused address set while the page loads ends its load, which on a
                 // busy machine may come before the rest of the page.
                 "  var n = 0; var moves = setInterval(function () { location.href ="
                 "    ['thanks.html', 'file:///etc/passwd', 'qrc:/x', 'app:Launch'][n++ % 4]; }, 20); };</script>"));
        QTRY_COMPARE_WITH_TIMEOUT(page->Browser()->title(),
                                  QStringLiteral("after:false:null:true:refused:1:rgb(1, 2, 3)"), kLoadTimeoutMs);
        QTest::qWait(300);  // past a dozen of the script's new addresses
        QVERIFY(pickers.opened.isEmpty());
        for (const QWidget* widget : QApplication::topLevelWidgets()) {
            QVERIFY(!widget->isVisible() || qobject_cast<const QMessageBox*>(widget) == nullptr);
        }
        QVERIFY(pickers.messages.isEmpty());
        QCOMPARE(page->Browser()->contextMenuPolicy(), Qt::NoContextMenu);
        QCOMPARE(
            Evaluate(*page->Browser(), QStringLiteral("getComputedStyle(document.getElementById('t')).userSelect")),
            QStringLiteral("none"));
    }

    // For the superuser the browser, whose sandbox refuses to start there, is not started: a note
    // gives the page's path instead, and the wizard goes on.
    void superuser_getsThePathNotTheBrowser() {
        if (::geteuid() != 0) {
            QSKIP("only the superuser meets the browser's refusal");
        }
        const QByteArray sandbox = qgetenv("QTWEBENGINE_DISABLE_SANDBOX");
        qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
        page->Navigate(u"/tmp/x/adPreview.html"_qs);
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", sandbox);
        QVERIFY(page->Browser() == nullptr);
        const auto* notice = page->findChild<QLabel*>(u"noPreview"_qs);
        QVERIFY(notice->isVisible() && notice->text().endsWith(u"/tmp/x/adPreview.html"_qs));
        QVERIFY(notice->focusPolicy() & Qt::TabFocus);
    }

    // A page that keeps Tab for itself still lets the keyboard out, by Ctrl+Tab either way.
    void pageKeepingTab_letsTheFocusOut() {
        (new QPushButton(u"Next"_qs, window.get()))->show();
        QVERIFY(Show("<input autofocus><script>document.addEventListener('keydown', function (e) {"
                     " if (e.key === 'Tab') { e.preventDefault(); } }, true);</script>"));
        for (const Qt::KeyboardModifiers modifiers :
             {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::ControlModifier | Qt::ShiftModifier}) {
            Click();
            QTRY_VERIFY(page->Browser()->isAncestorOf(QApplication::focusWidget()));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY(page->Browser()->isAncestorOf(QApplication::focusWidget()));
            QTest::keyClick(QApplication::focusWidget(), modifiers & Qt::ShiftModifier ? Qt::Key_Backtab : Qt::Key_Tab,
                            modifiers);
            QTRY_VERIFY(qobject_cast<QPushButton*>(QApplication::focusWidget()) != nullptr);
        }
    }

    // The preview is written to the same path each time; navigating there again shows the new file,
    // even after a click in a page whose custom code guards against leaving it. Nothing of the old
    // page stays behind, nor of a window its link asked for and never used, nor of the last page once
    // the step is left.
    void samePathAgain_loadsTheNewFile() {
        QVERIFY(Show("<a style='position: fixed; inset: 0' target='_blank' href='javascript:void(0)'>x</a>"
                     "<script>document.title = 'first'; window.addEventListener('beforeunload', function (e) {"
                     " e.preventDefault(); e.returnValue = ''; });</script>"));
        Click();
        QTRY_COMPARE_WITH_TIMEOUT(page->Browser()->findChildren<QWebEnginePage*>().size(), 2, kLoadTimeoutMs);
        QVERIFY(Show("<script>document.title = 'second'</script>"));
        QTRY_COMPARE_WITH_TIMEOUT(page->Browser()->title(), QStringLiteral("second"), kLoadTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(page->Browser()->findChildren<QWebEnginePage*>().size(), 1, kLoadTimeoutMs);
        // Leaving the step stops what the page was doing.
        page->hide();
        QVERIFY(page->Browser()->url().isEmpty());
    }
};

QTEST_MAIN(tst_PreviewPage)

#include "tst_PreviewPage.moc"
