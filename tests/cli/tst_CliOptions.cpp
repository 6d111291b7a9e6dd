// The command line as ParseCommandLine takes it: the forms it accepts with the settings they give
// (accepted.tsv), and every way it refuses one before anything runs (refused.tsv).
#include "DataTable.h"
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "design/DesignFile.h"
#include "templatemaker/TemplateMaker.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

class tst_CliOptions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(WriteAll(File("big.html"), QByteArray((1 << 20) + 1, 'x')));
        QVERIFY(WriteAll(File("limit.html"), QByteArray(1 << 20, 'x')));
        QVERIFY(WriteAll(File("code.html"), "<p>\xe9\r\n"));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.gif")));
        QCOMPARE(::mkfifo(QFile::encodeName(File("fifo.html")).constData(), 0600), 0);
        QVERIFY(QFile::copy(QStringLiteral(VORNET_SOURCE_DIR "/tests/fuzz/corpus/fuzz_template/claims-5000-square"),
                            File("huge.gif")));
        // A design that came with its site, a page of which is a link to a file of the user's.
        QCOMPARE(::symlink("../.bashrc", QFile::encodeName(File("linked.html")).constData()), 0);
        QCOMPARE(::symlink("../.bashrc", QFile::encodeName(File("VornetAdCode.html")).constData()), 0);
        const QByteArray design = R"({"format": "vornetad-design", "version": 1, "output": )";
        QVERIFY(WriteAll(File("linking.vornetad"), design + R"({"mode": "modify", "pages": ["linked.html"]}})"));
        QVERIFY(WriteAll(File("linking-new.vornetad"), design + R"({"folder": ".", "file": "linked.html"}})"));
    }

    void accepted_givesTheSettingsOfItsRow_data() { Table("accepted.tsv"); }

    // The settings are compared whole, so that an option that changes another setting shows too;
    // `design --save` writes exactly the settings the other commands would use.
    void accepted_givesTheSettingsOfItsRow() {
        QFETCH(QByteArrayList, args);
        QFETCH(QByteArray, expected);
        const Result<CliRequest> parsed = ParseCommandLine(args);
        QVERIFY2(parsed.Ok(), qPrintable(parsed.error));
        QCOMPARE(parsed.value.command == CliRequest::Command::Help, expected == "help");
        if (expected == "help") {
            return;
        }
        const DesignRead wanted =
            ParseDesign(DesignFile(expected.replace("$M", QByteArray(1 << 20, 'x'))), QDir::currentPath());
        QVERIFY2(wanted.status.Ok(), qPrintable(wanted.status.error));
        QCOMPARE(DesignJson(parsed.value.design), DesignJson(wanted.design));
        QVERIFY(parsed.value.design == wanted.design);
        if (parsed.value.command == CliRequest::Command::Design) {
            QCOMPARE(RunDesign(parsed.value), 0);
            QVERIFY(ReadDesign(parsed.value.savePath).design == wanted.design);
        }
    }

    void badCommandLine_isRefused_data() { Table("refused.tsv"); }

    void badCommandLine_isRefused() {
        QFETCH(QByteArrayList, args);
        QFETCH(QByteArray, expected);
        // The template is checked by the commands that use it, before they write anything.
        const Result<CliRequest> parsed = ParseCommandLine(args);
        const QString error = parsed.Ok() ? LoadNamedTemplate(parsed.value).error : parsed.error;
        const QString part = QString::fromUtf8(expected);
        QVERIFY2(part.endsWith(u'$') ? error.endsWith(part.chopped(1)) : error.contains(part), qPrintable(error));
    }

    // A name taken from a current folder that cannot be named is refused: `--site .` from a
    // removed folder walked the whole disk. A bare --file name is the output folder's.
    void relativeName_needsACurrentFolderWithAName_data() {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<QString>("reason");
        QTest::newRow("removed") << QByteArray("gone") << u"the current folder no longer exists"_qs;
        QTest::newRow("not text") << QByteArray("caf\xe9") << u"the current folder's name is not valid UTF-8 text"_qs;
        QTest::newRow("too deep") << QByteArray("deep")
                                  << u"the current folder's path is longer than the system allows"_qs;
    }
    void relativeName_needsACurrentFolderWithAName() {
        QFETCH(QByteArray, folder);
        QFETCH(QString, reason);
        const QByteArray path = QFile::encodeName(m_dir.path()) + '/' + folder;
        const auto back = qScopeGuard([home = QDir::currentPath(), path, folder] {
            QDir::setCurrent(home);
            ::rmdir(path.constData());
        });
        QVERIFY(::mkdir(path.constData(), 0755) == 0 && ::chdir(path.constData()) == 0);
        QCOMPARE(folder == "gone" ? ::rmdir(path.constData()) : 0, 0);
        // A path longer than the system's limit is made, and taken apart, one folder at a time.
        const QByteArray step(250, 'd');
        int depth = 0;
        const auto up = qScopeGuard([&depth, &step] {
            for (; depth > 0 && ::chdir("..") == 0; --depth) {
                ::rmdir(step.constData());
            }
        });
        while (folder == "deep" && depth <= PATH_MAX / step.size()) {
            QVERIFY(::mkdir(step.constData(), 0755) == 0);
            ++depth;
            QVERIFY(::chdir(step.constData()) == 0);
        }
        const Result<CliRequest> relative = ParseCommandLine({"remove", "--site", "."});
        const Result<CliRequest> absolute = ParseCommandLine({"generate", "--out", "/tmp", "--file", "a.html"});
        QVERIFY2(relative.error.startsWith(u"--site: \".\" is taken from the current folder, but "_qs + reason),
                 qPrintable(relative.error));
        QVERIFY2(absolute.Ok(), qPrintable(absolute.error));
    }

    // make-template writes what the template maker makes (the wizard's dialog saves the same), the
    // colours not given being the style's, pure black kept: a template has no use for the banner's
    // stand-in colour.
    void makeTemplate_writesTheMakersFiles() {
        const Result<CliRequest> parsed =
            ParseCommandLine({"make-template", "--color3", "000000", "--style", "ribbon", "--color1", "#2e7D32",
                              "--save", QFile::encodeName(File("m.GIF"))});
        QVERIFY2(parsed.Ok(), qPrintable(parsed.error));
        QCOMPARE(RunMakeTemplate(parsed.value), 0);
        const TemplateStyle& ribbon = *FindTemplateStyle(u"ribbon"_qs);
        const std::vector<TemplateFile> files =
            MakeTemplateFiles(ribbon, {0xff2e7d32, ribbon.defaultColors[1], 0xff000000}).value;
        QCOMPARE(files.size(), size_t(4));
        for (const TemplateFile& file : files) {
            QCOMPARE(ReadAll(File("m") + file.suffix + u".GIF"_qs), file.bytes);
        }
    }

private:
    QString File(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    // A data file's rows: the words of a command line, split at spaces and percent-decoded ("" an
    // empty word), and what is expected of it; "$D" in either is the folder of test files, "$S" the
    // folder of those in the source tree.
    void Table(const char* file) const {
        QTest::addColumn<QByteArrayList>("args");
        QTest::addColumn<QByteArray>("expected");
        for (const QByteArrayList& row : DataRows(QFINDTESTDATA(file))) {
            QByteArrayList args;
            for (const QByteArray& word : row[0].split(' ')) {
                if (!word.isEmpty()) {
                    args.append(word == "\"\"" ? QByteArray() : WithFolders(QByteArray::fromPercentEncoding(word)));
                }
            }
            QTest::newRow(row[0].isEmpty() ? "(no words)" : row[0].constData()) << args << WithFolders(row.value(1));
        }
    }

    QByteArray WithFolders(QByteArray text) const {
        return text.replace("$D", QFile::encodeName(m_dir.path()))
            .replace("$S", QFile::encodeName(QFINDTESTDATA("files")))
            .replace("$M", QByteArray(1 << 20, 'x'));
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(tst_CliOptions)
#include "tst_CliOptions.moc"
