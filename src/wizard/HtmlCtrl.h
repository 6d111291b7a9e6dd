#pragma once

#include <QElapsedTimer>
#include <QUrl>
#include <QWebEngineView>

class Pickers;
class QWebEngineProfile;

// The preview's embedded browser as a plain control: no context menu, no text selection with the
// mouse, no border, and no message boxes of the page's own (alerts, confirms and prompts are
// swallowed without blocking). Addresses beginning with "app:" (any letter case) never load: they
// are carried out as the program's commands and the page stays where it was. The engine composes
// pages in software, so adding the browser to a shown window leaves that window as it is (this sets
// Qt Quick's graphics back end for the whole process when the first browser is made). The "Beep"
// command, a link to a new window and an address the engine does not show itself (a mail) go to
// `pickers` (Beep, OpenExternally); only web and mail addresses leave the preview. Of the shown
// page's own navigations, only those that follow a click or a key pressed in it act outside it, one
// each: a script's are dropped without a word. Ctrl+Tab and Ctrl+Shift+Tab always move the focus
// out of it, whatever the page does with Tab.
class HtmlCtrl final : public QWebEngineView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HtmlCtrl)

public:
    explicit HtmlCtrl(Pickers& pickers, QWidget* parent = nullptr);
    ~HtmlCtrl() override;

    // Loads a local file path or an address afresh, even when it is the one already shown, into a
    // page of its own: nothing of the last one's (a script still running, a guard against leaving
    // it) can keep it from showing.
    void Navigate(const QString& pathOrAddress);
    // Drops the page shown, with whatever its scripts were doing, for an empty one.
    void Clear();

    // Asked before every navigation of the shown page and of any window it tries to open;
    // returns true to cancel it.
    bool OnBeforeNavigate2(const QUrl& url);
    // Hands a web or mail address to the desktop; says why any other stays unopened.
    void OpenOutside(const QUrl& url);
    // Carries out the text after "app:", compared exactly: "Minimise" and "Beep".
    void OnAppCmd(const QString& command);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class HostPage;
    class NewWindowPage;
    class OwnFolderOnly;

    HostPage* NewHostPage();
    // Whether the user clicked or pressed a key in the page a moment ago, which then counts no more.
    bool TakeUserInput();

    Pickers& pickers;
    QWebEngineProfile* profile = nullptr;
    OwnFolderOnly* ownFolderOnly = nullptr;
    QElapsedTimer userInput;  // since the last click or key pressed in the page; invalid once taken
};
