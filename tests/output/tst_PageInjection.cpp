#include "DataTable.h"
#include "GoldenSettings.h"
#include "files/FileNames.h"
#include "output/OutputRuns.h"
#include "output/PageInjection.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class tst_PageInjection : public QObject {
    Q_OBJECT

private slots:
    // Each folder under golden/pages holds settings.txt (see GoldenSettings.h), expected.html and,
    // unless the page is to be made new, input.html; perhaps removed.html (below). VORNET_UPDATE_GOLDEN=1 rewrites
    // expected.html (review the diff!).
    void goldenPages_data() { AddPathRows({QFINDTESTDATA("golden/pages")}, QDir::Dirs); }
    void goldenPages() {
        QFETCH(QString, path);
        const AdSettings settings = ReadSettings(path + u"settings.txt");
        const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
        QVERIFY(texts.Ok());
        const BuiltCode code = texts.value.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", settings);
        QTemporaryDir dir;
        const QString page = dir.filePath(u"page.html"_qs);
        const QByteArray input = QFile::exists(path + u"input.html") ? ReadAll(path + u"input.html") : code.newPage;
        QVERIFY(!QFile::exists(path + u"input.html") || WriteAll(page, input));

        // The style sheet goes with the first page only (the run table checks the rest).
        SharedFiles shared(code, {}, dir.filePath(u"VornetAdStyle.css"_qs));
        const FileResult first = shared.WritePage(page).constLast();
        QVERIFY2(first.Ok(), qPrintable(first.error));
        const QByteArray once = ReadAll(page);
        if (qEnvironmentVariableIntValue("VORNET_UPDATE_GOLDEN") == 1) {
            QVERIFY(WriteAll(path + u"expected.html", once));
        }
        QCOMPARE(once, ReadAll(path + u"expected.html"));

        QCOMPARE(shared.WritePage(page).size(), 1);
        QCOMPARE(ReadAll(page), once);
        // The remove run leaves the page as it was before the first run: only what runs wrote goes;
        // removed.html, where there is one, holds what stays where that cannot be told.
        const QByteArray customCode = settings.customCodeEnabled ? settings.customCode : QByteArray();
        QVERIFY(RemoveAdvert({page}, customCode, settings.earlierCustomCodes).Ok());
        const QString removed = path + u"removed.html";
        QCOMPARE(ReadAll(page), QFile::exists(removed)
                                    ? ReadAll(removed)
                                    : RemoveOldBlocks(input, customCode, settings.earlierCustomCodes).page);
    }

    // insertion.tsv: where the block goes into a page, what a <base href> makes of its address, and
    // what an element left open there makes of it.
    void insertionPoint_data() { AddTsvRows(QFINDTESTDATA("insertion.tsv")); }
    void insertionPoint() {
        QFETCH(QByteArrayList, row);
        const QByteArray page = QByteArray::fromPercentEncoding(row[0]);
        QCOMPARE(QByteArray::number(FindBodyEnd(page)), row[1]);
        QCOMPARE(QByteArray::number(InsertionPoint(page)), row[2]);
        QCOMPARE(BaseAddress(page).value_or("-"), row.value(3, "-"));
        const std::optional<HidingElement> hider = FindHidingElement(page, InsertionPoint(page));
        QCOMPARE(hider ? QByteArray(hider->tag + ' ' + QByteArray::number(hider->line) +
                                    (hider->cutsTheBanner ? " cut" : ""))
                       : "-",
                 row.value(4, "-"));
    }

    // paths.tsv: a page's folder, and a file put beside it. A folder typed without its trailing
    // separator still receives the file inside it.
    void paths_data() { AddTsvRows(QFINDTESTDATA("paths.tsv")); }
    void paths() {
        QFETCH(QByteArrayList, row);
        const QString folder = QString::fromUtf8(row[1]);
        QCOMPARE(FolderOf(QString::fromUtf8(row[0])).toUtf8(), row[1]);
        QCOMPARE(JoinPath(folder, u"f.gif"_qs).toUtf8(), row[2]);
        QCOMPARE(JoinPath(folder.size() > 1 ? folder.chopped(1) : folder, u"f.gif"_qs).toUtf8(), row[2]);
    }
};

QTEST_GUILESS_MAIN(tst_PageInjection)
#include "tst_PageInjection.moc"
