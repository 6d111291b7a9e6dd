#include "DataTable.h"
#include "TestGif.h"
#include "files/FileNames.h"
#include "files/Interruption.h"
#include "files/PrivateFolder.h"
#include "output/OutputRuns.h"
#include "output/PageInjection.h"

#include <QDir>
#include <QImage>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const QByteArray kPage = "<html><body><p>page</p>\n</body></html>\n";
const QImage kBanner = SolidTemplate(Qt::red, 60);
const QImage kBanner2x = SolidTemplate(Qt::red, 120);

}  // namespace

class tst_OutputRuns : public QObject {
    Q_OBJECT

private slots:
    // runs.tsv: which files a run writes, in which order, and what they hold.
    void runs_data() { AddTsvRows(QFINDTESTDATA("runs.tsv")); }
    void runs() {
        QFETCH(QByteArrayList, row);
        const QByteArray& mode = row[0];
        const QStringList given = QString::fromUtf8(row[2]).split(u' ');
        const QStringList reasons = QString::fromUtf8(row.value(4)).split(u';', Qt::SkipEmptyParts);
        QTemporaryDir dir;
        std::map<QString, QByteArray> before;
        for (const QByteArray& word : row[1].split(' ')) {
            const qsizetype eq = word.indexOf('=');
            const qsizetype link = eq < 0 ? word.indexOf('>') : -1;
            const qsizetype mode = eq < 0 && link < 0 ? word.indexOf(':') : -1;
            const qsizetype nameEnd = eq >= 0 ? eq : link >= 0 ? link : mode >= 0 ? mode : word.size();
            const QString path = dir.filePath(QString::fromUtf8(word.first(nameEnd)));
            QVERIFY(QDir().mkpath(word.endsWith('/') ? path : QFileInfo(path).path()));
            if (link >= 0) {
                // A link holds what it leads to, as far as a refusal leaving it as it was goes.
                const QString target =
                    QDir::cleanPath(QFileInfo(path).dir().filePath(QString::fromUtf8(word.mid(link + 1))));
                QVERIFY(QFile::link(QString::fromUtf8(word.mid(link + 1)), path));
                if (before.count(target)) {
                    before[path] = before[target];
                }
            } else if (!word.isEmpty() && !word.endsWith('/')) {
                before[path] = eq < 0 ? kPage : QByteArray::fromPercentEncoding(word.mid(eq + 1));
                QVERIFY(WriteAll(path, before[path]));
                QVERIFY(mode < 0 ||
                        ::chmod(QFile::encodeName(path).constData(), word.mid(mode + 1).toUInt(nullptr, 8)) == 0);
            }
        }
        // "owner=N": the nodes' folders are user N's, as in a user's site the superuser runs over,
        // which may hold pages of others.
        if (const qsizetype owner = mode.indexOf("owner="); owner >= 0) {
            if (::geteuid() != 0) {
                QSKIP("only the superuser can give files to another user");
            }
            const uint id = mode.mid(owner + 6).split(' ').constFirst().toUInt();
            for (const auto& [path, bytes] : before) {
                QCOMPARE(::chown(QFile::encodeName(QFileInfo(path).path()).constData(), id, id), 0);
            }
        }
        if (const qsizetype protect = mode.indexOf("protect="); protect >= 0) {
            const QString path = dir.filePath(QString::fromUtf8(mode.mid(protect + 8).split(' ').constFirst()));
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0444), 0);
        }
        const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
        QVERIFY(texts.Ok());
        AdSettings settings;
        settings.options.hidpi = mode.endsWith(" 2x");
        // "custom=C": the run's custom code is C (percent-encoded), which a removal takes too.
        if (const qsizetype custom = mode.indexOf("custom="); custom >= 0) {
            settings.customCodeEnabled = true;
            settings.customCode = QByteArray::fromPercentEncoding(mode.mid(custom + 7));
        }
        const BuiltCode code = mode.startsWith("preview")
                                   ? texts.value.BuildCode("adPreview.css", "adPreview.gif", settings)
                                   : texts.value.BuildCode(kAdvertStyleName, kAdvertImageName, settings);
        OutputTarget target;
        target.createNew = mode.startsWith("create");
        target.pagesFound = mode.startsWith("site");
        target.outputFolder = given[0];
        target.pages = given;
        // "template=T": the banner is drawn on the template T of the run's folder.
        if (const qsizetype drawnOn = mode.indexOf("template="); drawnOn >= 0) {
            target.templatePath = dir.filePath(QString::fromUtf8(mode.mid(drawnOn + 9).split(' ').constFirst()));
        }
        const QString home = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        // "limit=N": files may hold N bytes at most, as on a disk filling up while the run writes.
        // "umask=077": files are made private (and were by earlier runs), unless they are to be read as
        // a page is.
        rlimit previous{};
        ::getrlimit(RLIMIT_FSIZE, &previous);
        const mode_t previousMask = ::umask(022);
        ::umask(previousMask);
        // Whoever may read one of the pages (or the folder) given.
        mode_t pagesRead = 0;
        for (const QString& page : given) {
            struct stat info {};
            pagesRead |= ::stat(QFile::encodeName(page).constData(), &info) == 0 ? info.st_mode & 0444 : 0;
        }
        // Put back after the runs, and after a failed check on the way, so no later row runs limited.
        const auto restore = [&previous, &home, previousMask, handler = std::signal(SIGXFSZ, SIG_IGN)] {
            ::setrlimit(RLIMIT_FSIZE, &previous);
            std::signal(SIGXFSZ, handler);
            ::umask(previousMask);
            QDir::setCurrent(home);
        };
        const auto restoreAnyway = qScopeGuard(restore);
        if (const qsizetype limit = mode.indexOf("limit="); limit >= 0) {
            const rlimit fileSize{mode.mid(limit + 6).toULong(), previous.rlim_max};
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &fileSize), 0);
        }
        if (const qsizetype mask = mode.indexOf("umask="); mask >= 0) {
            ::umask(mode_t(mode.mid(mask + 6, 3).toUInt(nullptr, 8)));
            // What an earlier run under it made is private too.
            for (const auto& [path, bytes] : before) {
                QVERIFY(path.endsWith(u".html") || ::chmod(QFile::encodeName(path).constData(), 0600) == 0);
            }
        }
        const auto run = [&](bool dryRun) {
            target.dryRun = dryRun;
            return mode.startsWith("preview")
                       ? WritePreview(texts.value, kBanner, settings, given[0], kBanner2x, target.templatePath)
                   : mode.startsWith("remove") ? RemoveAdvert(given, settings.customCode, {}, {}, dryRun)
                                               : Generate(texts.value, kBanner, target, settings, kBanner2x);
        };
        // A dry run writes nothing, and lists what the run then writes and refuses (what only the
        // writing shows, past a file size limit, aside).
        const auto untouched = Snapshot(dir.path());
        const RunReport dry = mode.startsWith("preview") ? RunReport() : run(true);
        QVERIFY(Snapshot(dir.path()) == untouched);
        const RunReport report = run(false);
        // Run again as it was, a run changes nothing: no file gets a new node or time stamp, which
        // tools that upload, rebuild or reload by time would take for a change of each. (A write that
        // fails again for its size leaves the folder's times changed.) Under a private umask, an image
        // and a style sheet made private by an earlier run are still made readable, though they hold
        // the run's bytes (checked below).
        const bool madePrivate = mode.contains("umask=");
        for (const FileResult& file : report.files) {
            QVERIFY(!madePrivate || file.path.endsWith(u".html") ||
                    ::chmod(QFile::encodeName(file.path).constData(), 0600) == 0);
        }
        const auto done = Snapshot(dir.path(), !mode.contains("limit="));
        static_cast<void>(run(false));
        QVERIFY(madePrivate || Snapshot(dir.path(), !mode.contains("limit=")) == done);
        // Made read-only since (a site locked once it is up, a checkout kept read-only), its files
        // holding what the run writes, the run passes, its dry run too, and writes nothing.
        if (!madePrivate && !mode.contains("limit=") && !mode.startsWith("preview") && report.Ok()) {
            QStringList folders;
            for (const FileResult& file : report.files) {
                QCOMPARE(::chmod(QFile::encodeName(file.path).constData(), 0444), 0);
                folders.append(QFileInfo(file.path).absolutePath());
            }
            const auto unlock = qScopeGuard([&folders] {
                for (const QString& folder : folders) {
                    ::chmod(QFile::encodeName(folder).constData(), 0755);
                }
            });
            for (const QString& folder : folders) {
                QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
            }
            const auto locked = Snapshot(dir.path(), true);
            const RunReport dryAgain = run(true);
            const RunReport again = run(false);
            QVERIFY2(dryAgain.Ok() && again.Ok(),
                     qPrintable(dryAgain.Failures().value(0).error + again.Failures().value(0).error));
            // A removal has nothing left to take out.
            QCOMPARE(again.files.size(), mode.startsWith("remove") ? 0 : report.files.size());
            QVERIFY(Snapshot(dir.path(), true) == locked);
        }
        restore();
        if (!mode.startsWith("preview") && !mode.contains("limit=")) {
            QCOMPARE(dry.files.size(), report.files.size());
            for (qsizetype i = 0; i < dry.files.size(); ++i) {
                QCOMPARE(dry.files[i].path, report.files[i].path);
                QCOMPARE(dry.files[i].error, report.files[i].error);
            }
        }

        QStringList written;
        int refused = 0;
        for (const FileResult& file : report.files) {
            written.append(file.path + (file.Ok() ? QString() : u"!"_qs));
            const QString path = dir.filePath(file.path);
            if (!file.Ok()) {
                QVERIFY2(file.error.contains(reasons.value(refused++)), qPrintable(file.error));
                // A refusal (any failure but a full disk's) says "left as it is" where something stood at
                // the name, a link to nothing too, and only there.
                const QFileInfo at(path);
                QVERIFY(mode.contains("limit=") ||
                        file.error.endsWith(u"left as it is") == (at.exists() || at.isSymLink()));
                QCOMPARE(QFileInfo::exists(path), before.count(path) == 1);
                QCOMPARE(ReadAll(path), before[path]);
            } else if (mode.startsWith("remove")) {
                // A page in UTF-16 with its mark loses what the same text (read here by Qt's own
                // decoder) loses in 8 bits, in Latin-1 where the custom code is not UTF-8 (such rows'
                // pages hold no other letters), and keeps its form.
                const QByteArray& custom = settings.customCode;
                const std::optional<QStringConverter::Encoding> utf16 = QStringConverter::encodingForData(before[path]);
                if (utf16 == QStringConverter::Utf16LE || utf16 == QStringConverter::Utf16BE) {
                    QStringDecoder text(*utf16);
                    QStringEncoder form(*utf16, QStringConverter::Flag::WriteBom);
                    const QString page = text(before[path]);
                    const bool latin1 = !Utf8Text(custom);
                    const QByteArray left = RemoveOldBlocks(latin1 ? page.toLatin1() : page.toUtf8(), custom).page;
                    QCOMPARE(ReadAll(path),
                             QByteArray(form(latin1 ? QString::fromLatin1(left) : QString::fromUtf8(left))));
                } else {
                    QCOMPARE(ReadAll(path), RemoveOldBlocks(before[path], custom).page);
                }
            } else if (!path.endsWith(u".gif") && !path.endsWith(u".css")) {
                // The preview page is made new each time; a page is kept, its old block replaced. A
                // note (which these rows give no block) keeps its text whole, the block at its end.
                const bool kept = before.count(path) && !mode.startsWith("preview");
                QCOMPARE(ReadAll(path), path.endsWith(u".md")
                                            ? before[path] + code.codeBlock
                                            : InjectCode(kept ? before[path] : code.newPage, code.codeBlock));
            } else {
                // The block names the image and the style sheet that the run wrote beside it (a 2x
                // image without the option: the earlier pages that name it), which whoever may read
                // the page may read too.
                QVERIFY(code.codeBlock.contains(QFileInfo(path).fileName().toUtf8()) ||
                        (path.endsWith(u"@2x.gif") && !settings.options.hidpi));
                struct stat info {};
                QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
                const mode_t pageRead = mode.startsWith("preview") ? 0 : pagesRead;
                QCOMPARE(info.st_mode & pageRead, pageRead);
                // The superuser's new one belongs to its folder's owner.
                struct stat folder {};
                QCOMPARE(::stat(QFile::encodeName(QFileInfo(path).path()).constData(), &folder), 0);
                QCOMPARE(info.st_uid, before.count(path) || ::geteuid() != 0 ? info.st_uid : folder.st_uid);
                if (path.endsWith(u".css")) {
                    QCOMPARE(ReadAll(path), code.styleSheet);
                } else {
                    QCOMPARE(QImage(path, "GIF").size(), path.endsWith(u"@2x.gif") ? QSize(120, 120) : QSize(60, 60));
                }
            }
        }
        QCOMPARE(written.join(u' ').toUtf8(), row[3]);
        const bool preview = mode.startsWith("preview") && report.Ok();
        QCOMPARE(report.previewPage, preview ? JoinPath(given[0], u"adPreview.html"_qs) : QString());
    }

    // preview-folders.tsv: a folder of our own under the temporary location, whatever stood there.
    void privateFolder_onlyEverOurOwn_data() { AddTsvRows(QFINDTESTDATA("preview-folders.tsv")); }
    void privateFolder_onlyEverOurOwn() {
        QFETCH(QByteArrayList, row);
        const QByteArray tmpdir = QByteArray::fromPercentEncoding(row[0]);
        const QString squatter = QString::fromUtf8(row[1]);
        QTemporaryDir dir;
        const QString temp = tmpdir == "$T" ? dir.path() : u"/tmp"_qs;
        const QString stable = temp + QStringLiteral("/vornetad-%1").arg(::geteuid());
        const QByteArray name = QFile::encodeName(stable);
        const QString elsewhere = dir.filePath(u"elsewhere"_qs);
        QVERIFY(QDir().mkpath(elsewhere));
        if (squatter == u"own" || squatter == u"open" || squatter == u"foreign") {
            QCOMPARE(::mkdir(name.constData(), 0700), 0);
            QCOMPARE(::chmod(name.constData(), squatter == u"open" ? 0777 : 0700), 0);
            if (squatter == u"foreign" && ::geteuid() != 0) {
                QSKIP("only the superuser can make a folder for another user");
            }
            QCOMPARE(squatter == u"foreign" ? ::chown(name.constData(), 65534, 65534) : 0, 0);
        } else if (!squatter.isEmpty()) {
            QVERIFY(squatter == u"link" ? QFile::link(elsewhere, stable) : WriteAll(stable, "x"));
        }

        struct stat info {};
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmpdir == "$T" ? QFile::encodeName(temp) : tmpdir);
        const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
        QVERIFY(texts.Ok());
        const mode_t mask = ::umask(mode_t(row.value(3, "022").toUInt(nullptr, 8)));
        const FileResult first = PrivatePreviewFolder();
        const RunReport earlier = WritePreview(texts.value, kBanner, AdSettings());
        ::umask(mask);
        const RunReport report = WritePreview(texts.value, kBanner, AdSettings());
        const FileResult second = PrivatePreviewFolder();
        qputenv("TMPDIR", oldTemp);
        QCOMPARE(earlier.previewPage, report.previewPage);
        for (const FileResult& file : report.files) {
            QVERIFY2(file.Ok(), qPrintable(file.error));
            QVERIFY(::lstat(QFile::encodeName(file.path).constData(), &info) == 0 && (info.st_mode & 0600) == 0600);
        }

        QVERIFY2(first.Ok(), qPrintable(first.error));
        QCOMPARE(second.path, first.path);
        QCOMPARE(first.path == stable, row[2] == "y");
        QVERIFY(first.path.startsWith(temp + u"/vornetad-"));
        QCOMPARE(::lstat(QFile::encodeName(first.path).constData(), &info), 0);
        QCOMPARE(QStringLiteral("%1 %2").arg(info.st_mode, 0, 8).arg(info.st_uid), u"40700 %1"_qs.arg(::geteuid()));
        QCOMPARE(report.previewPage, JoinPath(first.path, u"adPreview.html"_qs));
        QVERIFY(QDir(elsewhere).isEmpty());
    }

    // Stopped while it waits for another run's turn in its last page's folder, a remove run says it
    // was stopped (the wizard showed "Done!"), and the page keeps its advert.
    // A run stopped while another holds its page's folder says it was stopped, though the page
    // waited for was its last, and leaves the page as it was.
    void stoppedWhileWaiting_saysSo_data() {
        QTest::addColumn<QByteArray>("mode");
        QTest::newRow("remove") << QByteArray("remove");
        QTest::newRow("modify") << QByteArray("modify");
        QTest::newRow("new page") << QByteArray("create");
    }
    void stoppedWhileWaiting_saysSo() {
        QFETCH(QByteArray, mode);
        QTemporaryDir dir;
        const QString page = dir.filePath(u"p.html"_qs);
        const QByteArray advert = "<p>x</p><!--VornetAdBegin-->ad<!--VornetAdEnd-->";
        QVERIFY(mode == "create" || WriteAll(page, advert));
        const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
        QVERIFY(texts.Ok());
        OutputTarget target;
        target.createNew = mode == "create";
        target.outputFolder = dir.path();
        target.fileName = u"p.html"_qs;
        target.pages = {page};
        const int held = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
        std::thread stop([] {
            QThread::msleep(200);
            RequestStop();
        });
        const RunReport report =
            mode == "remove" ? RemoveAdvert({page}, {}, {}) : Generate(texts.value, kBanner, target, {}, kBanner2x);
        stop.join();
        ClearStopRequest();
        ::close(held);
        QVERIFY(report.interrupted);
        QCOMPARE(ReadAll(page), mode == "create" ? QByteArray() : advert);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), mode == "create" ? QStringList() : QStringList{u"p.html"_qs});
    }
};

QTEST_GUILESS_MAIN(tst_OutputRuns)
#include "tst_OutputRuns.moc"
