#include "BannerView.h"
#include "EditorPage.h"
#include "FakePickers.h"
#include "HtmlCtrl.h"
#include "OptionsPage.h"
#include "OutputPage.h"
#include "PreviewPage.h"
#include "SkinButton.h"
#include "TemplateImage.h"
#include "TemplateStrip.h"
#include "TemplatesPage.h"
#include "TestFiles.h"
#include "TestGif.h"
#include "WizardDialog.h"
#include "design/DesignFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kTemplatesFolder = QStringLiteral(VORNET_SOURCE_DIR "/data/vornets/");
const QString kPreviewPage = QStringLiteral("adPreview.html");

// The output page's folder field: the line edit that does not hold the file name.
void SetOutputFolder(OutputPage& page, const QString& folder) {
    const QList<QLineEdit*> edits = page.findChildren<QLineEdit*>();
    for (QLineEdit* edit : edits) {
        if (edit->text() != u"VornetAdCode.html") {
            edit->setText(folder);
        }
    }
}

// The options page's line edit that shows `current`.
QLineEdit* OptionsField(OptionsPage& page, const QString& current) {
    const QList<QLineEdit*> edits = page.findChildren<QLineEdit*>();
    for (QLineEdit* edit : edits) {
        if (edit->text() == current) {
            return edit;
        }
    }
    return nullptr;
}

QPoint TabCentre(WizardDialog& wizard, int n) {
    return wizard.OtherTab(n).geometry().center();
}

// The files of a folder, by name.
QMap<QString, QByteArray> FolderContents(const QString& folder) {
    QMap<QString, QByteArray> contents;
    const QStringList names = QDir(folder).entryList(QDir::Files);
    for (const QString& name : names) {
        QFile file(QDir(folder).filePath(name));
        if (file.open(QIODevice::ReadOnly)) {
            contents.insert(name, file.readAll());
        }
    }
    return contents;
}

}  // namespace

class TestWizardDialog : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void start_templatesStepWithBackAndGenerateDisabled();
    void artwork_data();
    void artwork();
    void eachStep_buttonsTabsAndPage_data();
    void eachStep_buttonsTabsAndPage();
    void actions_data();
    void actions();
    void leavingOptionsTwice_writesPreviewTwice();
    void generate_data();
    void generate();
    void enterDoesNothing_escapeOutsidePagesCloses();
    void closeBoxEndsTheDialog();
    void emptyTemplatesFolder_allStepsStillWork();
    void clickedThroughToFiles_sameBytesAsTheCli();
    void designAtStartOrOpened_data();
    void designAtStartOrOpened();
    void program_startsPaintsTheWizardAndEnds();

private:
    void Start(const QString& templatesFolder = kTemplatesFolder);
    void Act(const QString& action);
    void CheckStepShown(int step);
    QString LastDesign() const { return configDir->filePath(QStringLiteral("last.vornetad")); }

    std::unique_ptr<FakePickers> fakes;
    std::unique_ptr<QTemporaryDir> previewDir;
    std::unique_ptr<QTemporaryDir> configDir;
    std::unique_ptr<WizardDialog> wizard;
};

void TestWizardDialog::init() {
    previewDir = std::make_unique<QTemporaryDir>();
    configDir = std::make_unique<QTemporaryDir>();
    fakes = std::make_unique<FakePickers>();
    Start();
}

// A new wizard, shown, keeping its design in the test's own configuration folder.
void TestWizardDialog::Start(const QString& templatesFolder) {
    wizard.reset();
    // The user's own templates would go beside the design, in the test's folder.
    wizard = std::make_unique<WizardDialog>(*fakes, TemplateSources{templatesFolder, configDir->filePath(QStringLiteral("vornets"))},
                                            LastDesign());
    wizard->SetPreviewFolder(previewDir->path());
    wizard->show();
    QVERIFY(QTest::qWaitForWindowExposed(wizard.get()));
}

void TestWizardDialog::cleanup() {
    wizard.reset();
    fakes.reset();
    previewDir.reset();
    configDir.reset();
}

// next, back, generate: click that button; tabN: click the tab of step N.
void TestWizardDialog::Act(const QString& action) {
    if (action == u"next") {
        QTest::mouseClick(&wizard->NextButton(), Qt::LeftButton);
    } else if (action == u"back") {
        QTest::mouseClick(&wizard->BackButton(), Qt::LeftButton);
    } else if (action == u"generate") {
        QTest::mouseClick(&wizard->GenerateButton(), Qt::LeftButton);
    } else if (action.startsWith(u"tab")) {
        QTest::mouseClick(wizard.get(), Qt::LeftButton, {}, TabCentre(*wizard, action.mid(3).toInt()));
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown action ") + action));
    }
}

void TestWizardDialog::CheckStepShown(int step) {
    QCOMPARE(wizard->Step(), step);
    QCOMPARE(wizard->BackButton().isEnabled(), step > 1);
    QCOMPARE(wizard->NextButton().isEnabled(), step < 5);
    QCOMPARE(wizard->GenerateButton().isEnabled(), step == 5);
    QWidget* pages[] = {&wizard->Templates(), &wizard->Editor(), &wizard->Options(), &wizard->Preview(),
                        &wizard->Output()};
    for (int n = 1; n <= 5; ++n) {
        QCOMPARE(wizard->CurrentTab(n).isVisible(), n == step);
        QCOMPARE(wizard->OtherTab(n).isVisible(), n != step);
        QCOMPARE(pages[n - 1]->isVisible(), n == step);
    }
}

void TestWizardDialog::start_templatesStepWithBackAndGenerateDisabled() {
    CheckStepShown(1);
    QCOMPARE(wizard->windowTitle(), QStringLiteral("Vornet Ad Wizard"));
    QCOMPARE(wizard->size(), QSize(588, 486));
    QVERIFY(wizard->Catalog().Count() > 0);
    QVERIFY(!wizard->Editor().View().Model().HasTemplate());
    // The panel is white with a rounded corner; the tab row sits on the background colour.
    const QImage face = wizard->grab().toImage();
    // The panel reaches 7 pixels above and below the pages.
    QCOMPARE(face.pixelColor(300, 40), QColor(Qt::white));
    QCOMPARE(face.pixelColor(300, 444), QColor(Qt::white));
    QCOMPARE(face.pixelColor(5, 37), QColor(150, 150, 170));
    QCOMPARE(face.pixelColor(12, 44), QColor(Qt::white));
    QCOMPARE(face.pixelColor(2, 2), QColor(150, 150, 170));
}

// Each picture shows pixel for pixel as drawn for the screen's pixel ratio: "name.png" at 1,
// "name@2x.png" at 2 (CTest runs this a second time at 200 %).
void TestWizardDialog::artwork_data() {
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("file");
    QTest::newRow("next button") << "next"
                                 << "next-normal";
    QTest::newRow("back button, disabled") << "back"
                                           << "back-disabled";
    QTest::newRow("current tab") << "tab1"
                                 << "tab-templates-current";
    QTest::newRow("other tab") << "tab2"
                               << "tab-editor-other";
    QTest::newRow("open design button") << "open"
                                        << "open-design-normal";
}

void TestWizardDialog::artwork() {
    QFETCH(QString, widget);
    QFETCH(QString, file);
    const QMap<QString, QWidget*> widgets{{QStringLiteral("next"), &wizard->NextButton()},
                                          {QStringLiteral("back"), &wizard->BackButton()},
                                          {QStringLiteral("tab1"), &wizard->CurrentTab(1)},
                                          {QStringLiteral("tab2"), &wizard->OtherTab(2)},
                                          {QStringLiteral("open"), &wizard->OpenDesignButton()}};
    const QImage face = wizard->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const qreal ratio = face.devicePixelRatio();
    const QImage expected = QImage(QStringLiteral(":/wizard/%1%2.png").arg(file, ratio > 1 ? u"@2x" : u""))
                                .convertToFormat(QImage::Format_RGB32);
    QVERIFY(!expected.isNull());
    QCOMPARE(face.copy(QRect(widgets.value(widget)->pos() * ratio, expected.size())), expected);
}

void TestWizardDialog::eachStep_buttonsTabsAndPage_data() {
    QTest::addColumn<int>("step");
    for (int step = 1; step <= 5; ++step) {
        QTest::addRow("step %d", step) << step;
    }
}

void TestWizardDialog::eachStep_buttonsTabsAndPage() {
    QFETCH(int, step);
    for (int n = 1; n < step; ++n) {
        Act(QStringLiteral("next"));
    }
    CheckStepShown(step);
}

// A fresh wizard runs the actions; then the step, whether the banner holds the chosen template
// and whether preview files were written.
void TestWizardDialog::actions_data() {
    QTest::addColumn<QString>("actions");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("templateLoaded");
    QTest::addColumn<bool>("previewWritten");

    QTest::newRow("next from templates loads the template") << "next" << 2 << true << false;
    QTest::newRow("options tab from templates loads, no preview") << "tab3" << 3 << true << false;
    QTest::newRow("templates tab on templates loads and stays") << "tab1" << 1 << true << false;
    QTest::newRow("next from options writes the preview") << "next next next" << 4 << true << true;
    QTest::newRow("preview tab from options writes the preview") << "next next tab4" << 4 << true << true;
    QTest::newRow("options tab on options writes the preview") << "tab3 tab3" << 3 << true << true;
    QTest::newRow("output tab from options writes the preview") << "tab3 tab5" << 5 << true << true;
    QTest::newRow("preview tab from editor: no preview") << "tab2 tab4" << 4 << true << false;
    QTest::newRow("back from options: no preview") << "tab3 back" << 2 << true << false;
    QTest::newRow("back from preview and from options: no preview") << "tab4 back back" << 2 << true << false;
    QTest::newRow("back to options, then a tab away: preview written") << "tab4 back tab2" << 2 << true << true;
    QTest::newRow("next stops at output") << "tab5 tab5 tab4 next" << 5 << true << false;
    QTest::newRow("back to templates, then a tab: template loaded again") << "next back tab2" << 2 << true << false;
}

void TestWizardDialog::actions() {
    QFETCH(QString, actions);
    QFETCH(int, step);
    QFETCH(bool, templateLoaded);
    QFETCH(bool, previewWritten);

    // The browser comes with the first preview; the window it goes into stays the same native
    // window (a new one flashes and may move).
    const WId window = wizard->winId();
    const QStringList list = actions.split(QLatin1Char(' '));
    for (const QString& action : list) {
        Act(action);
    }
    QCOMPARE(wizard->winId(), window);
    CheckStepShown(step);
    QCOMPARE(wizard->Editor().View().Model().HasTemplate(), templateLoaded);
    QCOMPARE(QFile::exists(QDir(previewDir->path()).filePath(kPreviewPage)), previewWritten);
    QVERIFY(fakes->messages.isEmpty());
}

void TestWizardDialog::leavingOptionsTwice_writesPreviewTwice() {
    const QString page = QDir(previewDir->path()).filePath(kPreviewPage);
    Act(QStringLiteral("tab3"));
    Act(QStringLiteral("next"));
    QVERIFY(QFile::exists(page));
    const QByteArray first = FolderContents(previewDir->path()).value(kPreviewPage);
    QVERIFY(QFile::remove(page));
    Act(QStringLiteral("back"));
    QVERIFY(!QFile::exists(page));
    Act(QStringLiteral("next"));
    QVERIFY(QFile::exists(page));
    QCOMPARE(FolderContents(previewDir->path()).value(kPreviewPage), first);
}

// run: "generate" (from the output step) or "preview" (leaving the options step after a preview
// that was written); folder: "ok" a fresh folder, "blocked" a folder under a regular file, "" none;
// failed: the files the warning names, none for "Done!".
void TestWizardDialog::generate_data() {
    QTest::addColumn<QString>("run");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("failed");

    // A page is checked before anything is written on its account, so a page that cannot be
    // written is the only file named.
    QTest::newRow("everything written: Done!") << "generate"
                                               << "ok" << QStringList();
    QTest::newRow("nothing writable: warning") << "generate"
                                               << "blocked" << QStringList{QStringLiteral("VornetAdCode.html")};
    QTest::newRow("no folder: nothing happens") << "generate"
                                                << "" << QStringList();
    QTest::newRow("zero character in the custom code: warning, nothing written") << "generate"
                                                                                 << "zero" << QStringList();
    QTest::newRow("remove mode: the advert taken out, Done!") << "remove"
                                                              << "ok" << QStringList();
    QTest::newRow("preview not writable: warning, no older preview shown")
        << "preview"
        << "blocked" << QStringList{QStringLiteral("adPreview.html")};
}

void TestWizardDialog::generate() {
    QFETCH(QString, run);
    QFETCH(QString, folder);
    QFETCH(QStringList, failed);

    QTemporaryDir out;
    QString path;
    if (folder == u"ok") {
        path = out.path() + QLatin1Char('/');
    } else if (folder == u"blocked") {
        QFile file(out.filePath(QStringLiteral("plain-file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        path = file.fileName() + QStringLiteral("/sub/");
    } else if (folder == u"zero") {
        path = out.path() + QLatin1Char('/');
        wizard->Options().findChild<QCheckBox*>(QStringLiteral("customCodeBox"))->setChecked(true);
        wizard->Options()
            .findChild<QPlainTextEdit*>(QStringLiteral("customCode"))
            ->setPlainText(QStringLiteral("a\u0000b"));
    }
    if (run == u"preview") {
        Act(QStringLiteral("tab3"));
        Act(QStringLiteral("tab3"));
        QVERIFY(!wizard->Preview().Browser()->isHidden());
        wizard->SetPreviewFolder(path);
        Act(QStringLiteral("next"));
        CheckStepShown(4);
        QVERIFY(wizard->Preview().Browser()->isHidden());
    } else {
        Act(QStringLiteral("tab5"));
        SetOutputFolder(wizard->Output(), path);
        if (run == u"remove") {
            QVERIFY(WriteAll(path + u"p.html"_qs, "<body>mine<!--VornetAdBegin-->ad<!--VornetAdEnd--></body>"));
            wizard->Output().findChild<QRadioButton*>(u"removeAdvert"_qs)->click();
            wizard->Output().findChild<QListWidget*>(u"pageList"_qs)->addItem(path + u"p.html"_qs);
            const QLabel* label = wizard->Output().findChild<QLabel*>(u"listLabel"_qs);
            QVERIFY(label->width() >= label->sizeHint().width());
        }
        Act(QStringLiteral("generate"));
        CheckStepShown(folder.isEmpty() || folder == u"zero" ? 5 : 1);
        // What a policy needs for the block is shown once a block went into a page.
        QCOMPARE(ChildNamed<QPlainTextEdit>(wizard->Output(), u"cspSources"_qs)->isHidden(),
                 run != u"generate" || folder != u"ok");
    }
    if (folder.isEmpty()) {
        QVERIFY(fakes->messages.isEmpty());
        return;
    }
    QCOMPARE(fakes->messages.size(), 1);
    const FakePickers::Message& message = fakes->messages.constFirst();
    if (folder == u"zero") {
        QVERIFY2(message.text.contains(u"zero character"), qPrintable(message.text));
        QVERIFY(QDir(path).isEmpty());
        return;
    }
    QCOMPARE(message.caption, QStringLiteral("Vornet Ad Wizard"));
    if (failed.isEmpty()) {
        QCOMPARE(message.text, QStringLiteral("Done!"));
        QCOMPARE(message.icon, Pickers::MessageIcon::Information);
        if (run == u"remove") {
            QCOMPARE(ReadAll(path + u"p.html"_qs), "<body>mine</body>");
            return;
        }
        QCOMPARE(QDir(path).entryList(QDir::Files).size(), 3);
        return;
    }
    QCOMPARE(message.icon, Pickers::MessageIcon::Warning);
    // Each failed file is named with its reason; nothing else of the run is named.
    const QStringList runFiles =
        run == u"preview" ? QStringList{QStringLiteral("adPreview.gif"), QStringLiteral("adPreview.css"),
                                        QStringLiteral("adPreview.html")}
                          : QStringList{QStringLiteral("VornetAdMap.gif"), QStringLiteral("VornetAdStyle.css"),
                                        QStringLiteral("VornetAdCode.html")};
    for (const QString& name : runFiles) {
        QCOMPARE(message.text.contains(path + name + QStringLiteral(": ")), failed.contains(name));
    }
}

void TestWizardDialog::enterDoesNothing_escapeOutsidePagesCloses() {
    QSignalSpy rejected(wizard.get(), &QDialog::rejected);
    Act(QStringLiteral("tab3"));
    auto* field = new QLineEdit(&wizard->Options());
    field->show();
    QApplication::setActiveWindow(wizard.get());
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(wizard->isVisible());
    CheckStepShown(3);

    wizard->NextButton().setFocus();
    QTest::keyClick(&wizard->NextButton(), Qt::Key_Return);
    QTest::keyClick(wizard.get(), Qt::Key_Enter);
    QVERIFY(wizard->isVisible());
    CheckStepShown(3);
    QCOMPARE(rejected.count(), 0);

    QTest::keyClick(&wizard->NextButton(), Qt::Key_Escape);
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!wizard->isVisible());
}

void TestWizardDialog::closeBoxEndsTheDialog() {
    QSignalSpy finished(wizard.get(), &QDialog::finished);
    QVERIFY(wizard->close());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.constFirst().constFirst().toInt(), int(QDialog::Rejected));
}

void TestWizardDialog::emptyTemplatesFolder_allStepsStillWork() {
    QTemporaryDir empty;
    WizardDialog bare(*fakes, TemplateSources{empty.path() + QLatin1Char('/'), {}}, QString());
    bare.SetPreviewFolder(previewDir->path());
    QCOMPARE(bare.Catalog().Count(), 0);
    for (int n = 1; n < 5; ++n) {
        bare.OnNext();
    }
    QCOMPARE(bare.Step(), 5);
    bare.GoToStep(1);
    QCOMPARE(bare.Step(), 1);
}

// Settings changed on every page, the size applied before another template was chosen (whose
// square then stays where the first one put it), the 2x image and print options ticked, and the
// wizard clicked through to generate. The
// design it kept for the next start, saved again with "Save design…", makes the CLI write the
// same bytes.
void TestWizardDialog::clickedThroughToFiles_sameBytesAsTheCli() {
    QTemporaryDir templates;
    QImage ramp(600, 600, QImage::Format_RGB32);
    for (int x = 0; x < ramp.width(); ++x) {
        for (int y = 0; y < ramp.height(); ++y) {
            ramp.setPixel(x, y, qRgb(x % 250, 120, 60));
        }
    }
    QVERIFY(WriteTestGif(templates.filePath(QStringLiteral("one.gif")), ramp));
    QVERIFY(WriteTestGif(templates.filePath(QStringLiteral("two.gif")), ramp.copy(0, 0, 400, 400)));
    Start(templates.path() + u'/');
    QTemporaryDir fromWizard;
    QTemporaryDir fromCli;

    Act(QStringLiteral("next"));
    EditorPage& editor = wizard->Editor();
    ChildNamed<QLineEdit>(editor, QStringLiteral("bannerSizeEdit"))->setText(QStringLiteral("200"));
    QTest::mouseClick(ChildNamed<QPushButton>(editor, QStringLiteral("resizeButton")), Qt::LeftButton);
    QTest::mouseClick(ChildNamed<QCheckBox>(editor, QStringLiteral("lineCheck2")), Qt::LeftButton);
    QTest::mouseClick(ChildNamed<QRadioButton>(editor, QStringLiteral("leftButton")), Qt::LeftButton);
    Act(QStringLiteral("back"));
    TemplateStrip* strip = wizard->Templates().Strip();
    QTest::mouseClick(strip, Qt::LeftButton, {}, strip->CellOrigin(0, 1) + QPoint(5, 5));
    Act(QStringLiteral("next"));
    Act(QStringLiteral("next"));
    OptionsField(wizard->Options(), QStringLiteral("link URL here"))
        ->setText(QStringLiteral("https://example.com/?a&b"));
    OptionsField(wizard->Options(), QStringLiteral("ad title here"))->setText(QStringLiteral("Spring \"sale\" <now>"));
    QTest::mouseClick(ChildNamed<QCheckBox>(wizard->Options(), QStringLiteral("hidpi")), Qt::LeftButton);
    QTest::mouseClick(ChildNamed<QCheckBox>(wizard->Options(), QStringLiteral("noPrint")), Qt::LeftButton);
    Act(QStringLiteral("tab5"));
    SetOutputFolder(wizard->Output(), fromWizard.path() + QLatin1Char('/'));
    Act(QStringLiteral("generate"));
    QCOMPARE(fakes->messages.size(), 1);
    QCOMPARE(fakes->messages.constFirst().text, QStringLiteral("Done!"));
    const QString saved = configDir->filePath(QStringLiteral("saved.vornetad"));
    fakes->files.push_back(saved);
    QTest::mouseClick(&wizard->SaveDesignButton(), Qt::LeftButton);
    QCOMPARE(ReadAll(saved), ReadAll(LastDesign()));
    QCOMPARE(ReadDesign(saved).design.cropOffset, std::optional(200));

    QProcess cli;
    cli.start(QStringLiteral(VORNET_BINARY_DIR "/bin/vornetad-cli"),
              {QStringLiteral("generate"), QStringLiteral("--design"), LastDesign(), QStringLiteral("--out"),
               fromCli.path()});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);

    // The policy's sources that the output step shows and copies are those the CLI prints.
    auto* sources = ChildNamed<QPlainTextEdit>(wizard->Output(), u"cspSources"_qs);
    QTest::mouseClick(ChildNamed<QPushButton>(wizard->Output(), u"copyCspSources"_qs), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), sources->toPlainText());
    cli.start(QStringLiteral(VORNET_BINARY_DIR "/bin/vornetad-cli"),
              {QStringLiteral("code"), QStringLiteral("--design"), LastDesign(), QStringLiteral("--csp-hash")});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(QString::fromLatin1(cli.readAllStandardOutput()), sources->toPlainText() + u'\n');

    const QMap<QString, QByteArray> wizardFiles = FolderContents(fromWizard.path());
    QCOMPARE(wizardFiles.keys(),
             (QStringList{QStringLiteral("VornetAdCode.html"), QStringLiteral("VornetAdMap.gif"),
                          QStringLiteral("VornetAdMap@2x.gif"), QStringLiteral("VornetAdStyle.css")}));
    QCOMPARE(FolderContents(fromCli.path()).keys(), wizardFiles.keys());
    for (auto it = wizardFiles.cbegin(); it != wizardFiles.cend(); ++it) {
        QVERIFY2(FolderContents(fromCli.path()).value(it.key()) == it.value(), qPrintable(it.key()));
    }
}

// A design kept from the last run at start, or one opened with "Open design…": shown on every
// page, its banner composed, or (a file that cannot be read) nothing changed, the user told once
// and a kept file moved aside with its bytes.
void TestWizardDialog::designAtStartOrOpened_data() {
    QTest::addColumn<QString>("how");   // "start" or "open"
    QTest::addColumn<QString>("file");  // "design", "broken"; "gone", "outside": its template gone, not in the catalog
    QTest::addColumn<QString>("message");  // part of the one message; empty: none
    QTest::newRow("kept design restored") << "start"
                                          << "design" << QString();
    QTest::newRow("design opened") << "open"
                                   << "design" << QString();
    QTest::newRow("kept file unreadable: moved aside") << "start"
                                                       << "broken" << QStringLiteral("moved to");
    QTest::newRow("opened file unreadable: nothing changed") << "open"
                                                             << "broken" << QStringLiteral("nothing was changed");
    QTest::newRow("kept design's template gone: the first used")
        << "start"
        << "gone" << QStringLiteral("gone.gif: does not exist");
    QTest::newRow("opened design's template outside the catalog") << "open"
                                                                  << "outside" << QString();
}

void TestWizardDialog::designAtStartOrOpened() {
    QFETCH(QString, how);
    QFETCH(QString, file);
    QFETCH(QString, message);
    Design design;
    design.SetTemplatePath(wizard->Catalog().PathAt(2));
    design.size = 200;
    design.side = BannerSide::Left;
    design.lines[1] = {QStringLiteral("Restored"),
                       {QStringLiteral("Liberation Sans"), 14, 700, true, false, false},
                       qRgb(200, 0, 0),
                       true,
                       3};
    design.linkUrl = QStringLiteral("https://restored.example/");
    design.newWindow = false;
    design.customCodeEnabled = true;
    design.customCode = "<b>\xe9</b>\r\n";
    design.options.clickThrough = true;
    design.options.fixed = true;
    design.options.staticMarkup = true;
    design.SetTarget({false, {}, QStringLiteral("VornetAdCode.html"), {QStringLiteral("/srv/a.html")}});
    const int index = file == u"design" ? 2 : file == u"outside" ? -1 : 0;
    if (file == u"gone" || file == u"outside") {
        design.SetTemplatePath(configDir->filePath(file + QStringLiteral(".gif")));
    }
    if (file == u"outside") {
        QVERIFY(WriteTestGif(design.TemplatePath(), SolidTemplate(QColor(90, 200, 90))));
    }
    Design expected = file == u"broken" ? Design() : design;
    if (index >= 0) {
        expected.SetTemplatePath(wizard->Catalog().PathAt(index));
    }
    const QByteArray bytes =
        file == u"broken" ? QByteArray("{\"format\": \"vornetad-design\", \"version\": 1,") : DesignJson(design);
    const QString path = how == u"start" ? LastDesign() : configDir->filePath(QStringLiteral("opened.vornetad"));
    QVERIFY(WriteAll(path, bytes));
    if (how == u"start") {
        Start();
    } else {
        fakes->files.push_back(path);
        QTest::mouseClick(&wizard->OpenDesignButton(), Qt::LeftButton);
    }

    QTRY_COMPARE(fakes->messages.size(), message.isEmpty() ? 0 : 1);
    QVERIFY(message.isEmpty() || fakes->messages.constFirst().text.contains(message));
    QCOMPARE(wizard->GatherDesign(), expected);
    QCOMPARE(wizard->Templates().Strip()->SelectedIndex(), index);
    if (file != u"broken") {
        Banner banner;
        expected.ComposeInto(banner, LoadTemplateImage(expected.TemplatePath()).image);
        QCOMPARE(wizard->Editor().View().Model().Composed(), banner.Composed());
    }
    const QStringList aside = QDir(configDir->path()).entryList({QStringLiteral("last.vornetad.bad-*")});
    QCOMPARE(aside.size(), how == u"start" && file == u"broken" ? 1 : 0);
    QCOMPARE(ReadAll(configDir->filePath(aside.value(0, QFileInfo(path).fileName()))), bytes);
}

// The installed-style program: resources, pages and the first paint, then the probe closes it.
void TestWizardDialog::program_startsPaintsTheWizardAndEnds() {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VORNET_EXIT_AFTER_FIRST_PAINT"), QStringLiteral("1"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir->path());
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VORNET_BINARY_DIR "/bin/vornetad"), {});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(program.readAllStandardOutput().startsWith("first paint after "));
}

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestWizardDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WizardDialog.moc"
