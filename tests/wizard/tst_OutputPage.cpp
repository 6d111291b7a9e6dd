#include "DataTable.h"
#include "FakePickers.h"
#include "TestFiles.h"
#include "controls/GradientListBox.h"
#include "wizard/OutputPage.h"

#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An output page in a shown, active window beside a "generate" button of the window's own.
struct Fixture {
    FakePickers pickers;
    QDialog window;
    OutputPage* page = new OutputPage(pickers, &window);
    QPushButton* generate = new QPushButton(QStringLiteral("Generate"), &window);

    Fixture() {
        QFile::link(scratch.filePath(u"notes.txt"_qs), scratch.filePath(u"linked.html"_qs));
        [[maybe_unused]] const int odd =
            ::symlink("n\xff.txt", QFile::encodeName(scratch.filePath(u"odd.html"_qs)).constData());
        WriteAll(scratch.filePath(u"a\nb.html"_qs), "<p>mine</p>");
        generate->move(0, page->height());
        window.show();
        (void)QTest::qWaitForWindowActive(&window);
    }
    QWidget* get(const QString& name) { return ChildNamed<QWidget>(*page, name); }
    // The current folder, given back after a row that ran in a removed one.
    const QString home = QDir::currentPath();
    QTemporaryDir removed;
    // "<tmp>": a folder holding a link named like a page to a file that is none, and a page whose
    // name holds a line break.
    QTemporaryDir scratch;
    const QByteArray homeVariable = qgetenv("HOME");
    ~Fixture() {
        QDir::setCurrent(home);
        qputenv("HOME", homeVariable);
    }

    // Carries out the steps of a table row (see output-target.txt).
    void Run(const QString& steps) {
        for (const QString& step : steps.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
            QString value = step.section(u'=', 1);
            value.replace(u"<LF>"_qs, u"\n"_qs)
                .replace(u"<CR>"_qs, u"\r"_qs)
                .replace(u"<LS>"_qs, u"\u2028"_qs)
                .replace(u"<TAB>"_qs, u"\t"_qs);
            value.replace(u"<tmp>"_qs, scratch.path());
            if (step.startsWith(u"folder=") || step.startsWith(u"file=")) {
                static_cast<QLineEdit*>(get(step.startsWith(u"file") ? u"fileName"_qs : u"outputFolder"_qs))
                    ->setText(value);
            } else if (step.startsWith(u"drop:")) {
                QWidget* field = get(step.section(u'=', 0, 0).mid(5));
                QMimeData data;
                data.setUrls({QUrl(value)});
                data.setText(value);
                QDragEnterEvent enter({}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
                QDropEvent drop({}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
                QApplication::sendEvent(field, &enter);
                if (enter.isAccepted()) {
                    QApplication::sendEvent(field, &drop);
                }
            } else if (step.startsWith(u"pick=")) {
                pickers.files.emplace_back(value);
            } else if (step == u"confirm=yes") {
                pickers.confirms.push_back(true);
            } else if (step.startsWith(u"dir=")) {
                pickers.folders.emplace_back(value);
            } else if (step.startsWith(u"home=")) {
                qputenv("HOME", value.toUtf8());
            } else if (step == u"inRemovedFolder") {
                QVERIFY(removed.isValid() && QDir::setCurrent(removed.path()) && removed.remove());
            } else if (step.startsWith(u"row=")) {
                static_cast<GradientListBox*>(get(u"pageList"_qs))->setCurrentRow(value.toInt());
            } else {
                static_cast<QAbstractButton*>(get(step))->click();
            }
        }
    }
};

}  // namespace

class tst_OutputPage : public QObject {
    Q_OBJECT

private slots:
    void target_data() { AddTableRows(QFINDTESTDATA("output-target.txt")); }
    void target() {
        QFETCH(QStringList, row);
        Fixture f;
        f.Run(row[0]);
        for (const char* name : {"outputFolder", "fileName", "browse"}) {
            QCOMPARE(f.get(QLatin1String(name))->isVisible(), row[1] == u"no");
        }
        for (const char* name : {"pageList", "listLabel", "addFile", "addDir", "removeSelected", "clearAll"}) {
            QCOMPARE(f.get(QLatin1String(name))->isVisible(), row[1] == u"yes");
        }
        // The longest mode's list heading is not cut off.
        QVERIFY(f.get(u"listLabel"_qs)->width() >= f.get(u"listLabel"_qs)->sizeHint().width());
        const OutputTarget target = f.page->Target();
        QCOMPARE(target.createNew ? u"new"_qs : target.removeAdvert ? u"remove"_qs : u"modify"_qs, row[2]);
        const QString folder =
            QString(row[3]).replace(u"<cwd>"_qs, QDir::currentPath()).replace(u"<home>"_qs, QDir::homePath());
        QCOMPARE(target.outputFolder, row[3] == u"-" ? QString() : folder);
        QCOMPARE(target.fileName, row[4]);
        QCOMPARE(target.pages.join(u' '), row[5] == u"-" ? QString() : row[5]);
        QVERIFY(f.pickers.messages.isEmpty());
        // Tab enters the mode buttons at the chosen one, where Space keeps the choice.
        f.generate->setFocus();
        QTest::keyClick(f.generate, Qt::Key_Tab);
        const auto* mode = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        QVERIFY(mode && mode->isChecked());
    }

    void validate_data() { AddTableRows(QFINDTESTDATA("output-validate.txt")); }
    void validate() {
        QFETCH(QStringList, row);
        Fixture f;
        f.Run(row[0]);
        f.generate->setFocus();
        // Saving a design checks the fields as they stand, before they are stored.
        QVERIFY(row[1] != u"-" || f.page->FieldProblem().isEmpty());
        QCOMPARE(f.page->ValidateOutput(), row[1] == u"-");
        QCOMPARE(QApplication::focusWidget(), row[1] == u"-" ? f.generate : f.get(row[1]));
        QStringList said = f.pickers.questions;
        for (const auto& message : std::as_const(f.pickers.messages)) {
            said.append(message.text);
        }
        QCOMPARE(said.size(), row[2] == u"-" ? 0 : 1);
        QVERIFY2(row[2] == u"-" || said[0].contains(row[2]), qPrintable(said.join(u'\n')));
    }

    // A folder adds its pages by their names' ending in any case, sorted, hidden ones aside; names no
    // path can carry, and pages that cannot be looked at, are left out and reported once each way,
    // and a picked name that stands for another file is refused; a folder with no page of its own
    // says so.
    void addDir_addsTheFolderPagesAndReportsUnusableNames() {
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        for (const char* name :
             {"b.HTML", "a.htm", "c.txt", "d.htm.bak", "x.phtml", "y.html.sh", "htm", ".html", ".draft.html",
              "._b.HTML", "e.html/inner.htm", "s.XHTML", "site/blog/p.html", "site/.draft.html"}) {
            QVERIFY(QDir(folder).mkpath(QFileInfo(folder + QLatin1String(name)).path()));
            QVERIFY(WriteAll(folder + QLatin1String(name), {}));
        }
        const QByteArray raw = QFile::encodeName(folder);
        QCOMPARE(::mkfifo(QByteArray(raw + "p.htm").constData(), 0600), 0);
        // Looked at through, a link whose target no file system takes fails as a folder that may be
        // listed but not entered fails for all its pages: they are there, and not added.
        // Its name, shown escaped, holds a line break.
        QCOMPARE(::symlink(QByteArray(300, 'x').constData(), QByteArray(raw + "q\n.html").constData()), 0);
        const QByteArrayList unusable = {raw + "f\xff.htm", raw + "g\xfe.html", raw + "x\xff.txt", raw + ".h\xff.htm"};
        for (const QByteArray& name : unusable) {
            QCOMPARE(::close(::creat(name.constData(), 0644)), 0);
        }
        // Named as pages, but no pages: not counted.
        const QByteArray folderNamed = raw + "k\xe9.html";
        const QByteArray deadLink = raw + "m\xe9.htm";
        QVERIFY(::mkdir(folderNamed.constData(), 0755) == 0 && ::symlink("gone", deadLink.constData()) == 0);
        const auto cleanup = qScopeGuard([&] {
            for (const QByteArray& name : unusable + QByteArrayList{deadLink}) {
                ::unlink(name.constData());
            }
            ::rmdir(folderNamed.constData());
        });
        Fixture f;
        f.Run(u"modifyExisting, pick=" + folder + u"f\uFFFD.htm, addFile, dir=" + dir.path() + u", addDir, dir=" +
              folder + u"missing, addDir, dir=" + folder + u"site, addDir");
        QCOMPARE(f.pickers.messages.size(), 5);
        QVERIFY2(f.pickers.messages[0].text.contains(u"f\\xff.htm"), qPrintable(f.pickers.messages[0].text));
        QCOMPARE(f.pickers.messages[1].text, u"A page was not added from \"" + folder +
                                                 u"\": \"q\\x0a.html\" cannot be looked at: File name too long.");
        QVERIFY2(f.pickers.messages[2].text.startsWith(u"2 pages were not added from \"" + folder + u'"'),
                 qPrintable(f.pickers.messages[2].text));
        QCOMPARE(f.pickers.messages[3].text,
                 u"The pages of \"" + folder +
                     u"missing/\" cannot all be added: cannot list: No such file or directory.");
        // A folder whose pages are all in subfolders (a site's root) or hidden adds nothing, and says why.
        QVERIFY2(f.pickers.messages[4].text.contains(u"stand in \"" + folder + u"site/\" itself but hidden ones"),
                 qPrintable(f.pickers.messages[4].text));
        QCOMPARE(f.page->Target().pages, QStringList({folder + u"a.htm", folder + u"b.HTML", folder + u"s.XHTML"}));
        // Each page shows its whole path as a tip, for one too long for the list.
        const auto* list = f.page->findChild<QListWidget*>(u"pageList"_qs);
        QCOMPARE(list->item(2)->toolTip(), folder + u"s.XHTML");
    }
};

QTEST_MAIN(tst_OutputPage)
#include "tst_OutputPage.moc"
