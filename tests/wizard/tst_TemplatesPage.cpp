#include "MarkupLabel.h"
#include "TemplateCatalog.h"
#include "TemplatePreview.h"
#include "TemplateStrip.h"
#include "TemplatesPage.h"
#include "TestGif.h"

#include <QDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Folder {
    QTemporaryDir dir;
    TemplateCatalog catalog;

    explicit Folder(int count) {
        for (int i = 0; i < count; ++i) {
            WriteTestGif(dir.filePath(QStringLiteral("t%1.gif").arg(i)), SolidTemplate(QColor(40 * i, 80, 160)));
        }
        catalog.Scan(dir.path() + u'/');
    }
};

}  // namespace

class tst_TemplatesPage : public QObject {
    Q_OBJECT

private slots:
    void layout() {
        Folder folder(1);
        TemplatesPage page(&folder.catalog);
        QCOMPARE(page.Strip()->geometry(), QRect(6, 3, 356, 354));
        QCOMPARE(page.Strip()->CellSize(), 79);
        QCOMPARE(page.Strip()->VGap(), 12);
        QCOMPARE(page.Preview()->geometry(), QRect(377, 15, 192, 208));
        QCOMPARE(page.FooterLabel()->geometry(), QRect(12, 366, 560, 31));
    }

    void firstTemplateSelectedWithoutAClick() {
        Folder folder(3);
        TemplatesPage page(&folder.catalog);
        QCOMPARE(page.GetSelectedTemplatePath(), folder.dir.filePath(QStringLiteral("t0.gif")));

        TemplateCatalog empty;
        QCOMPARE(TemplatesPage(&empty).GetSelectedTemplatePath(), QString());
    }

    void clickHandsTheFullPath() {
        Folder folder(3);
        TemplatesPage page(&folder.catalog);
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
        auto* page = new TemplatesPage(&folder.catalog, &wizard);
        wizard.show();
        QTest::keyClick(page, Qt::Key(key));
        QVERIFY(wizard.isVisible());
        QCOMPARE(wizard.result(), 0);
    }

    void footerLinksToTheShippedHelpPage() {
        Folder folder(1);
        TemplatesPage page(&folder.catalog);
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
