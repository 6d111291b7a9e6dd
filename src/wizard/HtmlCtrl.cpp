#include "wizard/HtmlCtrl.h"

#include "controls/Pickers.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QQuickWindow>
#include <QShortcut>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

using namespace Qt::StringLiterals;

namespace {

const QString kAppPrefix = QStringLiteral("app:");

// Text selection with the mouse is switched off by a style sheet that every document receives
// before it is shown.
const QString kNoSelectionScript =
    QStringLiteral("(function () {"
                   "  var style = document.createElement('style');"
                   "  style.textContent = '* { -webkit-user-select: none !important; user-select: none !important; }';"
                   "  (document.head || document.documentElement).appendChild(style);"
                   "})();");

// The browser engine starts with its first profile, and from then on draws the way it was set up.
// It composes pages in software: the preview is one small local page, and a browser that draws
// through OpenGL makes the toolkit destroy and re-create the window it is added to, so the wizard
// would flash (and might move) on its first preview.
QWebEngineProfile* NewSoftwareProfile(QObject* owner) {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return new QWebEngineProfile(owner);
}

bool IsAppAddress(const QString& address) {
    return address.left(kAppPrefix.size()).compare(kAppPrefix, Qt::CaseInsensitive) == 0;
}

// What a visitor's browser would open from the banner on a web site: a page of the web, or a mail.
// Anything else (a local file, a program's own scheme) the desktop would hand to whatever program
// it keeps for it, at the word of a page that may hold someone else's custom code.
bool IsWebAddress(const QUrl& url) {
    const QString scheme = url.scheme();
    return scheme == u"http" || scheme == u"https" || scheme == u"mailto";
}

// The addresses the browser engine shows by itself. It hands any other to the desktop unasked, so
// those are stopped on their way and judged as a new window's address is.
bool LoadsInPlace(const QUrl& url) {
    static const QStringList schemes = {u"http"_s, u"https"_s, u"file"_s, u"data"_s, u"about"_s, u"blob"_s};
    return schemes.contains(url.scheme());
}

}  // namespace

// The shown page: vetoes "app:" addresses and keeps the page's dialogs from ever appearing.
class HtmlCtrl::HostPage final : public QWebEnginePage {
public:
    HostPage(QWebEngineProfile* profile, HtmlCtrl& ctrl)
        : QWebEnginePage(profile, &ctrl)
        , ctrl(ctrl) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool) override {
        // A link to a local file is one to another page of the site (relative, or a placeholder),
        // which is not beside the preview: it would show the engine's "file not found". The engine
        // takes a script's new address for a link clicked too.
        if (LoadsInPlace(url) && !(type == NavigationTypeLinkClicked && url.isLocalFile())) {
            return true;
        }
        // Custom code that set a new address over and over would bring a message up as soon as the
        // last one was closed, and the user could never leave the step.
        if (ctrl.TakeUserInput() && !ctrl.OnBeforeNavigate2(url)) {
            ctrl.OpenOutside(url);
        }
        return false;
    }
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}
    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override { return {}; }
    QWebEnginePage* createWindow(WebWindowType) override;

private:
    HtmlCtrl& ctrl;
};

// Stands in for a window that the shown page asks for (a link with a target such as "_blank"): its
// first navigation is an "app:" command or goes to the desktop's browser, and it never loads. One
// that gets no navigation (a link to "javascript:void(0)", an empty window.open) goes soon after,
// or each click would keep one, and a process of the engine's, until the wizard ends.
class HtmlCtrl::NewWindowPage final : public QWebEnginePage {
public:
    NewWindowPage(QWebEngineProfile* profile, HtmlCtrl& ctrl)
        : QWebEnginePage(profile, &ctrl)
        , ctrl(ctrl) {
        QTimer::singleShot(kLongestWaitMs, this, [this] {
            if (!handled) {
                handled = true;
                deleteLater();
            }
        });
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        if (isMainFrame && !handled) {
            handled = true;
            if (!ctrl.OnBeforeNavigate2(url)) {
                ctrl.OpenOutside(url);
            }
            deleteLater();
        }
        return false;
    }

private:
    // A window's first navigation follows its making at once; this is far beyond that.
    static constexpr int kLongestWaitMs = 2000;

    HtmlCtrl& ctrl;
    bool handled = false;
};

// Lets the shown page load local files from its own folder alone, its image and style sheet there: a
// local page may read any local file, and custom code from someone else's design would read the
// user's and send them off with the next click (to an address it puts under the banner's link).
class HtmlCtrl::OwnFolderOnly final : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    QString folder;  // the shown page's, ending in '/'; empty: no local file at all

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QUrl url = info.requestUrl();
        if (url.isLocalFile() && (folder.isEmpty() || !QDir::cleanPath(url.toLocalFile()).startsWith(folder))) {
            info.block(true);
        }
    }
};

QWebEnginePage* HtmlCtrl::HostPage::createWindow(WebWindowType) {
    return new NewWindowPage(profile(), ctrl);
}

HtmlCtrl::HtmlCtrl(Pickers& pickers, QWidget* parent)
    : QWebEngineView(parent)
    , pickers(pickers)
    , profile(NewSoftwareProfile(this))  // off the record: the preview leaves nothing behind
    , ownFolderOnly(new OwnFolderOnly(this)) {
    // Each preview is written anew under the same names, so nothing may come from a cache.
    profile->setHttpCacheType(QWebEngineProfile::NoCache);
    profile->setUrlRequestInterceptor(ownFolderOnly);

    QWebEngineScript noSelection;
    noSelection.setName(QStringLiteral("vornetad-no-selection"));
    noSelection.setInjectionPoint(QWebEngineScript::DocumentReady);
    noSelection.setWorldId(QWebEngineScript::ApplicationWorld);
    noSelection.setRunsOnSubFrames(true);
    noSelection.setSourceCode(kNoSelectionScript);
    profile->scripts()->insert(noSelection);

    setPage(NewHostPage());
    setContextMenuPolicy(Qt::NoContextMenu);
    // The engine's own widget inside the view takes the clicks and keys.
    qApp->installEventFilter(this);

    // Custom code may keep Tab for itself, which would leave a keyboard user no way out of the
    // preview to the wizard's buttons; Ctrl+Tab and Ctrl+Shift+Tab leave it, as they leave any
    // field that takes Tab.
    for (const bool forward : {true, false}) {
        auto* leave = new QShortcut(forward ? QKeySequence(Qt::CTRL | Qt::Key_Tab)
                                            : QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                    this);
        leave->setContext(Qt::WidgetWithChildrenShortcut);
        connect(leave, &QShortcut::activated, this, [this, forward] { QWidget::focusNextPrevChild(forward); });
    }
}

HtmlCtrl::HostPage* HtmlCtrl::NewHostPage() {
    auto* page = new HostPage(profile, *this);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    // A window asked for without a click (window.open in custom code) would reach the desktop.
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // Nor do addresses the engine does not show itself, asked for by a frame or a script: only a
    // user's click brings them to OpenOutside.
    settings->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);
    return page;
}

HtmlCtrl::~HtmlCtrl() {
    // The pages must go before the profile they were made with: the one shown, and those Clear
    // dropped that have not been deleted yet, which would otherwise go after it.
    delete page();
    qDeleteAll(findChildren<QWebEnginePage*>(Qt::FindDirectChildrenOnly));
}

void HtmlCtrl::Navigate(const QString& pathOrAddress) {
    // Reloading the last page would ask it first whether it may be left, and custom code that
    // guards against leaving would keep the old preview for good; a page that never returns (a
    // loop of dialogs the preview answers at once) would keep the next one waiting. A new page asks
    // nothing and waits for nothing; the old one goes with its scripts.
    Clear();
    const QUrl url = QUrl::fromUserInput(pathOrAddress, QDir::currentPath(), QUrl::AssumeLocalFile);
    ownFolderOnly->folder =
        url.isLocalFile() ? QFileInfo(QDir::cleanPath(url.toLocalFile())).absolutePath() + u'/' : QString();
    load(url);
}

void HtmlCtrl::Clear() {
    const QPointer<QWebEnginePage> old = page();
    setPage(NewHostPage());
    // The view does not always delete the page it drops, which would keep its process running.
    if (old != nullptr) {
        old->deleteLater();
    }
}

bool HtmlCtrl::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // A link goes where it leads as the button comes up, however long it was held down.
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease || type == QEvent::KeyPress ||
         type == QEvent::TouchBegin || type == QEvent::TouchEnd) &&
        watched->isWidgetType() && (watched == this || isAncestorOf(static_cast<QWidget*>(watched)))) {
        userInput.start();
    }
    return QWebEngineView::eventFilter(watched, event);
}

bool HtmlCtrl::TakeUserInput() {
    // A link's navigation follows its click at once; this is far beyond that, on a busy machine too.
    constexpr qint64 kClickReachMs = 3000;
    const bool recent = userInput.isValid() && userInput.elapsed() < kClickReachMs;
    userInput.invalidate();
    return recent;
}

bool HtmlCtrl::OnBeforeNavigate2(const QUrl& url) {
    // QUrl keeps the scheme in lower case, so "APP:Beep" arrives as "app:Beep".
    const QString address = url.toString(QUrl::PrettyDecoded);
    if (!IsAppAddress(address)) {
        return false;
    }
    OnAppCmd(address.mid(kAppPrefix.size()));
    return true;
}

void HtmlCtrl::OpenOutside(const QUrl& url) {
    if (IsWebAddress(url)) {
        pickers.OpenExternally(url);
        return;
    }
    // A link that is no full address ("contact.html", the first banner's "link URL here") reaches
    // here as a file beside the preview, a place the user never chose: it is named as written.
    const QString& folder = ownFolderOnly->folder;  // the shown page's, as Navigate found it
    const QString file = QDir::cleanPath(url.toLocalFile());
    const QString beside = url.isLocalFile() && !folder.isEmpty() && file.startsWith(folder)
                               ? file.mid(folder.size()) +
                                     (url.hasQuery() ? u'?' + url.query(QUrl::PrettyDecoded) : QString()) +
                                     (url.hasFragment() ? u'#' + url.fragment(QUrl::PrettyDecoded) : QString())
                               : QString();
    pickers.ShowMessage(this, window()->windowTitle(),
                        beside.isEmpty()
                            ? QStringLiteral("The preview opens only web and mail addresses, not %1")
                                  .arg(url.toString(QUrl::PrettyDecoded))
                            : QStringLiteral("The preview opens only web and mail addresses, not \"%1\", which on "
                                             "your site leads to a file from the page's folder")
                                  .arg(beside),
                        Pickers::MessageIcon::Information);
}

void HtmlCtrl::OnAppCmd(const QString& command) {
    if (command == QLatin1String("Minimise")) {
        window()->showMinimized();
    } else if (command == QLatin1String("Beep")) {
        pickers.Beep();
    } else {
        pickers.ShowMessage(this, QStringLiteral("Unexpected Command"), command, Pickers::MessageIcon::Question);
    }
}
