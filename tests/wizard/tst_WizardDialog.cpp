#include "DataTable.h"
#include "FakePickers.h"
#include "TestFiles.h"
#include "TestGif.h"
#include "banner/TemplateImage.h"
#include "controls/BannerView.h"
#include "controls/SkinButton.h"
#include "controls/TemplateStrip.h"
#include "design/DesignFile.h"
#include "files/FolderLock.h"
#include "files/Interruption.h"
#include "wizard/EditorPage.h"
#include "wizard/HtmlCtrl.h"
#include "wizard/OptionsPage.h"
#include "wizard/OutputPage.h"
#include "wizard/PreviewPage.h"
#include "wizard/RunProgress.h"
#include "wizard/TemplatesPage.h"
#include "wizard/WizardDialog.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The shipped templates, copied here once for the run (initTestCase): a test that writes beside a
// template must not reach the checkout.
const QTemporaryDir kShippedCopy;
const QString kTemplatesFolder = kShippedCopy.path() + u'/';

// Set for this program started again to make one run ended from outside (EndedRun): where it
// writes, and how the run is ended.
constexpr char kEndedRun[] = "VORNET_TEST_ENDED_RUN";
constexpr char kEnding[] = "VORNET_TEST_ENDING";
// The pages of the runs of longRun_showsProgressAndStops and EndedRun, which no run writes.
const QStringList kRunPages{u"/p/1.html"_qs, u"/p/2.html"_qs, u"/p/3.html"_qs};

// The command line program's standard output for `arguments`; empty when it fails.
QByteArray Cli(const QStringList& arguments) {
    QProcess cli;
    cli.start(QStringLiteral(VORNET_BINARY_DIR "/bin/vornetad-cli"), arguments);
    return cli.waitForFinished(60000) && cli.exitCode() == 0 ? cli.readAllStandardOutput() + '.' : QByteArray();
}

}  // namespace

class tst_WizardDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<FakePickers> fakes;
    std::unique_ptr<QTemporaryDir> previewDir;
    std::unique_ptr<QTemporaryDir> configDir;
    std::unique_ptr<WizardDialog> wizard;

    QString LastDesign() const { return configDir->filePath(QStringLiteral("last.vornetad")); }
    QString PreviewFile() const { return previewDir->filePath(QStringLiteral("adPreview.html")); }
    QWidget* Page(int step) {
        return std::array<QWidget*, 5>{&wizard->Templates(), &wizard->Editor(), &wizard->Options(), &wizard->Preview(),
                                       &wizard->Output()}[size_t(step - 1)];
    }
    template <typename T = QWidget>
    T* Field(QWidget& page, const QString& name) {
        return ChildNamed<T>(page, name);
    }

    // A new wizard, shown, keeping its design in the test's own configuration folder (and the user's
    // own templates beside it).
    void Start(const QString& templatesFolder = kTemplatesFolder, const QString& lastDesign = {}) {
        wizard.reset();
        wizard = std::make_unique<WizardDialog>(
            *fakes, TemplateSources{templatesFolder, configDir->filePath(QStringLiteral("vornets"))},
            lastDesign.isEmpty() ? LastDesign() : lastDesign);
        wizard->SetPreviewFolder(previewDir->path());
        wizard->show();
        QVERIFY(QTest::qWaitForWindowExposed(wizard.get()));
    }

    // Runs the actions of wizard-actions.txt.
    void Act(const QString& actions) {
        const QMap<QString, QAbstractButton*> buttons{{u"next"_qs, &wizard->NextButton()},
                                                      {u"back"_qs, &wizard->BackButton()},
                                                      {u"generate"_qs, &wizard->GenerateButton()}};
        const QMap<QString, Qt::Key> keys{{u"Return"_qs, Qt::Key_Return},
                                          {u"Enter"_qs, Qt::Key_Enter},
                                          {u"Escape"_qs, Qt::Key_Escape},
                                          {u"Space"_qs, Qt::Key_Space}};
        for (const QString& action : actions.split(u' ', Qt::SkipEmptyParts)) {
            const QString name = action.section(u'@', 1);
            QWidget* page = Page(wizard->Step());
            QWidget* target = buttons.contains(name) ? buttons.value(name) : name.isEmpty() ? page : Field(*page, name);
            if (buttons.contains(action)) {
                QTest::mouseClick(buttons.value(action), Qt::LeftButton);
            } else if (action == u"rm") {
                QVERIFY(QFile::remove(PreviewFile()));
            } else if (action == u"close") {
                wizard->close();
            } else if (action == u"yes") {
                fakes->confirms.push_back(true);
            } else if (action == u"save") {
                fakes->files.emplace_back(configDir->filePath(u"saved.vornetad"_qs));
                QTest::mouseClick(&wizard->SaveDesignButton(), Qt::LeftButton);
            } else if (action.startsWith(u"size=")) {
                Field<QLineEdit>(wizard->Editor(), u"bannerSizeEdit"_qs)->setText(action.mid(5));
            } else if (action.startsWith(u"folder=")) {
                Field<QLineEdit>(wizard->Output(), u"outputFolder"_qs)->setText(action.mid(7));
            } else if (action.startsWith(u"click@")) {
                QTest::mouseClick(target, Qt::LeftButton);
            } else if (action.startsWith(u"tab")) {
                QTest::mouseClick(wizard.get(), Qt::LeftButton, {},
                                  wizard->OtherTab(action.mid(3).toInt()).geometry().center());
            } else {
                QApplication::setActiveWindow(wizard.get());
                target->setFocus();
                QTRY_VERIFY(name.isEmpty() || target->hasFocus());
                QTest::keyClick(target, keys.value(action.section(u'@', 0, 0)));
            }
        }
    }

    // Buttons, tabs and the page shown match `step`.
    void CheckStepShown(int step) {
        QCOMPARE(wizard->Step(), step);
        QCOMPARE(wizard->BackButton().isEnabled(), step > 1);
        QCOMPARE(wizard->NextButton().isEnabled(), step < 5);
        QCOMPARE(wizard->GenerateButton().isEnabled(), step == 5);
        for (int n = 1; n <= 5; ++n) {
            QCOMPARE(wizard->CurrentTab(n).isVisible(), n == step);
            QCOMPARE(wizard->OtherTab(n).isVisible(), n != step);
            QCOMPARE(Page(n)->isVisible(), n == step);
        }
    }

    // Made while the run goes, as the run's own objects of static storage are; exit() destroys such
    // objects before it calls the handlers registered earlier.
    static inline std::atomic<bool> runObjectGone = false;
    struct RunObject {
        ~RunObject() { runObjectGone = true; }
    };

    // A run of kRunPages ended after its first page by a signal, or by the toolkit's exit() on the
    // window's thread; it writes the pages it did, and whether its object was gone before it ended.
    [[noreturn]] static void EndedRun(const QString& written, bool byExit) {
        QWidget window;
        window.show();
        QFile file(written);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            ::_exit(2);
        }
        EndOnSignalsBetweenRuns();
        const QStringList& pages = kRunPages;
        (void)RunWithProgress(
            &window, pages,
            [&](const FileDone&) {
                static const RunObject object;
                RunReport report;
                for (const QString& page : pages) {
                    if ((report.interrupted = StopRequested())) {
                        break;
                    }
                    report.files.append(FileResult::Success(page));
                    file.write(page.toUtf8() + '\n');
                    if (!byExit) {
                        ::raise(SIGTERM);
                        continue;
                    }
                    QMetaObject::invokeMethod(
                        &window, [] { std::exit(3); }, Qt::QueuedConnection);
                    for (int waited = 0; waited < 500 && !StopRequested(); ++waited) {
                        QThread::msleep(10);
                    }
                }
                file.write(runObjectGone ? "gone\n" : "");
                return report;
            },
            std::chrono::milliseconds(0));
        ::_exit(0);
    }

public:
    // The browser engine shares its GL contexts with the application's, set before it starts.
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void initTestCase() {
        if (const QByteArray written = qgetenv(kEndedRun); !written.isEmpty()) {
            EndedRun(QFile::decodeName(written), qgetenv(kEnding) == "exit");
        }
        QVERIFY(kShippedCopy.isValid());
        const QDir source(QStringLiteral(VORNET_SOURCE_DIR "/data/vornets"));
        for (const QString& name : source.entryList(QDir::Files)) {
            QVERIFY(QFile::copy(source.filePath(name), kTemplatesFolder + name));
        }
    }
    void init() {
        // The preview's pages outlive their profile when the wizard closes in the wrong order.
        QTest::failOnWarning(QRegularExpression(u"Release of profile requested"_qs));
        previewDir = std::make_unique<QTemporaryDir>();
        configDir = std::make_unique<QTemporaryDir>();
        fakes = std::make_unique<FakePickers>();
        Start();
    }
    void cleanup() {
        wizard.reset();
        fakes.reset();
    }

    // Each picture shows pixel for pixel as drawn for the screen's pixel ratio: "name.png" at 1,
    // "name@2x.png" at 2 (CTest runs this a second time at 200 %), on a white panel with rounded
    // corners over the background colour.
    // A screen reader names every control the keyboard reaches, on every step and in each of its
    // modes, in the "New template" dialog and the progress of a run, by its own name or by the label
    // beside it (a value alone, such as a list's "18", is no name), and announces what kind it is
    // (never a bare pane). The preview's page names its own content.
    void everyControl_hasAName() {
        Start();
        const auto checkNames = [this](const QString& mode) {
            for (QWidget* control : wizard->findChildren<QWidget*>()) {
                const QWidget* browser = control->parentWidget();
                while (browser != nullptr && !browser->inherits("QWebEngineView")) {
                    browser = browser->parentWidget();
                }
                if ((control->focusPolicy() == Qt::NoFocus && !control->inherits("QProgressBar")) ||
                    !control->isVisible() || browser != nullptr) {
                    continue;
                }
                QAccessibleInterface* named = QAccessible::queryAccessibleInterface(control);
                const QString name = named->text(QAccessible::Name).trimmed();
                const QString which =
                    mode + u": "_qs + control->metaObject()->className() + u' ' + control->objectName() + u' ' + name;
                const bool valueOnly =
                    named->role() == QAccessible::ComboBox && name == named->text(QAccessible::Value);
                QVERIFY2((!name.isEmpty() && !valueOnly) || !named->relations(QAccessible::Label).isEmpty(),
                         qPrintable(which));
                QVERIFY2(named->role() != QAccessible::Client, qPrintable(which));
            }
        };
        for (const QString& actions : {u"tab1"_qs, u"tab2"_qs, u"tab3 click@customCodeBox"_qs, u"tab4"_qs, u"tab5"_qs,
                                       u"click@modifyExisting"_qs, u"tab1 click@newTemplateButton"_qs}) {
            Act(actions);
            checkNames(actions);
        }
        std::atomic<bool> checked = false;
        QTimer::singleShot(0, wizard.get(), [&] {
            checked = true;  // the dialog stays until this returns
            checkNames(u"a run"_qs);
        });
        RunAside(
            wizard.get(), u"A run"_qs,
            [&] {
                while (!checked) {
                    QThread::msleep(1);
                }
            },
            std::chrono::milliseconds(0));
    }

    void artwork_data() { AddTableRows(QFINDTESTDATA("wizard-artwork.txt")); }
    void artwork() {
        QFETCH(QStringList, row);
        const QImage face = wizard->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const qreal ratio = face.devicePixelRatio();
        if (row[0].contains(u',')) {
            const QPoint at(row[0].section(u',', 0, 0).toInt(), row[0].section(u',', 1).toInt());
            QCOMPARE(face.pixelColor(at * ratio), QColor(row[1]));
            return;
        }
        const QMap<QString, QWidget*> widgets{{QStringLiteral("next"), &wizard->NextButton()},
                                              {QStringLiteral("back"), &wizard->BackButton()},
                                              {QStringLiteral("tab1"), &wizard->CurrentTab(1)},
                                              {QStringLiteral("tab2"), &wizard->OtherTab(2)},
                                              {QStringLiteral("open"), &wizard->OpenDesignButton()}};
        const QImage expected = QImage(QStringLiteral(":/wizard/%1%2.png").arg(row[1], ratio > 1 ? u"@2x" : u""))
                                    .convertToFormat(QImage::Format_RGB32);
        QVERIFY(!expected.isNull());
        QCOMPARE(face.copy(QRect(widgets.value(row[0])->pos() * ratio, expected.size())), expected);
    }

    void actions_data() { AddTableRows(QFINDTESTDATA("wizard-actions.txt")); }
    void actions() {
        QFETCH(QStringList, row);
        QSignalSpy finished(wizard.get(), &QDialog::finished);
        fakes->folders.emplace_back(u"/unexpected"_qs);
        // The browser comes with the first preview; the window it goes into stays the same native
        // window (a new one flashes and may move).
        const WId window = wizard->winId();
        // A fresh wizard starts with the focus in the template grid.
        QCOMPARE(wizard->focusWidget(), wizard->Templates().Strip());
        Act(row[0] == u"-" ? QString() : row[0]);
        QCOMPARE(finished.count(), int(row[4] == u"closed"));
        QCOMPARE(finished.value(0).value(0, int(QDialog::Rejected)).toInt(), int(QDialog::Rejected));
        if (row[4] == u"open") {
            QCOMPARE(wizard->winId(), window);
            CheckStepShown(row[1].toInt());
        }
        QCOMPARE(wizard->Step(), row[1].toInt());
        QCOMPARE(wizard->Editor().View().Model().HasTemplate(), row[2] == u"yes");
        QCOMPARE(QFile::exists(PreviewFile()), row[3] == u"yes");
        // Loaded only in the step shown: elsewhere its custom code would run unseen.
        const HtmlCtrl* browser = wizard->Preview().Browser();
        QVERIFY(wizard->Step() == 4 || browser == nullptr || browser->page()->requestedUrl().isEmpty());
        QCOMPARE(fakes->messages.size(), int(row[5] == u"told"));
        QVERIFY(row[5] != u"told" || !QFile::exists(configDir->filePath(u"saved.vornetad"_qs)));
        QCOMPARE(fakes->questions.size(), int(row[5] == u"yes"));
        QCOMPARE(fakes->folders.size(), size_t(row[0].endsWith(u"@browse") ? 0 : 1));
        // Asking whether anything changed changes nothing: a size typed is not applied by the question.
        QCOMPARE(wizard->Editor().View().Model().Size(), Banner::kInitialSize);
        // A step button pressed from the keyboard keeps the focus, or hands it to the button that
        // goes on from there.
        if (const QString last = row[0].section(u' ', -1);
            row[4] == u"open" && (last.endsWith(u"@next") || last.endsWith(u"@back"))) {
            QAbstractButton* pressed = last.endsWith(u"next") ? &wizard->NextButton() : &wizard->BackButton();
            QAbstractButton* goesOn =
                pressed == &wizard->NextButton() ? &wizard->GenerateButton() : &wizard->NextButton();
            QCOMPARE(QApplication::focusWidget(), pressed->isEnabled() ? pressed : goesOn);
        }
    }

    // A desktop theme that sets its own font for the application once it is up (as qt6ct does)
    // leaves the wizard in the font its pages are laid out in: no label is cut or pushed out of its
    // page, on any step.
    void desktopFont_cutsNoText() {
        const QFont before = QApplication::font();
        const auto restore = qScopeGuard([&] { QApplication::setFont(before); });
        QApplication::setFont(QFont(u"DejaVu Sans"_qs, 11));
        Start();
        for (const QString& step : {u"tab1"_qs, u"tab2"_qs, u"tab3"_qs, u"tab5"_qs, u"click@modifyExisting"_qs}) {
            Act(step);
            for (const QLabel* label : wizard->findChildren<QLabel*>()) {
                if (label->isVisible() && !label->text().isEmpty()) {
                    QVERIFY2(label->width() >= label->sizeHint().width() &&
                                 label->parentWidget()->rect().contains(label->geometry()),
                             qPrintable(step + u' ' + label->text()));
                }
            }
        }
    }

    // What the user is told after generating (from the output step, into a fresh folder, one under a
    // regular file, or none), after removing the advert, or after leaving the options step when the
    // preview cannot be written; the step shown then, and the files the folder holds.
    void generate_data() { AddTableRows(QFINDTESTDATA("wizard-runs.txt")); }
    void generate() {
        QFETCH(QStringList, row);
        const QString run = row[0], folder = row[1];
        QString told = row[2] == u"-" ? QString() : QString(row[2]).replace(u"\\n"_qs, u"\n"_qs);
        QTemporaryDir out;
        const QString path = folder == u"none"      ? QString()
                             : folder == u"blocked" ? out.filePath(QStringLiteral("plain-file/sub/"))
                                                    : out.path() + u'/';
        QVERIFY(folder != u"blocked" || WriteAll(out.filePath(QStringLiteral("plain-file")), {}));
        if (run == u"static") {
            Field<QCheckBox>(wizard->Options(), u"staticMarkup"_qs)->setChecked(true);
        }
        if (run.startsWith(u"boxes")) {
            Field<QLineEdit>(wizard->Editor(), u"lineText1"_qs)->setText(u"Sale \u0378"_qs);
            fakes->confirms.push_back(run == u"boxes, yes");
        }
        // A preview is shown first, which one that cannot be written must not leave behind.
        if (run.startsWith(u"preview")) {
            Act(QStringLiteral("tab3 next back"));
            QVERIFY(!wizard->Preview().Browser()->isHidden());
            wizard->SetPreviewFolder(path);
        }
        if (run.startsWith(u"title zero")) {
            // Pasted: typing gives no such character.
            Field<QLineEdit>(wizard->Options(), u"adTitle"_qs)->setText(QStringLiteral("Sale\u0000!"));
        }
        if (run.endsWith(u"zero") || run.contains(u"code ")) {
            Field<QCheckBox>(wizard->Options(), u"customCodeBox"_qs)->setChecked(true);
            const int size = run.section(u"code "_qs, 1).section(u',', 0, 0).toInt();
            QString code = run.endsWith(u"zero") ? QStringLiteral("a\u0000b") : QString(size, u'a');
            // In lines, as HTML comes, which the box lays out quickly.
            for (qsizetype i = 63; i < code.size(); i += 64) {
                code[i] = u'\n';
            }
            Field<QPlainTextEdit>(wizard->Options(), u"customCode"_qs)->setPlainText(code);
            Field<QCheckBox>(wizard->Options(), u"customCodeBox"_qs)->setChecked(!run.endsWith(u", off"));
        }
        if (run.startsWith(u"preview")) {
            Act(QStringLiteral("next"));
            QVERIFY(wizard->Preview().Browser()->isHidden());
            // The step itself says why there is none, as the message did.
            const auto* notice = Field<QLabel>(wizard->Preview(), u"noPreview"_qs);
            QVERIFY2(notice->isVisible() && notice->text().contains(QString(told).replace(u"<out>"_qs, path)),
                     qPrintable(notice->text()));
        } else {
            Act(QStringLiteral("tab5"));
            Field<QLineEdit>(wizard->Output(), u"outputFolder"_qs)->setText(path);
            if (run.startsWith(u"remove")) {
                QVERIFY(WriteAll(path + u"p.html"_qs, "<body>mine<!--VornetAdBegin-->ad<!--VornetAdEnd--></body>"));
                QVERIFY(WriteAll(path + u"VornetAdStyle.css"_qs, "theirs"));
                Act(u"click@removeAdvert"_qs);
                Field<QListWidget>(wizard->Output(), u"pageList"_qs)->addItem(path + u"p.html"_qs);
            }
            if (run.startsWith(u"gone")) {
                Act(u"click@modifyExisting"_qs);
                Field<QListWidget>(wizard->Output(), u"pageList"_qs)->addItem(path + u"gone.html"_qs);
            }
            if (run == u"twin") {
                QVERIFY(WriteAll(path + u"VornetAdMap@2x.gif"_qs, "GIF89a, an earlier run's"));
            }
            if (run == u"gone, base") {
                QVERIFY(WriteAll(path + u"b.html"_qs, "<base href=/><body>mine</body>"));
                Field<QListWidget>(wizard->Output(), u"pageList"_qs)->addItem(path + u"b.html"_qs);
            }
            // The design is kept before the end is shown, which a logout may cut short.
            fakes->look = [this] {
                return QFile::exists(LastDesign());
            };
            Act(QStringLiteral("generate"));
            // What a policy needs for the block is shown once a block went into a page, a static one
            // too: the page, its image and its style sheet are there.
            QCOMPARE(Field(wizard->Output(), u"cspSources"_qs)->isHidden(), row[4].toInt() < 3);
        }
        CheckStepShown(row[3].toInt());
        // Text that would be drawn as boxes is asked about first, naming the letter by its code point
        // alone, since the question would draw it as a box too.
        QCOMPARE(fakes->questions.size(), int(run.startsWith(u"boxes")));
        QVERIFY(fakes->questions.isEmpty() || fakes->questions.constFirst().contains(u"holds the letter U+0378,"));
        // Settings a design cannot hold, from a run that wrote all the same, are told of before its end.
        const bool unkept = (run.contains(u"1048577") || run.endsWith(u"zero")) && row[4] != u"0";
        QCOMPARE(fakes->messages.size(), told.isEmpty() ? 0 : 1 + int(unkept));
        QVERIFY(!unkept || fakes->messages.constFirst().text.contains(u"could not be kept"));
        const FakePickers::Message message = fakes->messages.value(int(unkept));
        QVERIFY2(message.text.contains(told.replace(u"<out>"_qs, path)), qPrintable(message.text));
        // Whole in its box, which cuts a longer line in its middle.
        QCOMPARE(BoxText(message.text), message.text);
        QVERIFY(told.isEmpty() || message.icon == (told.startsWith(u"Done!") ? Pickers::MessageIcon::Information
                                                                             : Pickers::MessageIcon::Warning));
        QCOMPARE(message.looked, told.startsWith(u"Done!") && !unkept);
        QCOMPARE(path.isEmpty() ? 0 : int(QDir(path).entryList(QDir::Files).size()), row[4].toInt());
        QVERIFY(!run.startsWith(u"remove") || ReadAll(path + u"p.html"_qs) == "<body>mine</body>");
        QVERIFY(run != u"twin" || !QImage(path + u"VornetAdMap@2x.gif"_qs).isNull());
    }

    // Custom code changed since the last run, in this session or the one before, replaces the last
    // run's in the page instead of being put in beside it.
    // Runs with custom code A; a restart; B, which fails on the second page (write-protected); a
    // restart; C; D, in a second window opened before C. Each run takes out what the earlier ones put
    // in: the kept design's code after a restart, a run's that failed part way, whose code went into
    // some pages only, also after a restart, and the code another window kept since this one started.
    void changedCustomCode_replacesTheLastRuns() {
        QTemporaryDir out;
        const QStringList pages{out.filePath(u"1.html"_qs), out.filePath(u"2.html"_qs)};
        for (const QString& path : pages) {
            QVERIFY(WriteAll(path, "<html><body>\n</body></html>\n"));
        }
        std::unique_ptr<WizardDialog> second;
        for (const QString& code : {u"<p>A</p>"_qs, u"<p>B</p>"_qs, u"<p>C</p>"_qs, u"<p>D</p>"_qs}) {
            if (code == u"<p>B</p>") {
                Start();
            } else if (code == u"<p>C</p>") {
                Start();
                std::unique_ptr<WizardDialog> first = std::move(wizard);
                Start();
                second = std::exchange(wizard, std::move(first));
            } else if (code == u"<p>D</p>") {
                wizard = std::move(second);
            }
            Field<QCheckBox>(wizard->Options(), u"customCodeBox"_qs)->setChecked(true);
            Field<QPlainTextEdit>(wizard->Options(), u"customCode"_qs)->setPlainText(code);
            Act(u"tab5 click@modifyExisting"_qs);
            // Kept with the first run, the pages come back with the design after the restart.
            if (code == u"<p>A</p>") {
                fakes->files.assign(pages.begin(), pages.end());
                Act(u"click@addFile click@addFile"_qs);
            }
            QVERIFY(QFile::setPermissions(pages[1], code == u"<p>B</p>" ? QFile::ReadOwner
                                                                        : QFile::WriteOwner | QFile::ReadOwner));
            Act(u"generate"_qs);
            // Kept with the page it wrote alone: HTML after a block of the other one is never its.
            const QDir runs(configDir->filePath(u"runs"_qs));
            const QStringList kept = runs.entryList({u"run-*.vornetad"_qs}, QDir::Files);
            QVERIFY(code != u"<p>B</p>" || std::any_of(kept.begin(), kept.end(), [&](const QString& name) {
                        const QByteArray run = ReadAll(runs.filePath(name));
                        return run.contains("<p>B</p>") && run.contains("1.html") && !run.contains("2.html");
                    }));
        }
        for (const QString& path : pages) {
            const QByteArray page = ReadAll(path);
            QVERIFY2(page.count("<p>") == 1 && page.contains("<!--VornetAdEnd--><p>D</p>"), page.constData());
        }
        QVERIFY(fakes->messages[1].text.contains(u"2.html: "_qs));
        // One the window cannot read by its next run (a newer program's) is set aside as at the start,
        // and said to be, never written over.
        QVERIFY(WriteAll(LastDesign(), R"({"format": "vornetad-design", "version": 2})"));
        const qsizetype told = fakes->messages.size();
        Act(u"tab5 generate"_qs);
        QVERIFY(fakes->messages.size() > told && fakes->messages[told].text.contains(u"could not be read"_qs));
        QCOMPARE(QDir(configDir->path()).entryList({u"last.vornetad.bad-*"_qs}).size(), 1);
        // One kept for pages of another site: after a block here, the same HTML is the page's own.
        QVERIFY(WriteAll(LastDesign(), R"({"format": "vornetad-design", "version": 1, "customCodeEnabled": true,
                         "customCode": "<p>mine</p>", "output": {"mode": "modify", "pages": ["/elsewhere.html"]}})") &&
                WriteAll(pages[0], "<body><!--VornetAdBegin-->x<!--VornetAdEnd--><p>mine</p></body>"));
        Act(u"tab5 generate"_qs);
        QVERIFY(ReadAll(pages[0]).contains("<p>mine</p>"));
        // Also where it was kept at the start, and a design opened then names this page.
        QVERIFY(WriteAll(LastDesign(), R"({"format": "vornetad-design", "version": 1, "customCodeEnabled": true,
                         "customCode": "<p>mine</p>", "output": {"mode": "modify", "pages": ["/elsewhere.html"]}})") &&
                WriteAll(pages[0], "<body><!--VornetAdBegin-->x<!--VornetAdEnd--><p>mine</p></body>"));
        Start();
        const QString here = out.filePath(u"here.vornetad"_qs);
        QVERIFY(WriteAll(here, R"({"format": "vornetad-design", "version": 1,
                         "output": {"mode": "modify", "pages": ["1.html"]}})"));
        fakes->files.push_back(here);
        QTest::mouseClick(&wizard->OpenDesignButton(), Qt::LeftButton);
        Act(u"tab5 generate"_qs);
        QVERIFY(ReadAll(pages[0]).contains("<p>mine</p>"));
        // One opened: its runs put its code into its pages, wherever they were kept since, and though
        // it was turned off in the design after them.
        const QString opened = out.filePath(u"site.vornetad"_qs);
        QVERIFY(WriteAll(opened, R"({"format": "vornetad-design", "version": 1, "customCodeEnabled": false,
                         "customCode": "<p>E</p>", "output": {"mode": "modify", "pages": ["1.html"]}})") &&
                WriteAll(pages[0], "<body><!--VornetAdBegin-->x<!--VornetAdEnd--><p>E</p></body>"));
        fakes->files.push_back(opened);
        QTest::mouseClick(&wizard->OpenDesignButton(), Qt::LeftButton);
        Field<QCheckBox>(wizard->Options(), u"customCodeBox"_qs)->setChecked(true);
        Field<QPlainTextEdit>(wizard->Options(), u"customCode"_qs)->setPlainText(u"<p>F</p>"_qs);
        Act(u"tab5 generate"_qs);
        QVERIFY2(!ReadAll(pages[0]).contains("<p>E</p>") && ReadAll(pages[0]).contains("<p>F</p>"),
                 ReadAll(pages[0]).constData());
        // Elsewhere, after a block, the same HTML is the page's own.
        const QString other = out.filePath(u"other.vornetad"_qs);
        QVERIFY(WriteAll(other, R"({"format": "vornetad-design", "version": 1,
                         "output": {"mode": "modify", "pages": ["2.html"]}})") &&
                WriteAll(pages[1], "<body><!--VornetAdBegin-->x<!--VornetAdEnd--><p>E</p></body>"));
        fakes->files.push_back(other);
        QTest::mouseClick(&wizard->OpenDesignButton(), Qt::LeftButton);
        Act(u"tab5 generate"_qs);
        QVERIFY2(ReadAll(pages[1]).contains("<p>E</p>"), ReadAll(pages[1]).constData());
        // Page by page: a run over 1.html with X, then one over both with Y. X after the block of
        // 2.html, which the first never reached, is the page's own.
        for (const auto& [name, code, list] :
             {std::tuple{"x.vornetad", "X", "\"1.html\""}, std::tuple{"y.vornetad", "Y", "\"1.html\", \"2.html\""}}) {
            QVERIFY(
                WriteAll(out.filePath(QLatin1String(name)),
                         QByteArray("{\"format\": \"vornetad-design\", \"version\": 1, \"customCodeEnabled\": true, "
                                    "\"customCode\": \"<p>") +
                             code + "</p>\", \"output\": {\"mode\": \"modify\", \"pages\": [" + list + "]}}"));
            QVERIFY(WriteAll(pages[1], "<body><!--VornetAdBegin-->x<!--VornetAdEnd--><p>X</p></body>"));
            fakes->files.push_back(out.filePath(QLatin1String(name)));
            QTest::mouseClick(&wizard->OpenDesignButton(), Qt::LeftButton);
            Act(u"tab5 generate"_qs);
        }
        QVERIFY2(!ReadAll(pages[0]).contains("<p>X</p>") && ReadAll(pages[1]).contains("<p>X</p>"),
                 ReadAll(pages[1]).constData());
        // Runs with G over both pages, then H over the first alone, whose design is the one kept; after
        // a restart, I over both takes G out of the second page too.
        auto* list = Field<QListWidget>(wizard->Output(), u"pageList"_qs);
        for (const QString& code : {u"<p>G</p>"_qs, u"<p>H</p>"_qs, u"<p>I</p>"_qs}) {
            if (code == u"<p>I</p>") {
                Start();
                list = Field<QListWidget>(wizard->Output(), u"pageList"_qs);
            }
            for (const QString& path : pages) {
                QVERIFY(code != u"<p>G</p>" || WriteAll(path, "<html><body>\n</body></html>\n"));
            }
            list->clear();
            list->addItems(code == u"<p>H</p>" ? pages.first(1) : pages);
            Field<QCheckBox>(wizard->Options(), u"customCodeBox"_qs)->setChecked(true);
            Field<QPlainTextEdit>(wizard->Options(), u"customCode"_qs)->setPlainText(code);
            Act(u"tab5 generate"_qs);
        }
        for (const QString& path : pages) {
            const QByteArray page = ReadAll(path);
            QVERIFY2(page.count("<p>") == 1 && page.contains("<!--VornetAdEnd--><p>I</p>"), page.constData());
        }
        // The runs before it went with it: only its own is kept.
        QCOMPARE(QDir(configDir->filePath(u"runs"_qs)).entryList(QDir::Files).size(), 1);
        // Where a link stands for the folder of kept runs, no file it leads to is taken for one, nor
        // removed: it may be a folder of the user's own designs.
        const QString mine = out.filePath(u"mine"_qs);
        QVERIFY(QDir(configDir->filePath(u"runs"_qs)).removeRecursively() && QDir().mkpath(mine) &&
                QFile::link(mine, configDir->filePath(u"runs"_qs)) &&
                WriteAll(mine + u"/run-mine.vornetad"_qs,
                         R"({"format": "vornetad-design", "version": 1, "customCodeEnabled": true,
                         "customCode": "<p>J</p>", "output": {"mode": "modify", "pages": ["../1.html"]}})"));
        const qsizetype toldBefore = fakes->messages.size();
        Act(u"tab5 generate"_qs);
        QCOMPARE(QDir(mine).entryList(QDir::Files), QStringList{u"run-mine.vornetad"_qs});
        // The run's code is not kept then, and the user is told so.
        QVERIFY(std::any_of(fakes->messages.begin() + toldBefore, fakes->messages.end(),
                            [](const auto& message) { return message.text.contains(u"could not be kept"_qs); }));
    }

    // A run over many pages goes on a second thread: the window draws meanwhile, and once the run
    // lasts, a dialog counts the pages done, and those that failed, and stops the run after the page
    // in progress. Stop and then Esc leave the dialog shown, so that the window takes no input until
    // the run ends. The stop is taken back for the next run, which goes to its end without a dialog.
    void longRun_showsProgressAndStops() {
        QWidget window;
        window.show();
        const QStringList& pages = kRunPages;
        std::atomic<bool> looked = false;
        bool firstPageLasts = true;
        const auto run = [&](const FileDone& done) {
            RunReport report;
            for (const QString& page : pages) {
                if ((report.interrupted = StopRequested())) {
                    break;
                }
                report.files.append(page == pages[0] ? FileResult::Failure(page, u"refused"_qs)
                                                     : FileResult::Success(page));
                done(report.files.constLast());
                // The first page lasts until the test has looked at the dialog after Stop.
                for (int wait = 0; firstPageLasts && page == pages[0] && !looked && wait < 20000; ++wait) {
                    QThread::msleep(1);
                }
            }
            return report;
        };
        QString counted;
        bool shownAfterStop = false;
        int step = 0;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, &window, [&] {
            auto* progress = window.findChild<QProgressDialog*>();
            if (progress == nullptr || !progress->isVisible() || progress->value() != 1) {
                return;
            }
            if (step == 0) {
                counted = progress->labelText();
                progress->findChild<QPushButton*>()->click();
                shownAfterStop = progress->isVisible();
            } else if (step == 1) {
                QTest::keyClick(progress, Qt::Key_Escape);
                shownAfterStop = shownAfterStop && progress->isVisible();
            } else if (step == 2) {
                shownAfterStop = shownAfterStop && !progress->findChild<QPushButton*>()->isEnabled();
                looked = true;
            }
            ++step;
        });
        user.start(10);
        const RunReport stopped = RunWithProgress(&window, pages, run, std::chrono::milliseconds(0));
        QCOMPARE(counted, u"1 of 3 pages done, 1 not written"_qs);
        QVERIFY(shownAfterStop);
        QVERIFY(stopped.interrupted);
        QCOMPARE(stopped.files.size(), 1);
        QVERIFY(!StopRequested());

        user.stop();
        firstPageLasts = false;
        const RunReport whole = RunWithProgress(&window, pages, run, std::chrono::hours(1));
        QVERIFY(!whole.interrupted);
        QCOMPARE(whole.files.size(), 3);

        // A run that waits for another one's turn in a folder says so, until the folder is let go.
        QTemporaryDir folder;
        const int held = ::open(QFile::encodeName(folder.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
        QString waitShown;
        int ticks = 0;
        QTimer other;
        QObject::connect(&other, &QTimer::timeout, &window, [&] {
            const auto* progress = window.findChild<QProgressDialog*>();
            if (progress != nullptr && progress->labelText().startsWith(u"Waiting"_qs)) {
                waitShown = progress->labelText();
            }
            if (!waitShown.isEmpty() || ++ticks == 500) {
                ::close(held);
                other.stop();
            }
        });
        other.start(10);
        (void)RunWithProgress(
            &window, pages,
            [&](const FileDone&) {
                const FolderLock lock(folder.path());
                return RunReport();
            },
            std::chrono::milliseconds(0));
        QCOMPARE(waitShown, u"Waiting for another run to finish writing into "_qs + folder.path() + u'\u2026');
    }

    // A signal (a logout, say) during a page stops the run after it, and then ends the wizard as
    // asked; so does the toolkit's exit() when the display goes, before it destroys anything the
    // run uses. The run goes in a process of its own (EndedRun), started afresh: one forked from
    // this one, whose browser engine runs threads, could wait for ever on a lock one of them held.
    void endedRun_stopsAfterThePageInProgress_data() {
        QTest::addColumn<QByteArray>("ending");
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("signal") << QByteArray("signal") << int(SIGTERM) << 0;
        QTest::newRow("the toolkit's exit()") << QByteArray("exit") << 0 << 3;
    }
    void endedRun_stopsAfterThePageInProgress() {
        QFETCH(QByteArray, ending);
        QFETCH(int, signal);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const QString written = dir.filePath(u"written"_qs);
        qputenv(kEndedRun, QFile::encodeName(written));
        qputenv(kEnding, ending);
        const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
        char* const argv[] = {const_cast<char*>(self.constData()), nullptr};
        pid_t child = 0;
        const int spawned = ::posix_spawn(&child, self.constData(), nullptr, nullptr, argv, environ);
        qunsetenv(kEndedRun);
        qunsetenv(kEnding);
        QCOMPARE(spawned, 0);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        const bool ended = signal != 0 ? WIFSIGNALED(status) && WTERMSIG(status) == signal
                                       : WIFEXITED(status) && WEXITSTATUS(status) == exitCode;
        QVERIFY2(ended, qPrintable(QString::number(status)));
        QCOMPARE(ReadAll(written), "/p/1.html\n");
    }

    // On a screen smaller than the window (a large scale on a small screen; CTest runs this on one),
    // the window fits it, and the keyboard's focus brings what it reaches into sight, Next and
    // Generate among them; a click on a tab still goes to its step.
    void smallScreen_bringsWhatHasTheFocusIntoSight() {
        const QRect room = wizard->screen()->availableGeometry();
        if (room.height() >= 600) {
            QSKIP("the screen has room for the whole window");
        }
        QVERIFY(wizard->width() <= room.width() && wizard->height() <= room.height());
        for (QWidget* button : std::initializer_list<QWidget*>{&wizard->NextButton(), &wizard->GenerateButton()}) {
            wizard->OpenDesignButton().setFocus();
            for (int tab = 0; tab < 80 && QApplication::focusWidget() != button; ++tab) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            QCOMPARE(QApplication::focusWidget(), button);
            QVERIFY(wizard->rect().contains(QRect(button->mapTo(wizard.get(), QPoint(0, 0)), button->size())));
            Act(u"tab5"_qs);
        }
        // So does the wizard's own move of the focus, to a field to fill in.
        Field<QLineEdit>(wizard->Output(), u"outputFolder"_qs)->clear();
        QTest::mouseClick(&wizard->GenerateButton(), Qt::LeftButton);
        QWidget* field = QApplication::focusWidget();
        QCOMPARE(field->objectName(), u"outputFolder"_qs);
        QVERIFY(wizard->rect().contains(QRect(field->mapTo(wizard.get(), QPoint(0, 0)), field->size())));
        QWidget* canvas = wizard->findChild<QScrollArea*>()->widget();
        QTest::mouseClick(canvas, Qt::LeftButton, {}, wizard->OtherTab(3).geometry().center());
        CheckStepShown(3);
    }

    // Without templates every step still works, and the templates step says where they were looked
    // for; a template that cannot be decoded is named, with why, when the user leaves the templates
    // step, which stays shown (not when the user clicks its own tab: nothing moves).
    void emptyOrRefusedTemplates() {
        QTemporaryDir folder;
        Start(folder.path() + u'/');
        QCOMPARE(wizard->Catalog().Count(), 0);
        const auto* note = Field<QLabel>(wizard->Templates(), u"noTemplates"_qs);
        QVERIFY(note->isVisible() && note->text().contains(folder.path()));
        QVERIFY(note->focusPolicy() & Qt::TabFocus);
        Act(QStringLiteral("next next next next tab1"));
        CheckStepShown(1);
        QVERIFY(fakes->messages.isEmpty());

        QVERIFY(WriteAll(folder.filePath(u"broken.gif"_qs), "GIF89a, but no more"));
        Start(folder.path() + u'/');
        Act(QStringLiteral("tab1 next tab3"));
        CheckStepShown(1);
        QCOMPARE(fakes->messages.size(), 2);
        QVERIFY2(fakes->messages[1].text.contains(u"broken.gif\" cannot be used: "_qs),
                 qPrintable(fakes->messages[1].text));
    }

    // Settings changed on every page, the size applied before another template was chosen (whose
    // square then stays where the first one put it), the click-through, 2x image and print options
    // ticked, and the wizard clicked through to generate. The design it kept for the next start,
    // saved again with "Save design…", makes the command line program write (and print) the same
    // bytes and name the same policy sources as the output step shows and copies.
    void clickedThroughToFiles_sameBytesAsTheCli() {
        QTemporaryDir templates;
        const QImage shipped(kTemplatesFolder + u"curl-blue.gif"_qs);
        QVERIFY(QFile::copy(kTemplatesFolder + u"curl-blue.gif"_qs, templates.filePath(u"one.gif"_qs)));
        QVERIFY(WriteTestGif(templates.filePath(u"two.gif"_qs), shipped.copy(0, 0, 400, 400)));
        Start(templates.path() + u'/');
        QTemporaryDir fromWizard;
        QTemporaryDir fromCli;

        Act(u"next"_qs);
        Field<QLineEdit>(wizard->Editor(), u"bannerSizeEdit"_qs)->setText(u"200"_qs);
        Act(u"click@resizeButton click@lineCheck2 click@leftButton back"_qs);
        TemplateStrip* strip = wizard->Templates().Strip();
        QTest::mouseClick(strip, Qt::LeftButton, {}, strip->CellOrigin(0, 1) + QPoint(5, 5));
        Act(QStringLiteral("next next"));
        Field<QLineEdit>(wizard->Options(), u"linkUrl"_qs)->setText(QStringLiteral("https://example.com/?a&b=ü"));
        Field<QLineEdit>(wizard->Options(), u"adTitle"_qs)->setText(QStringLiteral("Spring \"sale\" <now>"));
        Act(u"click@clickThrough click@hidpi click@noPrint tab5"_qs);
        Field<QLineEdit>(wizard->Output(), u"outputFolder"_qs)->setText(fromWizard.path() + u'/');
        Act(QStringLiteral("generate"));
        QCOMPARE(fakes->messages.value(0).text, QStringLiteral("Done!"));
        const QString saved = configDir->filePath(QStringLiteral("saved.vornetad"));
        fakes->files.push_back(saved);
        QTest::mouseClick(&wizard->SaveDesignButton(), Qt::LeftButton);
        QCOMPARE(ReadAll(saved), ReadAll(LastDesign()));
        QCOMPARE(ReadDesign(saved).design.cropOffset, std::optional(150));
        // The link as typed; only the pages get its query's letters percent-encoded.
        QCOMPARE(ReadDesign(saved).design.linkUrl, QStringLiteral("https://example.com/?a&b=ü"));

        QVERIFY(!Cli({u"generate"_qs, u"--design"_qs, saved, u"--out"_qs, fromCli.path()}).isEmpty());
        const QStringList names = QDir(fromWizard.path()).entryList(QDir::Files);
        QCOMPARE(names, (QStringList{u"VornetAdCode.html"_qs, u"VornetAdMap.gif"_qs, u"VornetAdMap@2x.gif"_qs,
                                     u"VornetAdStyle.css"_qs}));
        QCOMPARE(QDir(fromCli.path()).entryList(QDir::Files), names);
        for (const QString& name : names) {
            QCOMPARE(ReadAll(fromCli.filePath(name)), ReadAll(fromWizard.filePath(name)));
        }

        auto* sources = Field<QPlainTextEdit>(wizard->Output(), u"cspSources"_qs);
        QTest::mouseClick(Field(wizard->Output(), u"copyCspSources"_qs), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), sources->toPlainText());
        QCOMPARE(Cli({u"code"_qs, u"--design"_qs, saved, u"--csp-hash"_qs}), sources->toPlainText().toUtf8() + "\n.");
        QCOMPARE(Cli({u"code"_qs, u"--design"_qs, saved, u"--css"_qs}),
                 ReadAll(fromWizard.filePath(u"VornetAdStyle.css"_qs)) + '.');
    }

    // A design kept from the last run at start, or one opened with "Open design…": shown on every
    // page, its banner composed, or (a file that cannot be read) nothing changed, the user told once
    // and a kept file moved aside with its bytes. "Save design…" over a page or note leaves it whole.
    void designAtStartOrOpened_data() { AddTableRows(QFINDTESTDATA("wizard-designs.txt")); }
    void designAtStartOrOpened() {
        QFETCH(QStringList, row);
        const QString how = row[0], file = row[1], message = row[2] == u"-" ? QString() : row[2];
        // The design's template and the first template of the catalog both fail.
        const bool noTemplate = file == u"gone, first broken";
        // Every setting away from its default, the custom code in bytes the code box cannot show.
        Design design = ReadDesign(QFINDTESTDATA("../design/golden/every-setting.vornetad")).design;
        if (file == u"long") {
            // Longer than a line field takes unless told otherwise.
            design.adTitle = QString(40000, u't');
            design.linkUrl = u"http://example.com/?q="_qs + QString(40000, u'q') + u"&end=1"_qs;
            design.lines[0].text = QString(40000, u'l');
        }
        if (noTemplate) {
            // Sized and not cropped: the square is centred on whatever template there is, here none.
            design.cropOffset.reset();
        }
        if (how == u"open, broken template passed") {
            // Where a square centred on a template without pixels would lie, placed there.
            design.cropOffset = Banner::CentredCrop(QSize(0, 0), *design.size).x();
        }
        if (file == u"unsized") {
            design.size.reset();
            design.cropOffset = 60;
        }
        int index = file == u"design" || file == u"long" || file == u"unsized" ? 2 : file == u"outside" ? -1 : 0;
        design.SetTemplatePath(index == 2 ? wizard->Catalog().PathAt(2) : configDir->filePath(file + u".gif"));
        if (file == u"outside") {
            QVERIFY(WriteTestGif(design.TemplatePath(), SolidTemplate(QColor(90, 200, 90), 600)));
        }
        const bool save = how == u"save";
        const bool broken = file.startsWith(u"broken");
        Design expected = broken || file == u"unreachable" || save ? Design() : design;
        if (index >= 0) {
            expected.SetTemplatePath(wizard->Catalog().PathAt(index));
        }
        const QByteArray bytes = broken ? QByteArray("{\"format\": \"vornetad-design\",")
                                 : save ? QByteArray("<html><body><h1>My page</h1></body></html>\n")
                                        : DesignJson(design);
        // A kept design in a folder so deep that a name aside is longer than the system takes.
        QString deep = configDir->path();
        while (file == u"broken, name aside too long" && deep.size() < 4070) {
            deep += u'/' + QString(std::min<qsizetype>(200, 4070 - deep.size()), u'd');
        }
        const QString path = how != u"start" ? configDir->filePath(save ? file : QStringLiteral("opened.vornetad"))
                             : deep != configDir->path() ? deep + u"/last.vornetad"_qs
                                                         : LastDesign();
        QVERIFY(QDir().mkpath(QFileInfo(path).path()) && WriteAll(path, bytes));
        // Earlier copies under every name the file could be moved aside to for a while.
        QStringList earlier;
        for (int second = 0; file == u"broken, names aside taken" && second < 30; ++second) {
            earlier.append(LastDesign() + u".bad-"_qs +
                           QDateTime::currentDateTime().addSecs(second).toString(u"yyyyMMdd-HHmmss"_qs));
            QVERIFY(WriteAll(earlier.constLast(), "an earlier copy"));
        }
        QTemporaryDir templates;
        if (how == u"start") {
            // Behind a file where a folder should be, nothing is known to be there to move aside.
            const QString inFile = configDir->filePath(u"in-file"_qs);
            QVERIFY(file != u"unreachable" || WriteAll(inFile, {}));
            Start(kTemplatesFolder, file == u"unreachable" ? inFile + u"/last.vornetad"_qs : path);
        } else {
            if (noTemplate) {
                // Opened on the last step, where no later step looks at the template again.
                QVERIFY(WriteAll(templates.filePath(u"a.gif"_qs), "GIF89a"));
                QVERIFY(QFile::copy(kTemplatesFolder + u"curl-blue.gif"_qs, templates.filePath(u"c.gif"_qs)));
                Start(templates.path() + u'/');
                wizard->Templates().SelectTemplate(templates.filePath(u"c.gif"_qs));
                Act(u"tab5"_qs);
                QCOMPARE(wizard->Step(), 5);
                fakes->confirms.push_back(true);  // another template chosen than the first
                index = 0;
                expected.SetTemplatePath(wizard->Catalog().PathAt(0));
            }
            // Typed and not kept: the design replaces it only where the user says so.
            if (how.startsWith(u"open over")) {
                Act(u"tab2"_qs);
                Field<QLineEdit>(wizard->Editor(), u"lineText1"_qs)->setText(u"typed"_qs);
                fakes->confirms.push_back(how == u"open over typed, yes");
                expected = how == u"open over typed, yes" ? expected : wizard->GatherDesign();
                index = how == u"open over typed, yes" ? index : wizard->Templates().Strip()->SelectedIndex();
            }
            fakes->files.push_back(path);
            QTest::mouseClick(save ? &wizard->SaveDesignButton() : &wizard->OpenDesignButton(), Qt::LeftButton);
            QCOMPARE(fakes->questions.size(), how.startsWith(u"open over") || noTemplate ? 1 : 0);
            if (how == u"open, size retyped") {
                Act(u"tab2"_qs);
                auto* size = Field<QLineEdit>(wizard->Editor(), u"bannerSizeEdit"_qs);
                const QString was = size->text();
                size->selectAll();
                QTest::keyClicks(size, was);
            }
            if (how == u"open, broken template passed") {
                // Refused on leaving the templates step, it has loaded no pixels the square leaves for.
                QVERIFY(WriteAll(configDir->filePath(u"broken.gif"_qs), "GIF89a"));
                Act(u"tab1"_qs);
                wizard->Templates().SelectTemplate(configDir->filePath(u"broken.gif"_qs));
                Act(u"next"_qs);
                wizard->Templates().SelectTemplate(design.TemplatePath());
                Act(u"next"_qs);
            }
        }

        QTRY_COMPARE(fakes->messages.size(), message.isEmpty() ? 0 : 1);
        QVERIFY(message.isEmpty() || fakes->messages.constFirst().text.contains(message));
        QCOMPARE(wizard->GatherDesign(), expected);
        QCOMPARE(wizard->Templates().Strip()->SelectedIndex(), index);
        QVERIFY(!noTemplate || wizard->Step() == 1);
        if (!broken && file != u"unreachable" && !save) {
            Banner banner;
            expected.ComposeInto(banner, LoadTemplateImage(expected.TemplatePath()).image);
            QCOMPARE(wizard->Editor().View().Model().Composed(), banner.Composed());
        }
        for (const QString& copy : earlier) {
            QCOMPARE(ReadAll(copy), "an earlier copy");
        }
        const QDir keptIn = QFileInfo(path).dir();
        QStringList aside = keptIn.entryList({QStringLiteral("last.vornetad.bad-*")});
        aside.removeIf([&](const QString& name) { return earlier.contains(keptIn.filePath(name)); });
        QCOMPARE(aside.size(), how == u"start" && (file == u"broken" || !earlier.isEmpty()) ? 1 : 0);
        QCOMPARE(ReadAll(keptIn.filePath(aside.value(0, QFileInfo(path).fileName()))), bytes);
        if (noTemplate) {
            // Another template chosen then: the square lies on it, not where it lay on nothing.
            wizard->Templates().SelectTemplate(templates.filePath(u"c.gif"_qs));
            Act(u"tab2"_qs);
            const Banner& banner = wizard->Editor().View().Model();
            QCOMPARE(banner.CropOffset(), Banner::CentredCrop(banner.TemplateSize(), banner.Size()));
        }
    }

    // The installed-style program: resources, pages and the first paint, then the probe closes it.
    // Qt's own options are Qt's; any other argument is refused before a window opens, rather than
    // being passed over without a word.
    void program_startsPaintsTheWizardAndEnds_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("none") << QStringList() << 0 << QByteArray("first paint after ");
        QTest::newRow("Qt's option") << QStringList{u"-style"_qs, u"fusion"_qs} << 0
                                     << QByteArray("first paint after ");
        QTest::newRow("the browser's switches")
            << QStringList{u"--webEngineArgs"_qs, u"--disable-gpu"_qs} << 0 << QByteArray("first paint after ");
        QTest::newRow("unknown option") << QStringList{u"--bogus"_qs} << 2 << QByteArray("\"--bogus\" is no option");
        QTest::newRow("a design") << QStringList{u"given.vornetad"_qs} << 2 << QByteArray("\"given.vornetad\" is no");
        QTest::newRow("misspelt option") << QStringList{u"--desgin"_qs, u"x"_qs} << 2
                                         << QByteArray("\"--desgin\" is no option");
        QTest::newRow("Qt's option without its value")
            << QStringList{u"-style"_qs} << 2 << QByteArray("\"-style\" needs a value");
        QTest::newRow("the version") << QStringList{u"--version"_qs} << 0 << QByteArray("vornetad ");
        // A script reading it would take nothing for the version.
        QTest::newRow("the help on a full disk")
            << QStringList{u">/dev/full"_qs, u"--help"_qs} << 1
            << QByteArray("could not be written to standard output: No space left on device");
    }
    void program_startsPaintsTheWizardAndEnds() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, said);
        QProcess program;
        if (arguments.value(0) == u">/dev/full") {
            program.setStandardOutputFile(arguments.takeFirst().mid(1));
        }
        program.start(u"env"_qs,
                      QStringList{u"VORNET_EXIT_AFTER_FIRST_PAINT=1"_qs, u"XDG_CONFIG_HOME="_qs + configDir->path(),
                                  QStringLiteral(VORNET_BINARY_DIR "/bin/vornetad")} +
                          arguments);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        const QByteArray output = exitCode == 0 ? program.readAllStandardOutput() : program.readAllStandardError();
        QVERIFY2(output.contains(said), output.constData());
    }
};

QTEST_MAIN(tst_WizardDialog)

#include "tst_WizardDialog.moc"
