// The command line's contract as a script sees it: the exit status (0 everything written, 1 some
// files failed, 2 bad usage and nothing written), the full path of every file written on stdout,
// and on stderr one line of our own per failure, never a library's. The engine's cases are tested
// in-process; these are the ones only a whole process shows.
#include "DataTable.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

const QString kCli = QStringLiteral(VORNET_BINARY_DIR "/bin/vornetad-cli");

class tst_CliProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(kCli), qPrintable(kCli)); }

    // No run of the program, a hostile template's included, took more than 80 MB at its peak (the
    // largest resident size of any child this process waited for). Sanitizers multiply memory.
    void cleanupTestCase() {
#if !defined(__SANITIZE_ADDRESS__)
        rusage usage{};
        QCOMPARE(::getrusage(RUSAGE_CHILDREN, &usage), 0);
        QVERIFY2(usage.ru_maxrss < 80 * 1000, qPrintable(QString::number(usage.ru_maxrss) + u" KB"_qs));
#endif
    }

    void exitStatus_data() {
        AddTsvRows(QFINDTESTDATA("runs.tsv"));
    }
    void exitStatus() {
        QFETCH(QByteArrayList, row);
        row.insert(1, QTest::currentDataTag());  // the words, which name the row
        QTemporaryDir dir;
        // Qt removes no name that is not valid text, nor a path longer than the system takes.
        const auto remove = qScopeGuard([&] { QProcess::execute(u"rm"_qs, {u"-rf"_qs, dir.path()}); });
        const QByteArray folder = QFile::encodeName(dir.path());
        for (QByteArray& column : row) {
            column.replace("$D", folder)
                .replace("$B", VORNET_BINARY_DIR)
                .replace("$S", VORNET_SOURCE_DIR "/tests/cli/files");
        }
        const int status = row[0].toInt();
        const QString out = QString::fromUtf8(row.value(2)).replace(u';', u'\n');
        const QString err = QString::fromUtf8(row.value(3));
        QVERIFY(WriteAll(dir.filePath(u"page.html"_qs), "<html><body><p>mine</p></body></html>\n") &&
                WriteAll(dir.filePath(u"notes.txt"_qs), "GIF89a came before PNG; \"vornetad-design\" files\n") &&
                WriteAll(dir.filePath(u"package.json"_qs), R"({"name": "shop"})") &&
                WriteAll(dir.filePath(u"old.shtml"_qs), "<p>x</p><!--VornetAdBegin-->ad<!--VornetAdEnd-->") &&
                WriteAll(dir.filePath(u"VornetAdStyle.css"_qs), "a{}"));
        QCOMPARE(::mkfifo(QByteArray(folder + "/fifo.html").constData(), 0600), 0);
        QVERIFY(QDir(dir.path()).mkpath(u"brand@2x.gif"_qs) && WriteAll(dir.filePath(u"oldb.GIF"_qs), "GIF89a"));
        QVERIFY(QDir(dir.path()).mkpath(u"sub"_qs) &&
                QFile::link(u"../old.shtml"_qs, dir.filePath(u"sub/old.shtml"_qs)));
        QVERIFY(QDir(dir.path()).mkpath(u"sub/inner"_qs) && QFile::link(u"sub/inner"_qs, dir.filePath(u"in"_qs)));
        QVERIFY(QFile::link(u"."_qs, dir.filePath(u"self"_qs)) &&
                QFile::link(dir.filePath(u"page.html"_qs), dir.filePath(u"noteb.gif"_qs)) &&
                QFile::link(u"page.html"_qs, dir.filePath(u"a.xhtml"_qs)));
        QVERIFY(WriteAll(dir.filePath(u"moved.vornetad"_qs), R"({"format": "vornetad-design", "version": 1,
                         "output": {"mode": "modify", "pages": ["index.html"]}})"));
        QVERIFY(QDir(dir.path()).mkpath(u"share/vornetad/vornets"_qs));
        QVERIFY(QFile::copy(QStringLiteral(VORNET_SOURCE_DIR "/data/vornets/tape.gif"),
                            dir.filePath(u"share/vornetad/vornets/mine.gif"_qs)));
        QVERIFY(QDir(dir.path()).mkpath(u".local"_qs) &&
                QFile::link(u"../unmounted/share"_qs, dir.filePath(u".local/share"_qs)));
        // Folders whose names differ only where they are not valid text (the third is how Qt shows
        // the first two), reached through links, and a design in the first that lists its page.
        const auto put = [](const QByteArray& name, QByteArrayView bytes) {
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            return fd >= 0 && ::write(fd, bytes.data(), size_t(bytes.size())) == bytes.size() && ::close(fd) == 0;
        };
        QVERIFY(QDir(dir.path()).mkpath(u".n"_qs));
        const QByteArray n = folder + "/.n/";
        for (const QByteArray name : {"caf\xe9", "caf\xe8", "caf\xef\xbf\xbd"}) {
            QVERIFY(::mkdir(QByteArray(n + name).constData(), 0755) == 0 && put(n + name + "/p.html", "<p>x</p>"));
        }
        QVERIFY(QDir().mkpath(QFile::decodeName(n + "caf\xef\xbf\xbd/vornetad/vornets")));
        QVERIFY(
            put(n + "caf\xef\xbf\xbd/vornetad/vornets/mine.gif", "GIF89a") && put(n + "list.gif", "shopping list\n") &&
            put(n + "caf\xe9/d.vornetad",
                R"({"format": "vornetad-design", "version": 1, "output": {"mode": "modify", "pages": ["p.html"]}})") &&
            put(n + "d\xe9.vornetad",
                R"({"format": "vornetad-design", "version": 1, "output": {"mode": "modify", "pages": ["e1/p.html"]}})") &&
            put(n + "q.html", "<p>q</p>") && QDir().mkpath(QFile::decodeName(n + "x/y")) &&
            put(n + "caf\xe8/notes\xff.txt", "notes") && QDir().mkpath(QFile::decodeName(n + "f/vornetad")) &&
            put(n + "f/vornetad/vornets", "notes") &&
            ::symlink("notes\xff.txt", QByteArray(n + "caf\xe8/n.html").constData()) == 0 &&
            ::symlink("x/a.gif", QByteArray(n + "a.gif").constData()) == 0 &&
            ::symlink("nofolder/../list.gif", QByteArray(n + "g.html").constData()) == 0 &&
            ::mkdir(QByteArray(n + "caf\xff").constData(), 0755) == 0 &&
            ::symlink("../caf\xff/tb.gif", QByteArray(n + "caf\xef\xbf\xbd/tb.gif").constData()) == 0 &&
            put(n + "x/q.html", "<p>x</p>") && ::symlink("x/y", QByteArray(n + "ly").constData()) == 0 &&
            ::mkdir(QByteArray(n + "tw").constData(), 0755) == 0 &&
            ::symlink("nowhere", QByteArray(n + "tw/VornetAdMap@2x.gif").constData()) == 0 &&
            ::mkdir(QByteArray(n + "tl").constData(), 0755) == 0 &&
            ::symlink("VornetAdMap@2x.gif", QByteArray(n + "tl/VornetAdMap@2x.gif").constData()) == 0 &&
            ::mkdir(QByteArray(n + "tf").constData(), 0755) == 0 &&
            ::symlink("../list.gif/x.gif", QByteArray(n + "tf/VornetAdMap@2x.gif").constData()) == 0 &&
            put(n + "up.vornetad", R"({"format": "vornetad-design", "version": 1, "output": {"mode": "modify", )"
                                   R"("pages": ["q.html", "ly/../q.html"]}})"));
        // Links to folders, and links to designs named so and kept in one.
        for (const auto& [link, target] : {std::pair{"e1", "caf\xe9"},
                                           {"e2", "caf\xe8"},
                                           {"d.vornetad", "d\xe9.vornetad"},
                                           {"in.vornetad", "caf\xe9/d.vornetad"}}) {
            QCOMPARE(::symlink(target, QByteArray(n + link).constData()), 0);
        }
        // A folder whose real path is longer than the system takes, built in two halves through a
        // link, and reached by two links, holding a template.
        const QByteArray half = QByteArrayList(9, QByteArray(250, 'd')).join('/');
        QVERIFY(QDir().mkpath(QFile::decodeName(n + "deep/" + half)) &&
                ::symlink(QByteArray("deep/" + half).constData(), QByteArray(n + "m").constData()) == 0 &&
                QDir().mkpath(QFile::decodeName(n + "m/" + half)));
        for (const char* link : {"l1", "l2"}) {
            QCOMPARE(::symlink(QByteArray("m/" + half).constData(), QByteArray(n + link).constData()), 0);
        }
        QVERIFY(QFile::copy(QStringLiteral(VORNET_SOURCE_DIR "/data/vornets/tape.gif"),
                            QFile::decodeName(n + "l1/t.gif")) &&
                QFile::copy(QStringLiteral(VORNET_SOURCE_DIR "/data/vornets/tape@2x.gif"),
                            QFile::decodeName(n + "l1/t@2x.GIF")));

        // QProcess passes arguments through the locale's encoding, which cannot carry every byte;
        // the shell's printf passes them as they are. The row's variable is set for the program alone,
        // as is its limit.
        const auto start = [&](QProcess& cli, const QByteArray& words) {
            const bool limit = row.value(4).startsWith("ulimit ");
            QByteArray command = (limit ? row.value(4) + "; " : QByteArray()) +
                                 "XDG_RUNTIME_DIR=" + QFile::encodeName(m_runtime.path()) + ' ' +
                                 (limit ? QByteArray() : row.value(4)) + " exec";
            for (const QByteArray& arg : QByteArrayList{QFile::encodeName(kCli)} + words.split(' ')) {
                command += " \"$(printf '";
                for (const char c : QByteArray::fromPercentEncoding(arg)) {
                    command += '\\' + QByteArray::number(uchar(c), 8).rightJustified(3, '0');
                }
                command += "')\"";
            }
            cli.setWorkingDirectory(dir.path());
            cli.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromLatin1(command)});
            return cli.waitForFinished(60000);
        };
        // The runs before the last one, which alone is checked, go through first.
        const QStringList runs = QString::fromLatin1(row[1]).split(u" && "_qs);
        for (const QString& earlier : runs.first(runs.size() - 1)) {
            QProcess cli;
            QVERIFY(start(cli, earlier.toLatin1()) && cli.exitCode() == 0);
        }
        auto before = Snapshot(dir.path());
        QProcess cli;
        QVERIFY(start(cli, runs.constLast().toLatin1()));
        const QString outText = QString::fromUtf8(cli.readAllStandardOutput());
        const QString errText = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QVERIFY2(cli.exitCode() == status, qPrintable(errText));

        // Every file written, by its full path; nothing else changed (with --dry-run, nothing at all).
        const QString pattern = QRegularExpression::escape(out).replace(u"\\*"_qs, u".*"_qs);
        const QRegularExpression expected(u"\\A"_qs + pattern + u"\n?\\z"_qs,
                                          QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(expected.match(outText).hasMatch(), qPrintable(outText));
        auto after = Snapshot(dir.path());
        for (const QString& line : outText.split(u'\n', Qt::SkipEmptyParts)) {
            if (!runs.constLast().contains(u"--dry-run")) {
                QVERIFY2(line.contains(u": ") || QFileInfo(line).isFile(), qPrintable(line));
                // A file written through a link changes where the link leads.
                for (const QString& path : {line, QFileInfo(line).canonicalFilePath()}) {
                    after.erase(QDir(dir.path()).relativeFilePath(path));
                    before.erase(QDir(dir.path()).relativeFilePath(path));
                }
                // So may the folders made for it (the user's own templates folder, saved into first).
                for (QString made = QDir(dir.path()).relativeFilePath(QFileInfo(line).path());
                     made != u"." && !before.count(made); made = QFileInfo(made).path()) {
                    after.erase(made);
                }
            }
        }
        QVERIFY2(after == before, "a file that stdout does not name changed");
        // One line of our own per failure; bad usage adds the hint to --help, unless the design file
        // or a site's folder is what could not be read.
        const QStringList errLines = errText.split(u'\n', Qt::SkipEmptyParts);
        const bool hint =
            status == 2 && !err.startsWith(u"vornetad-cli: --design: \"") && !err.startsWith(u"vornetad-cli: --site: ");
        const QStringList errStarts = err.isEmpty() ? QStringList() : err.split(u"\\n"_qs);
        QCOMPARE(errLines.size(), errStarts.size() + (hint ? 1 : 0));
        for (qsizetype i = 0; i < errStarts.size(); ++i) {
            QVERIFY2(errLines[i].startsWith(errStarts[i]), qPrintable(errText));
        }
        if (!row.value(5).isEmpty()) {
            static const QRegularExpression block(u"<!--VornetAdBegin-->.*?<!--VornetAdEnd-->"_qs,
                                                  QRegularExpression::DotMatchesEverythingOption);
            QCOMPARE(QString::fromUtf8(ReadAll(dir.filePath(u"page.html"_qs))).replace(block, u"[BLOCK]"_qs),
                     QString::fromUtf8(row[5]) + u'\n');
        }
    }

    // Ctrl+C or a closed terminal during a long run: it stops after the page in progress, so every
    // page is either as it was or done, no temporary file is left behind, and every page done is
    // listed. A second Ctrl+C stops it at once, and still every page it finished has been listed,
    // but for the one it may have been stopped between writing and listing. A run started to
    // ignore a closed terminal (by nohup), or whose reader stops reading, goes on to its end.
    void interrupted_everyPageWholeAndListed_data() {
        AddTableRows(QFINDTESTDATA("interruptions.txt"));
    }
    void interrupted_everyPageWholeAndListed() {
        QFETCH(QStringList, row);
        QList<int> sent;
        for (const QString& name : QString(row[0]).remove(u'-').split(u' ', Qt::SkipEmptyParts)) {
            sent << (name == u"INT" ? SIGINT : name == u"QUIT" ? SIGQUIT : name == u"XCPU" ? SIGXCPU : SIGHUP);
        }
        const QString start = row[1] == u"-" ? QString() : row[1];
        QTemporaryDir dir;
        const QByteArray body = "<html><body>" + QByteArray(20000, 'x');
        const QByteArray page = body + "<!--VornetAdBegin-->ad<!--VornetAdEnd--></body></html>";
        const int count = 1000;
        for (int i = 0; i < count; ++i) {
            QVERIFY(WriteAll(dir.filePath(QStringLiteral("p%1.html").arg(i)), page));
        }
        // Descriptor 3 of the shell is a pipe whose reader is gone.
        int ends[2];
        QCOMPARE(::pipe(ends), 0);
        ::close(ends[0]);
        QProcess cli;
        cli.setChildProcessModifier([write = ends[1]] { ::dup2(write, 3); });
        cli.start(u"/bin/sh"_qs, {u"-c"_qs, start + u"exec \"$0\" remove --site \"$1\""_qs, kCli, dir.path()});
        QVERIFY(cli.waitForStarted());
        ::close(ends[1]);
        // Pages are taken in byte order of their names: the signal comes once the first is done.
        QDeadlineTimer deadline(60000);
        while (ReadAll(dir.filePath(QStringLiteral("p0.html"))) == page && !deadline.hasExpired()) {
            QThread::usleep(200);
        }
        for (qsizetype i = 0; i < sent.size(); ++i) {
            // Apart, so that the system does not merge them into one; by the second, the run may
            // have ended of itself.
            QThread::usleep(500);
            QVERIFY(::kill(pid_t(cli.processId()), sent[i]) == 0 || (i > 0 && errno == ESRCH));
        }
        QVERIFY(cli.waitForFinished(60000));
        const bool finishes = start.contains(u"HUP") || sent.isEmpty();
        // Ended by the signal: at once, or, after Ctrl+C, once stopped, so that a script stops too.
        const bool ended = cli.exitStatus() == QProcess::CrashExit;
        // The second Ctrl+C may come after the run has stopped of itself.
        const bool stopped = cli.readAllStandardError().startsWith("vornetad-cli: interrupted;");
        const bool stoppedAtOnce = ended && !stopped;
        QVERIFY(stoppedAtOnce ? sent.size() > 1 || sent.contains(SIGQUIT)
                : finishes    ? !ended && cli.exitCode() == 0
                              : stopped && (sent[0] == SIGINT ? ended && cli.exitCode() == SIGINT
                                                              : !ended && cli.exitCode() == 130));
        const qsizetype listed = cli.readAllStandardOutput().count('\n');
        const QStringList names = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(names.size(), count);
        int done = 0;
        for (const QString& name : names) {
            const QByteArray bytes = ReadAll(dir.filePath(name));
            QVERIFY2(bytes == page || bytes == body + "</body></html>", qPrintable(name));
            done += bytes != page ? 1 : 0;
        }
        QVERIFY2(finishes ? done == count : done > 0 && done < count, qPrintable(QString::number(done)));
        QVERIFY2(listed == done || (stoppedAtOnce && listed == done - 1) || start.startsWith(u"exec"),
                 qPrintable(u"%1 listed, %2 done"_qs.arg(listed).arg(done)));
    }

    // What the process meets rather than a file fails the run with the reason: output a script
    // cannot read, though every file was written; a file size limit (ulimit -f), which leaves the
    // page as it was and no temporary file, where it would have ended the process unannounced.
    void processLimits_failTheRunWithTheReason_data() {
        AddTableRows(QFINDTESTDATA("limits.txt"));
    }
    void processLimits_failTheRunWithTheReason() {
        QFETCH(QStringList, row);
        QTemporaryDir dir;
        const QByteArray page = "<html><body>\n</body></html>\n";
        QVERIFY(WriteAll(dir.filePath(u"p.html"_qs), page));
        QProcess cli;
        cli.setWorkingDirectory(dir.path());
        cli.start(u"/bin/sh"_qs, {u"-c"_qs, u"ulimit -f 1 && exec \"$0\" "_qs + row[0], kCli});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 1);
        const QString error = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(error.contains(row[1]), qPrintable(error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"p.html"_qs});
        QCOMPARE(ReadAll(dir.filePath(u"p.html"_qs)), page);
    }

    // Two runs into one folder take turns: one writes nothing there while the other holds it, so
    // no page of one shows the other's banner; stopped while it waits, it writes nothing at all.
    // So do runs that make a template, which would otherwise leave one family of two drawings, and
    // runs that take the advert out. Held here as a run holds it.
    void runsIntoOneFolder_takeTurns() {
        QTemporaryDir dir;
        const QByteArray page = "<html><body>\n</body></html>\n";
        QVERIFY(WriteAll(dir.filePath(u"p.html"_qs), page) && WriteAll(dir.filePath(u"q.html"_qs), page));
        const int held = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
        QProcess stopped;
        QProcess waiting;
        for (QProcess* cli : {&stopped, &waiting}) {
            cli->start(kCli, {u"generate"_qs, u"--modify"_qs, dir.filePath(u"p.html"_qs)});
            QVERIFY(cli->waitForStarted());
        }
        QProcess making;
        making.start(kCli, {u"make-template"_qs, u"--style"_qs, u"ribbon"_qs, u"--save"_qs, dir.filePath(u"n.gif"_qs)});
        QProcess removing;
        removing.start(kCli, {u"remove"_qs, dir.filePath(u"q.html"_qs)});
        QVERIFY(removing.waitForStarted() && !waiting.waitForFinished(1500) && !removing.waitForFinished(100));
        QCOMPARE(::kill(pid_t(stopped.processId()), SIGINT), 0);
        QVERIFY(stopped.waitForFinished(60000));
        QCOMPARE(stopped.exitCode(), SIGINT);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{u"p.html"_qs, u"q.html"_qs}));
        QCOMPARE(ReadAll(dir.filePath(u"p.html"_qs)), page);
        ::close(held);
        QVERIFY(making.waitForFinished(60000) && making.exitCode() == 0);
        QVERIFY(removing.waitForFinished(60000) && removing.exitCode() == 0);
        QVERIFY(waiting.waitForFinished(60000));
        QCOMPARE(waiting.exitCode(), 0);
        QVERIFY(ReadAll(dir.filePath(u"p.html"_qs)).contains("VornetAdBegin"));
        QCOMPARE(waiting.readAllStandardError(),
                 QFile::encodeName(dir.path()) +
                     ": another run is writing into this folder; waiting for it to finish\n");
    }

    // Where the file system does not tell letter case apart (a memory stick's FAT), one template's
    // name may be another's shadowless variant: "my" writes "myb.gif", which is "myB.gif" there.
    // Both ways round, the template saved first keeps every file.
    void makeTemplate_caseBlindFolder_keepsAnotherTemplate() {
        QTemporaryDir dir;
        const QString image = dir.filePath(u"fat.img"_qs);
        const QString folder = dir.filePath(u"stick"_qs);
        const auto run = [](const QString& program, const QStringList& arguments) {
            QProcess process;
            process.start(program, arguments);
            return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
                   process.exitCode() == 0;
        };
        if (!QDir().mkpath(folder) || !run(u"mkfs.fat"_qs, {u"-C"_qs, image, u"2048"_qs}) ||
            !run(u"fusefat"_qs, {u"-o"_qs, u"rw+"_qs, image, folder})) {
            QSKIP("no FAT file system can be mounted here (mkfs.fat, fusefat and /dev/fuse)");
        }
        const auto unmount = qScopeGuard([&] { run(u"fusermount"_qs, {u"-u"_qs, folder}); });
        for (const auto& [first, second] : {std::pair{u"myB"_qs, u"my"_qs}, std::pair{u"yo"_qs, u"yoB"_qs}}) {
            const auto make = [&](const QString& name) {
                QProcess cli;
                cli.start(kCli, {u"make-template"_qs, u"--style"_qs, u"curl"_qs, u"--save"_qs,
                                 folder + u'/' + name + u".gif"_qs});
                return cli.waitForFinished(60000) ? cli.exitCode() : -1;
            };
            QCOMPARE(make(first), 0);
            QStringList files;
            QByteArrayList bytes;
            for (const QString& name : QDir(folder).entryList(QDir::Files)) {
                files.append(name);
                bytes.append(ReadAll(folder + u'/' + name));
            }
            QCOMPARE(make(second), 1);
            QCOMPARE(QDir(folder).entryList(QDir::Files), files);
            for (qsizetype i = 0; i < files.size(); ++i) {
                QVERIFY2(ReadAll(folder + u'/' + files[i]) == bytes[i], qPrintable(files[i]));
            }
        }
    }

    // A file system may take a change of owner without making it (bindfs --chown-ignore): the
    // superuser's run would give another user's page to the superuser. It is refused, the page as
    // it was.
    void modify_ownerTakenButNotGiven_refused() {
        if (::geteuid() != 0) {
            QSKIP("only the superuser writes another user's page");
        }
        QTemporaryDir dir;
        const QString source = dir.filePath(u"source"_qs);
        const QString view = dir.filePath(u"view"_qs);
        const QByteArray page = "<html><body><p>hello</p></body></html>\n";
        QVERIFY(QDir().mkpath(source) && QDir().mkpath(view) && WriteAll(source + u"/p.html"_qs, page) &&
                ::chown(QFile::encodeName(source + u"/p.html"_qs).constData(), 1000, 1000) == 0);
        if (QProcess::execute(u"bindfs"_qs, {u"--chown-ignore"_qs, source, view}) != 0) {
            QSKIP("no file system can be mounted here through bindfs and /dev/fuse");
        }
        const auto unmount = qScopeGuard([&] { QProcess::execute(u"fusermount"_qs, {u"-u"_qs, view}); });
        QProcess cli;
        cli.start(kCli, {u"generate"_qs, u"--modify"_qs, view + u"/p.html"_qs});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(cli.readAllStandardError().contains("takes the change without making it"));
        struct stat node {};
        QVERIFY(::stat(QFile::encodeName(source + u"/p.html"_qs).constData(), &node) == 0);
        QCOMPARE(node.st_uid, uid_t(1000));
        QCOMPARE(ReadAll(source + u"/p.html"_qs), page);
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_GUILESS_MAIN(tst_CliProcess)
#include "tst_CliProcess.moc"
