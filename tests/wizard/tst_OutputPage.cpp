#include "FakePickers.h"
#include "GradientListBox.h"
#include "OutputPage.h"
#include "TestFiles.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class tst_OutputPage : public QObject {
    Q_OBJECT

    template <typename T>
    static T* Child(OutputPage& page, const QString& name) {
        return ChildNamed<T>(page, name);
    }
    static QLineEdit* Edit(OutputPage& page, const char* name) { return Child<QLineEdit>(page, QLatin1String(name)); }
    static QPushButton* Button(OutputPage& page, const char* name) {
        return Child<QPushButton>(page, QLatin1String(name));
    }
    static GradientListBox* List(OutputPage& page) { return Child<GradientListBox>(page, QStringLiteral("pageList")); }
    static QStringList Entries(OutputPage& page) {
        QStringList entries;
        for (int row = 0; row < List(page)->count(); ++row) {
            entries.append(List(page)->item(row)->text());
        }
        return entries;
    }
    static void SetModify(OutputPage& page, bool modify) {
        Child<QRadioButton>(page, modify ? QStringLiteral("modifyExisting") : QStringLiteral("createNew"))->click();
    }
    static void AddFiles(OutputPage& page, FakePickers& pickers, const QStringList& paths) {
        for (const QString& path : paths) {
            pickers.files.emplace_back(path);
            Button(page, "addFile")->click();
        }
    }

private slots:
    void firstDisplay_createModeAndSwitchingModesKeepsEverything() {
        FakePickers pickers;
        OutputPage page(pickers);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QVERIFY(Child<QRadioButton>(page, QStringLiteral("createNew"))->isChecked());
        QCOMPARE(Edit(page, "outputFolder")->text(), QString());
        QCOMPARE(Edit(page, "fileName")->text(), QStringLiteral("VornetAdCode.html"));
        const QList<QWidget*> createGroup{Edit(page, "outputFolder"), Edit(page, "fileName"), Button(page, "browse")};
        const QList<QWidget*> modifyGroup{List(page),
                                          Child<QLabel>(page, QStringLiteral("listLabel")),
                                          Button(page, "addFile"),
                                          Button(page, "addDir"),
                                          Button(page, "removeSelected"),
                                          Button(page, "clearAll")};
        for (bool modify : {false, true, false, true}) {
            SetModify(page, modify);
            for (QWidget* control : createGroup) {
                QCOMPARE(control->isVisible(), !modify);
            }
            for (QWidget* control : modifyGroup) {
                QCOMPARE(control->isVisible(), modify);
            }
            if (modify && List(page)->count() == 0) {
                AddFiles(page, pickers, {QStringLiteral("/a.html")});
                Edit(page, "outputFolder")->setText(QStringLiteral("/out/"));
            }
        }
        QVERIFY(page.ValidateOutput());
        const OutputTarget target = page.Target();
        QVERIFY(!target.createNew);
        QCOMPARE(target.outputFolder, QStringLiteral("/out/"));
        QCOMPARE(target.fileName, QStringLiteral("VornetAdCode.html"));
        QCOMPARE(target.pages, QStringList{QStringLiteral("/a.html")});
    }

    void browse_fillsFolderEndingInSeparatorOrLeavesTypedText_data() {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder") << std::optional(QStringLiteral("/srv/www")) << QStringLiteral("/srv/www/");
        QTest::newRow("with separator") << std::optional(QStringLiteral("/srv/www/")) << QStringLiteral("/srv/www/");
        QTest::newRow("root") << std::optional(QStringLiteral("/")) << QStringLiteral("/");
        QTest::newRow("cancelled") << std::optional<QString>() << QStringLiteral("typed");
        QTest::newRow("no path") << std::optional(QString()) << QStringLiteral("typed");
    }
    void browse_fillsFolderEndingInSeparatorOrLeavesTypedText() {
        QFETCH(std::optional<QString>, answer);
        QFETCH(QString, expected);
        FakePickers pickers;
        pickers.folders.push_back(answer);
        OutputPage page(pickers);
        Edit(page, "outputFolder")->setText(QStringLiteral("typed"));
        Edit(page, "fileName")->setText(QStringLiteral("ad.html"));
        Button(page, "browse")->click();
        QCOMPARE(pickers.lastFolderTitle, QStringLiteral("Select output folder"));
        QCOMPARE(pickers.lastStartFolder, QDir::currentPath());
        QCOMPARE(Edit(page, "outputFolder")->text(), expected);
        QCOMPARE(Edit(page, "fileName")->text(), QStringLiteral("ad.html"));
    }

    void addFileAndAddDir_appendPathsInOrderKeepingDuplicates() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.path() + QLatin1Char('/');
        for (const char* name : {"a.htm", "b.HTML", "c.txt", "d.htm.bak", "htm", "e.html/inner.htm"}) {
            QVERIFY(QDir(folder).mkpath(QFileInfo(folder + QLatin1String(name)).path()));
            QFile file(folder + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        // Names Qt cannot carry are left out and reported once; a pipe is no page.
        const QByteArray raw = QFile::encodeName(folder);
        QCOMPARE(::mkfifo(QByteArray(raw + "p.htm").constData(), 0600), 0);
        const QByteArrayList unusable = {raw + "f\xff.htm", raw + "g\xfe.html", raw + "x\xff.txt"};
        for (const QByteArray& name : unusable) {
            QCOMPARE(::close(::creat(name.constData(), 0644)), 0);
        }
        const auto cleanup = qScopeGuard([&] {
            for (const QByteArray& name : unusable) {
                ::unlink(name.constData());
            }
        });
        FakePickers pickers;
        OutputPage page(pickers);
        SetModify(page, true);
        // A picked name that stands for another file on disk is refused.
        AddFiles(page, pickers, {folder + QStringLiteral("f\uFFFD.htm")});
        QCOMPARE(pickers.messages.size(), 1);
        QVERIFY2(pickers.messages[0].text.contains(u"f\\xff.htm"), qPrintable(pickers.messages[0].text));
        AddFiles(page, pickers, {QStringLiteral("/w/b.html"), QStringLiteral("/w/b.html")});
        Button(page, "addFile")->click();  // cancelled
        QCOMPARE(pickers.lastFilter, QStringLiteral("html files (*.*htm*)"));
        QCOMPARE(pickers.lastDefaultSuffix, QStringLiteral("html"));

        pickers.folders.emplace_back(dir.path());
        Button(page, "addDir")->click();
        QCOMPARE(pickers.lastFolderTitle, QStringLiteral("Select folder with HTML files"));
        QCOMPARE(pickers.lastStartFolder, QDir::currentPath());
        // Cancelled, and a folder without pages: nothing more.
        Button(page, "addDir")->click();
        pickers.folders.emplace_back(folder + QStringLiteral("missing"));
        Button(page, "addDir")->click();
        QCOMPARE(pickers.messages.size(), 2);
        QVERIFY2(pickers.messages[1].text.startsWith(u"2 pages were not added from \"" + folder + u'"'),
                 qPrintable(pickers.messages[1].text));

        const QStringList expected{QStringLiteral("/w/b.html"), QStringLiteral("/w/b.html"),
                                   folder + QStringLiteral("a.htm"), folder + QStringLiteral("b.HTML"),
                                   folder + QStringLiteral("d.htm.bak")};
        QCOMPARE(Entries(page), expected);
        QVERIFY(page.ValidateOutput());
        QCOMPARE(page.Target().pages, expected);
    }

    void removeAndClear_data() {
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("expected");
        const QString a = QStringLiteral("/a.html");
        const QString b = QStringLiteral("/b.html");
        const QString c = QStringLiteral("/c.html");
        const QString remove = QStringLiteral("removeSelected");
        QTest::newRow("remove without selection") << -1 << remove << QStringList{a, b, c};
        QTest::newRow("remove first") << 0 << remove << QStringList{b, c};
        QTest::newRow("remove last") << 2 << remove << QStringList{a, b};
        QTest::newRow("clear all") << 1 << QStringLiteral("clearAll") << QStringList{};
    }
    void removeAndClear() {
        QFETCH(int, selectedRow);
        QFETCH(QString, button);
        QFETCH(QStringList, expected);
        FakePickers pickers;
        OutputPage page(pickers);
        SetModify(page, true);
        AddFiles(page, pickers, {QStringLiteral("/a.html"), QStringLiteral("/b.html"), QStringLiteral("/c.html")});
        List(page)->setCurrentRow(selectedRow);
        // A second press finds nothing selected (or nothing left) and changes nothing.
        for (int press = 0; press < 2; ++press) {
            Child<QPushButton>(page, button)->click();
            QCOMPARE(Entries(page), expected);
        }
    }

    void validate_failsWithFocusOnTheFieldToFix_data() {
        QTest::addColumn<bool>("modify");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("focus");  // empty: the check passes and the focus stays
        const QString none;
        const QString folder = QStringLiteral("/out/");
        const QString file = QStringLiteral("ad.html");
        QTest::newRow("create: no folder") << false << none << file << 1 << QStringLiteral("outputFolder");
        QTest::newRow("create: nothing") << false << none << none << 1 << QStringLiteral("outputFolder");
        QTest::newRow("create: no file name") << false << folder << none << 0 << QStringLiteral("fileName");
        QTest::newRow("create: folder as typed") << false << QStringLiteral("out") << file << 0 << none;
        QTest::newRow("create: blank folder is text") << false << QStringLiteral(" ") << file << 0 << none;
        QTest::newRow("modify: empty list") << true << folder << file << 0 << QStringLiteral("addFile");
        QTest::newRow("modify: one page") << true << none << none << 1 << none;
    }
    void validate_failsWithFocusOnTheFieldToFix() {
        QFETCH(bool, modify);
        QFETCH(QString, folder);
        QFETCH(QString, fileName);
        QFETCH(int, pages);
        QFETCH(QString, focus);
        FakePickers pickers;
        QDialog wizard;
        auto* page = new OutputPage(pickers, &wizard);
        auto* generate = new QPushButton(QStringLiteral("Generate"), &wizard);
        generate->move(0, page->height());
        wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        Edit(*page, "outputFolder")->setText(folder);
        Edit(*page, "fileName")->setText(fileName);
        SetModify(*page, true);
        AddFiles(*page, pickers, QStringList(pages, QStringLiteral("/p.html")));
        SetModify(*page, modify);
        generate->setFocus();

        QCOMPARE(page->ValidateOutput(), focus.isEmpty());
        QCOMPARE(QApplication::focusWidget(), focus.isEmpty() ? generate : Child<QWidget>(*page, focus));
        QVERIFY(pickers.messages.isEmpty());
        const OutputTarget target = page->Target();
        QCOMPARE(target.createNew, !modify);
        QCOMPARE(target.outputFolder, folder);
        QCOMPARE(target.fileName, fileName);
    }

    void dialogKeys_clickNoButtonAndCloseNothing_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::newRow("Enter in the folder") << QStringLiteral("outputFolder") << int(Qt::Key_Return);
        QTest::newRow("Escape in the file name") << QStringLiteral("fileName") << int(Qt::Key_Escape);
        QTest::newRow("Enter on the browse button") << QStringLiteral("browse") << int(Qt::Key_Return);
        QTest::newRow("Enter on Add dir") << QStringLiteral("addDir") << int(Qt::Key_Enter);
        QTest::newRow("Enter in the list") << QStringLiteral("pageList") << int(Qt::Key_Return);
    }
    void dialogKeys_clickNoButtonAndCloseNothing() {
        QFETCH(QString, field);
        QFETCH(int, key);
        FakePickers pickers;
        pickers.folders.emplace_back(QStringLiteral("/unexpected"));
        QDialog wizard;
        auto* page = new OutputPage(pickers, &wizard);
        SetModify(*page, field == QLatin1String("addDir") || field == QLatin1String("pageList"));
        QSignalSpy finished(&wizard, &QDialog::finished);
        wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        auto* target = Child<QWidget>(*page, field);
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(finished.count(), 0);
        QVERIFY(wizard.isVisible() && page->isVisible());
        QCOMPARE(pickers.folders.size(), size_t(1));
    }
};

QTEST_MAIN(tst_OutputPage)
#include "tst_OutputPage.moc"
