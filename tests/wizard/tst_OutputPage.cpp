#include "FakePickers.h"
#include "GradientListBox.h"
#include "OutputPage.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

void Touch(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qFatal("cannot create %s", qPrintable(path));
    }
}

}  // namespace

class tst_OutputPage : public QObject {
    Q_OBJECT

    template <typename T>
    static T* Child(OutputPage& page, const QString& name) {
        T* child = page.findChild<T*>(name);
        if (child == nullptr) {
            qFatal("no child %s", qPrintable(name));
        }
        return child;
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
    void firstDisplay_createModeWithDefaultFileName() {
        FakePickers pickers;
        OutputPage page(pickers);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QVERIFY(Child<QRadioButton>(page, QStringLiteral("createNew"))->isChecked());
        QCOMPARE(Edit(page, "outputFolder")->text(), QString());
        QCOMPARE(Edit(page, "fileName")->text(), QStringLiteral("VornetAdCode.html"));
        QVERIFY(Edit(page, "outputFolder")->isVisible());
        QVERIFY(Button(page, "browse")->isVisible());
        for (const char* name : {"addFile", "addDir", "removeSelected", "clearAll"}) {
            QVERIFY2(!Button(page, name)->isVisible(), name);
        }
        QVERIFY(!List(page)->isVisible());
        QVERIFY(!Child<QLabel>(page, QStringLiteral("listLabel"))->isVisible());

        const OutputTarget target = page.Target();
        QVERIFY(target.createNew);
        QCOMPARE(target.fileName, QStringLiteral("VornetAdCode.html"));
        QVERIFY(target.pages.isEmpty());
    }

    void browse_fillsFolderEndingInSeparatorOrLeavesTypedText_data() {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder") << std::optional(QStringLiteral("/srv/www")) << QStringLiteral("/srv/www/");
        QTest::newRow("folder with separator")
            << std::optional(QStringLiteral("/srv/www/")) << QStringLiteral("/srv/www/");
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
        page.show();
        Edit(page, "outputFolder")->setText(QStringLiteral("typed"));
        Edit(page, "fileName")->setText(QStringLiteral("ad.html"));
        Button(page, "browse")->click();
        QCOMPARE(pickers.lastFolderTitle, QStringLiteral("Select output folder"));
        QCOMPARE(pickers.lastStartFolder, QDir::currentPath());
        QCOMPARE(Edit(page, "outputFolder")->text(), expected);
        QCOMPARE(Edit(page, "fileName")->text(), QStringLiteral("ad.html"));
    }

    void addFile_appendsEveryChosenPathEvenTwice() {
        FakePickers pickers;
        OutputPage page(pickers);
        SetModify(page, true);
        AddFiles(page, pickers, {QStringLiteral("/w/b.html"), QStringLiteral("/w/a.htm"), QStringLiteral("/w/b.html")});
        QCOMPARE(pickers.lastFilter, QStringLiteral("html files (*.*htm*)"));
        QCOMPARE(pickers.lastDefaultSuffix, QStringLiteral("html"));
        Button(page, "addFile")->click();  // cancelled: nothing queued
        const QStringList expected{QStringLiteral("/w/b.html"), QStringLiteral("/w/a.htm"),
                                   QStringLiteral("/w/b.html")};
        QCOMPARE(Entries(page), expected);
        QVERIFY(page.ValidateOutput());
        QCOMPARE(page.Target().pages, expected);
        QVERIFY(!page.Target().createNew);
    }

    void addDir_appendsPageFilesOfThatFolderOnly() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString root = dir.path();
        for (const char* name : {"a.htm", "b.HTML", "c.txt", "d.htm.bak", "htm", "f.xhtml"}) {
            Touch(root + QLatin1Char('/') + QLatin1String(name));
        }
        QVERIFY(QDir(root).mkdir(QStringLiteral("e.html")));
        Touch(root + QStringLiteral("/e.html/inner.htm"));

        FakePickers pickers;
        OutputPage page(pickers);
        SetModify(page, true);
        AddFiles(page, pickers, {QStringLiteral("/w/first.html")});
        pickers.folders.emplace_back(root);
        Button(page, "addDir")->click();
        QCOMPARE(pickers.lastFolderTitle, QStringLiteral("Select folder with HTML files"));
        QCOMPARE(pickers.lastStartFolder, QDir::currentPath());
        const QString folder = root + QLatin1Char('/');
        QCOMPARE(Entries(page), (QStringList{QStringLiteral("/w/first.html"), folder + QStringLiteral("a.htm"),
                                             folder + QStringLiteral("b.HTML"), folder + QStringLiteral("d.htm.bak")}));

        // Cancelling, or a folder without pages, changes nothing.
        Button(page, "addDir")->click();
        pickers.folders.emplace_back(root + QStringLiteral("/e.html/inner.htm-missing"));
        Button(page, "addDir")->click();
        QCOMPARE(List(page)->count(), 4);
    }

    void removeSelected_removesOnlyTheSelectedEntry_data() {
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<QStringList>("expected");
        const QString a = QStringLiteral("/a.html");
        const QString b = QStringLiteral("/b.html");
        const QString c = QStringLiteral("/c.html");
        QTest::newRow("no selection") << -1 << QStringList{a, b, c};
        QTest::newRow("first") << 0 << QStringList{b, c};
        QTest::newRow("middle") << 1 << QStringList{a, c};
        QTest::newRow("last") << 2 << QStringList{a, b};
    }
    void removeSelected_removesOnlyTheSelectedEntry() {
        QFETCH(int, selectedRow);
        QFETCH(QStringList, expected);
        FakePickers pickers;
        OutputPage page(pickers);
        SetModify(page, true);
        AddFiles(page, pickers, {QStringLiteral("/a.html"), QStringLiteral("/b.html"), QStringLiteral("/c.html")});
        if (selectedRow >= 0) {
            List(page)->setCurrentRow(selectedRow);
        }
        Button(page, "removeSelected")->click();
        QCOMPARE(Entries(page), expected);
        // A second press without choosing again removes nothing more.
        Button(page, "removeSelected")->click();
        QCOMPARE(Entries(page), expected);
    }

    void clearAll_emptiesTheListAndIsHarmlessWhenEmpty() {
        FakePickers pickers;
        OutputPage page(pickers);
        SetModify(page, true);
        Button(page, "clearAll")->click();
        QCOMPARE(List(page)->count(), 0);
        AddFiles(page, pickers, {QStringLiteral("/a.html"), QStringLiteral("/b.html")});
        List(page)->setCurrentRow(1);
        Button(page, "clearAll")->click();
        QCOMPARE(List(page)->count(), 0);
        QVERIFY(!page.ValidateOutput());
    }

    void modeSwitches_keepFolderFileNameAndList() {
        FakePickers pickers;
        OutputPage page(pickers);
        page.show();
        Edit(page, "outputFolder")->setText(QStringLiteral("/out/"));
        Edit(page, "fileName")->setText(QStringLiteral("ad.html"));
        SetModify(page, true);
        QVERIFY(!Edit(page, "outputFolder")->isVisible());
        QVERIFY(List(page)->isVisible() && Button(page, "addFile")->isVisible());
        AddFiles(page, pickers, {QStringLiteral("/a.html")});
        SetModify(page, false);
        QVERIFY(Edit(page, "outputFolder")->isVisible() && !List(page)->isVisible());
        QVERIFY(page.ValidateOutput());
        OutputTarget target = page.Target();
        QVERIFY(target.createNew);
        QCOMPARE(target.outputFolder, QStringLiteral("/out/"));
        QCOMPARE(target.fileName, QStringLiteral("ad.html"));
        QCOMPARE(target.pages, QStringList{QStringLiteral("/a.html")});

        SetModify(page, true);
        QVERIFY(page.ValidateOutput());
        target = page.Target();
        QVERIFY(!target.createNew);
        QCOMPARE(target.outputFolder, QStringLiteral("/out/"));
        QCOMPARE(target.pages, QStringList{QStringLiteral("/a.html")});
    }

    void validate_failsWithFocusOnTheFieldToFix_data() {
        QTest::addColumn<bool>("modify");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("focus");
        const QString none;
        const QString folder = QStringLiteral("/out/");
        const QString file = QStringLiteral("ad.html");
        QTest::newRow("create: no folder") << false << none << file << 0 << false << QStringLiteral("outputFolder");
        QTest::newRow("create: nothing") << false << none << none << 1 << false << QStringLiteral("outputFolder");
        QTest::newRow("create: no file name") << false << folder << none << 0 << false << QStringLiteral("fileName");
        QTest::newRow("create: folder without separator")
            << false << QStringLiteral("out") << file << 0 << true << none;
        QTest::newRow("create: blank folder is text") << false << QStringLiteral(" ") << file << 0 << true << none;
        QTest::newRow("modify: empty list") << true << folder << file << 0 << false << QStringLiteral("addFile");
        QTest::newRow("modify: one page") << true << none << none << 1 << true << none;
    }
    void validate_failsWithFocusOnTheFieldToFix() {
        QFETCH(bool, modify);
        QFETCH(QString, folder);
        QFETCH(QString, fileName);
        QFETCH(int, pages);
        QFETCH(bool, ok);
        QFETCH(QString, focus);
        FakePickers pickers;
        QDialog wizard;
        auto* page = new OutputPage(pickers, &wizard);
        auto* elsewhere = new QPushButton(QStringLiteral("Generate"), &wizard);
        elsewhere->move(0, page->height());
        wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        Edit(*page, "outputFolder")->setText(folder);
        Edit(*page, "fileName")->setText(fileName);
        SetModify(*page, true);
        for (int i = 0; i < pages; ++i) {
            AddFiles(*page, pickers, {QStringLiteral("/p%1.html").arg(i)});
        }
        SetModify(*page, modify);
        elsewhere->setFocus();

        QCOMPARE(page->ValidateOutput(), ok);
        QWidget* expectedFocus = focus.isEmpty() ? elsewhere : Child<QWidget>(*page, focus);
        QCOMPARE(QApplication::focusWidget(), expectedFocus);
        QVERIFY(pickers.messages.isEmpty());
        if (ok) {
            const OutputTarget target = page->Target();
            QCOMPARE(target.createNew, !modify);
            QCOMPARE(target.outputFolder, folder);
            QCOMPARE(target.fileName, fileName);
            QCOMPARE(target.pages.size(), pages);
        }
    }

    void dialogKeys_clickNoButtonAndCloseNothing_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::newRow("Enter in the folder") << QStringLiteral("outputFolder") << int(Qt::Key_Return);
        QTest::newRow("Escape in the file name") << QStringLiteral("fileName") << int(Qt::Key_Escape);
        QTest::newRow("Enter on Add file") << QStringLiteral("addFile") << int(Qt::Key_Return);
        QTest::newRow("Enter in the list") << QStringLiteral("pageList") << int(Qt::Key_Enter);
    }
    void dialogKeys_clickNoButtonAndCloseNothing() {
        QFETCH(QString, field);
        QFETCH(int, key);
        FakePickers pickers;
        pickers.files.emplace_back(QStringLiteral("/unexpected.html"));
        pickers.folders.emplace_back(QStringLiteral("/unexpected"));
        QDialog wizard;
        auto* page = new OutputPage(pickers, &wizard);
        SetModify(*page, field == QLatin1String("addFile") || field == QLatin1String("pageList"));
        QSignalSpy finished(&wizard, &QDialog::finished);
        wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        auto* target = Child<QWidget>(*page, field);
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(finished.count(), 0);
        QVERIFY(wizard.isVisible() && page->isVisible());
        QCOMPARE(pickers.files.size(), size_t(1));
        QCOMPARE(pickers.folders.size(), size_t(1));
    }
};

QTEST_MAIN(tst_OutputPage)
#include "tst_OutputPage.moc"
