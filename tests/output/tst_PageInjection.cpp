#include "DataTable.h"
#include "GoldenSettings.h"
#include "files/FileNames.h"
#include "output/OutputRuns.h"
#include "output/PageContext.h"
#include "output/PageInjection.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <new>
#include <optional>

namespace {

// Once set, every allocation this large fails, as in a process that has used up its memory.
size_t g_failFrom = 0;

// Writes, then leaves the process short of memory for what comes after.
QList<FileResult> WriteThenRunShort(const QList<FileToWrite>& files) {
    QList<FileResult> results = ReplaceFiles(files);
    g_failFrom = 64 * 1024;
    return results;
}

}  // namespace

void* operator new(size_t size) {
    void* memory = g_failFrom != 0 && size >= g_failFrom ? nullptr : std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}

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

        // The style sheet goes with the first page only (the run table checks the rest). The run
        // holds the folder until it is over; the remove run waits for its turn there.
        std::optional<SharedFiles> run;
        SharedFiles& shared = run.emplace(code, QList<ImageFile>{}, dir.filePath(u"VornetAdStyle.css"_qs));
        const FileResult first = shared.WritePage(page).constLast();
        QVERIFY2(first.Ok(), qPrintable(first.error));
        const QByteArray once = ReadAll(page);
        if (qEnvironmentVariableIntValue("VORNET_UPDATE_GOLDEN") == 1) {
            QVERIFY(WriteAll(path + u"expected.html", once));
        }
        QCOMPARE(once, ReadAll(path + u"expected.html"));

        QCOMPARE(shared.WritePage(page).size(), 1);
        QCOMPARE(ReadAll(page), once);
        run.reset();
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

    // policies.tsv: which Content-Security-Policy of a page keeps the advert from showing.
    void refusingPolicy_data() { AddTsvRows(QFINDTESTDATA("policies.tsv")); }
    void refusingPolicy() {
        QFETCH(QByteArrayList, row);
        const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
        QVERIFY(texts.Ok());
        AdSettings settings;
        settings.options.staticMarkup = row[1] == "static";
        const BuiltCode code = texts.value.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", settings);
        QByteArray page = QByteArray::fromPercentEncoding(row[0]);
        if (!settings.options.staticMarkup) {
            page.replace("$SCRIPT", code.cspSources[0].split(' ')[1])
                .replace("$STYLE", code.cspSources[1].split(' ')[1]);
        }
        const std::optional<RefusingPolicy> refusing = FindRefusingPolicy(page, InsertionPoint(page), code.cspSources);
        const QByteArray needed = refusing && !refusing->needed.isEmpty() ? refusing->needed.split(' ')[0] : "-";
        QCOMPARE(refusing ? QByteArray(refusing->directive + ' ' + needed) : QByteArray("-"), row[2]);
    }

    // A page written is reported written, with its notes, also where the memory runs out as it is
    // written: the pages whose markup is read from a copy of them (in an encoding that can hide tags)
    // need that copy for their notes.
    void writtenWhenMemoryRunsShort_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("note");
        QTest::newRow("base") << QByteArray("<base href='http://example.com/'><body>") << u"its <base href="_qs;
        QTest::newRow("details") << QByteArray("<body><details>") << u"its <details> opened"_qs;
        QTest::newRow("link") << QByteArray("<body><a href='x'>") << u"its <a> opened"_qs;
    }
    void writtenWhenMemoryRunsShort() {
        QFETCH(QByteArray, body);
        QFETCH(QString, note);
        const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
        QVERIFY(texts.Ok());
        const BuiltCode code = texts.value.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", AdSettings());
        QTemporaryDir dir;
        const QString page = dir.filePath(u"page.html"_qs);
        const QByteArray input = "<meta charset='iso-2022-jp'>" + body + QByteArray(1 << 20, 'a') + "</body>";
        QVERIFY(WriteAll(page, input));

        QImage banner(50, 50, QImage::Format_ARGB32_Premultiplied);
        banner.fill(Qt::red);
        const BannerGif gif(banner);
        SharedFiles shared(code, {{&gif, dir.filePath(u"VornetAdMap.gif"_qs)}}, dir.filePath(u"VornetAdStyle.css"_qs),
                           WriteThenRunShort);
        const QList<FileResult> results = shared.WritePage(page);
        g_failFrom = 0;
        QVERIFY2(results.constLast().Ok(), qPrintable(results.constLast().error));
        QVERIFY(ReadAll(page).contains("<!--VornetAdBegin-->"));
        const QStringList notes = shared.TakeNotes();
        QCOMPARE(notes.size(), 1);
        QVERIFY2(notes[0].startsWith(page + u": " + note), qPrintable(notes[0]));
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
