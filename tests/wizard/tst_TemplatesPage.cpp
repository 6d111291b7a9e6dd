#include "DataTable.h"
#include "FakePickers.h"
#include "TestFiles.h"
#include "TestGif.h"
#include "banner/TemplateImage.h"
#include "controls/MarkupLabel.h"
#include "controls/TemplateStrip.h"
#include "wizard/NewTemplateDialog.h"
#include "wizard/TemplatesPage.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// `count` shipped templates, and a folder for the user's own.
struct Folder {
    QTemporaryDir dir;
    TemplateSources sources{dir.path() + u'/', dir.filePath(u"user"_qs)};
    TemplateCatalog catalog;
    FakePickers pickers;

    explicit Folder(int count) {
        for (int i = 0; i < count; ++i) {
            WriteTestGif(dir.filePath(QStringLiteral("t%1.gif").arg(i)), SolidTemplate(QColor(40 * i, 80, 160)));
        }
        catalog.Scan(sources);
    }
};

// A table cell's list: "-" is none, items are separated by "; ".
QStringList Items(const QString& cell) {
    return cell == u"-" ? QStringList() : cell.split(QStringLiteral("; "));
}

}  // namespace

class tst_TemplatesPage : public QObject {
    Q_OBJECT

private slots:
    void newAndAddTemplate_data() { AddTableRows(QFINDTESTDATA("templates-added.txt")); }
    void newAndAddTemplate() {
        QFETCH(QStringList, row);
        const QStringList names = Items(row[3]);
        const QStringList messages = Items(row[4]);
        const QString saved = row[5] == u"-" ? QString() : row[5];
        Folder folder(2);
        const QString user = folder.sources.user + u'/';
        const QString pictures = folder.dir.filePath(u"pictures/"_qs);
        QVERIFY(QDir().mkpath(user) && WriteTestGif(user + u"taken.gif"_qs, SolidTemplate(Qt::gray)) &&
                WriteTestGif(user + u"orphan@2x.gif"_qs, SolidTemplate(Qt::gray)) &&
                WriteTestGif(user + u"my-ribbon@2x.gif"_qs, SolidTemplate(Qt::gray)));
        QVERIFY(QDir().mkpath(pictures) && WriteTestGif(pictures + u"logo.gif"_qs, SolidTemplate(Qt::blue)));
        QVERIFY(SolidTemplate(QColor(200, 40, 40, 160), 60).save(pictures + u"photo.png"_qs));
        QVERIFY(QFile::copy(pictures + u"photo.png"_qs, pictures + u"b50%1.png"_qs));
        QVERIFY(WriteAll(pictures + u"notes.gif"_qs, "GIF is a word"));
        folder.catalog.Scan(folder.sources);
        const auto before = Snapshot(user);
        TemplatesPage page(&folder.catalog, folder.pickers, folder.sources);
        page.show();

        std::vector<TemplateFile> expected;
        if (row[0] != u"-") {
            page.NewTemplateButton()->click();
            auto* dialog = page.findChild<NewTemplateDialog*>();
            QVERIFY(dialog != nullptr && dialog->isVisible());
            dialog->StyleList()->setCurrentRow(row[0].toInt());
            const QStringList colors = Items(row[1]);
            // Picked from the keyboard: Enter on a colour button picks, it does not save.
            QApplication::setActiveWindow(dialog);
            for (qsizetype i = 0; i < colors.size(); ++i) {
                folder.pickers.colors.push_back(QColor(colors[i]));
                dialog->ColorButtons()[i]->setFocus();
                QTest::keyClick(dialog->ColorButtons()[i], Qt::Key_Return);
            }
            // A screen reader is told each colour shown, picked or not.
            for (qsizetype i = 0; i < dialog->Style().colorNames.size(); ++i) {
                QCOMPARE(dialog->ColorButtons()[i]->accessibleDescription(), QColor(dialog->Colors()[i]).name());
            }
            expected = MakeTemplateFiles(dialog->Style(), dialog->Colors()).value;
            for (const QString& name : names) {
                if (name != u"=") {
                    dialog->NameEdit()->setText(name);
                }
                dialog->SaveButton()->click();
            }
            if (names.isEmpty()) {
                dialog->reject();
            }
        } else {
            folder.pickers.files.push_back(pictures + row[2]);
            folder.pickers.texts.assign(names.begin(), names.end());
            page.AddTemplateButton()->click();
            // The picture's name is offered first, then what was typed; a refused picture asks nothing.
            const QString offered = names.size() > 1 ? names[names.size() - 2] : QFileInfo(row[2]).completeBaseName();
            QCOMPARE(folder.pickers.lastInitialText, saved.isEmpty() && !names.isEmpty() ? QString() : offered);
            expected = {{QString(), row[2].endsWith(u".gif") ? ReadAll(pictures + row[2]) : QByteArray()}};
        }

        QCOMPARE(folder.pickers.messages.size(), messages.size());
        for (qsizetype i = 0; i < messages.size(); ++i) {
            QVERIFY2(folder.pickers.messages[i].text.contains(messages[i]),
                     qPrintable(folder.pickers.messages[i].text));
        }
        auto after = Snapshot(user);
        for (const TemplateFile& file : saved.isEmpty() ? std::vector<TemplateFile>{} : expected) {
            const QByteArray bytes = ReadAll(user + saved + file.suffix + u".gif"_qs);
            QVERIFY(file.bytes.isEmpty() ? DecodeTemplate(bytes).image.size() == QSize(500, 500) : bytes == file.bytes);
            after.erase(saved + file.suffix + u".gif"_qs);
        }
        QVERIFY2(after == before, "other files were written or changed");
        const QString path = saved.isEmpty() ? folder.dir.filePath(u"t0.gif"_qs) : user + saved + u".gif"_qs;
        QCOMPARE(page.GetSelectedTemplatePath(), path);
        QCOMPARE(folder.catalog.PathAt(page.Strip()->SelectedIndex()), path);
        QCOMPARE(folder.catalog.Count(), saved.isEmpty() ? 3 : 4);
    }

    void footerLinksToTheShippedHelpPage() {
        Folder folder(1);
        const QUrl link = TemplatesPage(&folder.catalog, folder.pickers, folder.sources).FooterLabel()->Link();
        QVERIFY2(link.isLocalFile() && QFileInfo(link.toLocalFile()).isFile(), qPrintable(link.toString()));
        QVERIFY(link.toLocalFile().endsWith(QStringLiteral("/help/index.html")));
    }
};

QTEST_MAIN(tst_TemplatesPage)
#include "tst_TemplatesPage.moc"
