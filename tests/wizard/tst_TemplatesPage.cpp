#include "FakePickers.h"
#include "MarkupLabel.h"
#include "NewTemplateDialog.h"
#include "TemplateCatalog.h"
#include "TemplateImage.h"
#include "TemplatePreview.h"
#include "TemplateStrip.h"
#include "TemplatesPage.h"
#include "TestFiles.h"
#include "TestGif.h"

#include <QBuffer>
#include <QDialog>
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

QByteArray Png() {
    QImage image(80, 60, QImage::Format_ARGB32);
    image.fill(qRgba(200, 40, 40, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace

class tst_TemplatesPage : public QObject {
    Q_OBJECT

private slots:
    void layout() {
        Folder folder(1);
        TemplatesPage page(&folder.catalog, folder.pickers, folder.sources);
        QCOMPARE(page.Strip()->geometry(), QRect(6, 3, 356, 354));
        QCOMPARE(page.Strip()->CellSize(), 79);
        QCOMPARE(page.Strip()->VGap(), 12);
        QCOMPARE(page.Preview()->geometry(), QRect(377, 15, 192, 208));
        QCOMPARE(page.FooterLabel()->geometry(), QRect(12, 366, 560, 31));
        QCOMPARE(page.NewTemplateButton()->geometry(), QRect(368, 237, 210, 24));
        QCOMPARE(page.AddTemplateButton()->geometry(), QRect(368, 268, 210, 24));
    }

    void firstTemplateSelectedWithoutAClick() {
        Folder folder(3);
        TemplatesPage page(&folder.catalog, folder.pickers, folder.sources);
        QCOMPARE(page.GetSelectedTemplatePath(), folder.dir.filePath(QStringLiteral("t0.gif")));

        TemplateCatalog empty;
        QCOMPARE(TemplatesPage(&empty, folder.pickers, {}).GetSelectedTemplatePath(), QString());
    }

    void clickHandsTheFullPath() {
        Folder folder(3);
        TemplatesPage page(&folder.catalog, folder.pickers, folder.sources);
        page.show();
        const QPoint third = page.Strip()->CellOrigin(0, 2) + QPoint(10, 10);
        QTest::mouseClick(page.Strip(), Qt::LeftButton, {}, third);
        const QString expected = folder.dir.path() + QStringLiteral("/t2.gif");
        QCOMPARE(page.GetSelectedTemplatePath(), expected);
        QVERIFY(QFileInfo(page.GetSelectedTemplatePath()).isAbsolute());
        // A click beside the grid keeps the selection.
        QTest::mouseClick(page.Strip(), Qt::LeftButton, {}, QPoint(337, 5));
        QCOMPARE(page.GetSelectedTemplatePath(), expected);
    }

    void enterAndEscapeDoNothing_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("escape") << int(Qt::Key_Escape);
        QTest::newRow("return") << int(Qt::Key_Return);
        QTest::newRow("enter") << int(Qt::Key_Enter);
    }
    void enterAndEscapeDoNothing() {
        QFETCH(int, key);
        Folder folder(1);
        QDialog wizard;
        auto* next = new QPushButton(QStringLiteral("Next"), &wizard);
        next->setDefault(true);
        connect(next, &QPushButton::clicked, &wizard, &QDialog::accept);
        auto* page = new TemplatesPage(&folder.catalog, folder.pickers, folder.sources, &wizard);
        wizard.show();
        QTest::keyClick(page, Qt::Key(key));
        QVERIFY(wizard.isVisible());
        QCOMPARE(wizard.result(), 0);
    }

    // "New template…" and "Add template…" through the pickers alone: a template made in a look and
    // colours, or a picture added, lands in the user's folder, is listed after the shipped ones and
    // is selected at once. A taken or hidden name is refused and asked for again; nothing is written
    // over; a converted picture is told; cancelling writes nothing.
    void newAndAddTemplate_data() {
        QTest::addColumn<int>("style");             // the look's row in the dialog; -1: "Add template…"
        QTest::addColumn<QList<QColor>>("colors");  // picked for the look's colours in turn
        QTest::addColumn<QString>("picked");        // "Add template…": the file picked
        QTest::addColumn<QStringList>("names");     // typed, one per try; none: cancelled
        QTest::addColumn<QStringList>("messages");  // parts of the messages shown, in order
        QTest::addColumn<QString>("saved");         // the template's name; empty: nothing written
        const QList<QColor> green{QColor(0x2e, 0x7d, 0x32)};
        QTest::newRow("new: ribbon in green")
            << 5 << green << QString() << QStringList{u"brand"_qs} << QStringList{} << u"brand"_qs;
        QTest::newRow("new: taken name asked again")
            << 0 << QList<QColor>{} << QString() << QStringList{u"taken"_qs, u"brand"_qs}
            << QStringList{u"a template named \"taken\" is already there"_qs} << u"brand"_qs;
        QTest::newRow("new: hidden names asked again")
            << 2 << green << QString() << QStringList{u"club"_qs, u"x@2x.gif"_qs, u" "_qs, u"brand.gif"_qs}
            << QStringList{u"ends in \"b\""_qs, u"ends in \"@2x\""_qs, u"Give the template a name"_qs} << u"brand"_qs;
        QTest::newRow("new: cancelled") << 0 << green << QString() << QStringList{} << QStringList{} << QString();
        QTest::newRow("add: GIF as it is")
            << -1 << QList<QColor>{} << u"logo.gif"_qs << QStringList{u"logo"_qs} << QStringList{} << u"logo"_qs;
        QTest::newRow("add: PNG converted, taken name asked again")
            << -1 << QList<QColor>{} << u"photo.png"_qs << QStringList{u"taken"_qs, u"photo"_qs}
            << QStringList{u"already there"_qs, u"\"photo.png\" was converted"_qs} << u"photo"_qs;
        QTest::newRow("add: not a picture")
            << -1 << QList<QColor>{} << u"notes.gif"_qs << QStringList{u"notes"_qs}
            << QStringList{u"cannot be a template: not a GIF, PNG or JPEG image"_qs} << QString();
        QTest::newRow("add: cancelled") << -1 << QList<QColor>{} << u"logo.gif"_qs << QStringList{} << QStringList{}
                                        << QString();
    }
    void newAndAddTemplate() {
        QFETCH(int, style);
        QFETCH(QList<QColor>, colors);
        QFETCH(QString, picked);
        QFETCH(QStringList, names);
        QFETCH(QStringList, messages);
        QFETCH(QString, saved);
        Folder folder(2);
        const QString user = folder.sources.user + u'/';
        QVERIFY(QDir().mkpath(user) && WriteTestGif(user + u"taken.gif"_qs, SolidTemplate(Qt::gray)));
        const QString pictures = folder.dir.filePath(u"pictures/"_qs);
        QVERIFY(QDir().mkpath(pictures) && WriteTestGif(pictures + u"logo.gif"_qs, SolidTemplate(Qt::blue)));
        QVERIFY(WriteAll(pictures + u"photo.png"_qs, Png()) && WriteAll(pictures + u"notes.gif"_qs, "GIF is a word"));
        folder.catalog.Scan(folder.sources);
        const auto before = Snapshot(user);
        TemplatesPage page(&folder.catalog, folder.pickers, folder.sources);
        page.show();

        std::vector<TemplateFile> expected;
        if (style >= 0) {
            page.NewTemplateButton()->click();
            auto* dialog = page.findChild<NewTemplateDialog*>();
            QVERIFY(dialog != nullptr && dialog->isVisible());
            dialog->StyleList()->setCurrentRow(style);
            folder.pickers.colors.assign(colors.begin(), colors.end());
            for (qsizetype i = 0; i < colors.size(); ++i) {
                dialog->ColorButtons()[i]->click();
            }
            expected = MakeTemplateFiles(dialog->Style(), dialog->Colors()).value;
            for (const QString& name : std::as_const(names)) {
                dialog->NameEdit()->setText(name);
                dialog->SaveButton()->click();
            }
            if (names.isEmpty()) {
                dialog->reject();
            }
        } else {
            folder.pickers.files.push_back(pictures + picked);
            folder.pickers.texts.assign(names.begin(), names.end());
            page.AddTemplateButton()->click();
            // The picture's name is offered first, then what was typed; a refused picture asks nothing.
            const QString offered = names.size() > 1 ? names[names.size() - 2] : QFileInfo(picked).completeBaseName();
            QCOMPARE(folder.pickers.lastInitialText, saved.isEmpty() && !names.isEmpty() ? QString() : offered);
            const QByteArray source = ReadAll(pictures + picked);
            expected = {{QString(), picked.endsWith(u".gif") ? source : QByteArray()}};
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
        TemplatesPage page(&folder.catalog, folder.pickers, folder.sources);
        const QUrl link = page.FooterLabel()->Link();
        QVERIFY(link.isLocalFile());
        QVERIFY2(QFileInfo(link.toLocalFile()).isFile(), qPrintable(link.toString()));
        QVERIFY(link.toLocalFile().endsWith(QStringLiteral("/help/index.html")));
        QCOMPARE(page.FooterLabel()->Markup(),
                 QByteArray("<font color='969696'> For more internet marketing tools and tips, check out </font>"
                            "<font color='0000FF'>VornetAd tips</font>"));
    }
};

QTEST_MAIN(tst_TemplatesPage)
#include "tst_TemplatesPage.moc"
