// The command line's contract as a script sees it: the exit status (0 everything written, 1 some
// files failed, 2 bad usage and nothing written), the full path of every file written on stdout,
// and on stderr one line of our own per failure, never a library's. The engine's cases are tested
// in-process; these are the ones only a whole process shows.
#include "TestFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/stat.h>

namespace {

QString CliPath() {
    return QStringLiteral(VORNET_BINARY_DIR "/bin/vornetad-cli");
}

}  // namespace

class tst_CliProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(CliPath()), qPrintable(CliPath())); }

    // "%D" in the arguments and the output stands for the test's folder, which holds page.html,
    // a FIFO named fifo.html and a template cut short, cut.gif.
    void exitStatus_data() {
        QTest::addColumn<QByteArrayList>("args");
        QTest::addColumn<QByteArray>("env");  // NAME=value set for the run; empty: none
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("out");  // lines; "/tmp/*" matches any existing path under /tmp
        QTest::addColumn<QString>("err");      // the start of the one line on stderr; empty: none
        QTest::addColumn<bool>("unchanged");   // the folder is exactly as it was

        QTest::newRow("generate: all written")
            << QByteArrayList{"generate", "--size", "60", "--modify", "%D/page.html"} << QByteArray() << 0
            << QStringList{u"%D/VornetAdMap.gif"_qs, u"%D/VornetAdStyle.css"_qs, u"%D/page.html"_qs} << QString()
            << false;
        QTest::newRow("generate: a refused page, nothing written")
            << QByteArrayList{"generate", "--size", "60", "--modify", "%D/fifo.html"} << QByteArray() << 1
            << QStringList{} << u"%D/fifo.html: is a named pipe (FIFO)"_qs << true;
        // A PNG that cannot be written used to let the image library speak on stderr.
        QTest::newRow("compose: PNG into a missing folder")
            << QByteArrayList{"compose", "--size", "60", "--png", "%D/missing/b.png"} << QByteArray() << 1
            << QStringList{} << u"%D/missing/b.png: its folder does not exist"_qs << true;
        QTest::newRow("compose: GIF onto a FIFO")
            << QByteArrayList{"compose", "--gif", "%D/fifo.html"} << QByteArray() << 1 << QStringList{}
            << u"%D/fifo.html: is a named pipe (FIFO)"_qs << true;
        // A page without an advert is not even touched; a failure does not stop the others.
        QTest::newRow("remove: a refused page and one without an advert")
            << QByteArrayList{"remove", "%D/fifo.html", "%D/page.html"} << QByteArray() << 1
            << QStringList{u"%D/page.html: no advert"_qs} << u"%D/fifo.html: is a named pipe (FIFO)"_qs << true;
        QTest::newRow("generate --site: the FIFO is no page")
            << QByteArrayList{"generate", "--size", "60", "--site", "%D"} << QByteArray() << 0
            << QStringList{u"%D/VornetAdMap.gif"_qs, u"%D/VornetAdStyle.css"_qs, u"%D/page.html"_qs} << QString()
            << false;
        // A static block holds nothing inline, so a policy needs nothing for it.
        QTest::newRow("code --csp-hash --static: nothing printed")
            << QByteArrayList{"code", "--static", "--csp-hash"} << QByteArray() << 0 << QStringList{} << QString()
            << true;
        QTest::newRow("bad number") << QByteArrayList{"generate", "--size", "+300", "--modify", "%D/page.html"}
                                    << QByteArray() << 2 << QStringList{}
                                    << u"vornetad-cli: --size needs a whole number"_qs << true;
        QTest::newRow("file name '.'") << QByteArrayList{"generate", "--out", "%D", "--file", "."} << QByteArray() << 2
                                       << QStringList{} << u"vornetad-cli: --file needs a file name"_qs << true;
        QTest::newRow("page name not valid text")
            << QByteArrayList{"generate", "--modify", "%D/page\xff.html"} << QByteArray() << 2 << QStringList{}
            << u"vornetad-cli: --modify: the name \"%D/page\\xff.html\""_qs << true;
        QTest::newRow("template cut short")
            << QByteArrayList{"compose", "--template", "%D/cut.gif", "--gif", "%D/b.gif"} << QByteArray() << 2
            << QStringList{} << u"vornetad-cli: --template: \"%D/cut.gif\": the file ends"_qs << true;
        QTest::newRow("preview without a usable TMPDIR")
            << QByteArrayList{"preview", "--size", "60"} << QByteArray("TMPDIR=relative/tmp") << 0
            << QStringList{u"/tmp/*"_qs} << QString() << true;
        // The wizard's templates, then the user's own in the user's data folder (mine.gif there).
        QStringList templates;
        const QStringList shipped = QDir(QStringLiteral(VORNET_BINARY_DIR "/bin/vornets")).entryList({u"*.gif"_qs});
        for (const QString& name : shipped) {
            if (!name.contains(u'@') && !name.endsWith(u"b.gif")) {
                templates.append(QStringLiteral(VORNET_BINARY_DIR "/bin/vornets/") + name);
            }
        }
        QTest::newRow("templates: shipped, then the user's")
            << QByteArrayList{"templates"} << QByteArray("XDG_DATA_HOME=%D/share") << 0
            << templates + QStringList{u"%D/share/vornetad/vornets/mine.gif"_qs} << QString() << true;
        // Arguments are the program's alone, even those that Qt takes for options of its own.
        QTest::newRow("a value that looks like Qt's option")
            << QByteArrayList{"generate", "--size", "60", "--title", "-reverse", "--modify", "%D/page.html"}
            << QByteArray() << 0
            << QStringList{u"%D/VornetAdMap.gif"_qs, u"%D/VornetAdStyle.css"_qs, u"%D/page.html"_qs} << QString()
            << false;
    }

    void exitStatus() {
        QFETCH(QByteArrayList, args);
        QFETCH(QByteArray, env);
        QFETCH(int, status);
        QFETCH(QStringList, out);
        QFETCH(QString, err);
        QFETCH(bool, unchanged);

        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        QVERIFY(WriteAll(dir.filePath(QStringLiteral("page.html")), "<html><body><p>mine</p></body></html>\n"));
        QVERIFY(WriteAll(dir.filePath(QStringLiteral("cut.gif")), "GIF89a\x02\x00\x02\x00\xf1"));
        QCOMPARE(::mkfifo(QByteArray(folder + "/fifo.html").constData(), 0600), 0);
        QVERIFY(QDir(dir.path()).mkpath(u"share/vornetad/vornets"_qs));
        QVERIFY(QFile::copy(QStringLiteral(VORNET_SOURCE_DIR "/data/vornets/tape.gif"),
                            dir.filePath(u"share/vornetad/vornets/mine.gif"_qs)));
        const auto before = Snapshot(dir.path());

        // QProcess passes arguments through the locale's encoding, which cannot carry every byte;
        // the shell's printf passes them as they are.
        QByteArray command = "exec";
        for (QByteArray arg : QByteArrayList{QFile::encodeName(CliPath())} + args) {
            command += " \"$(printf '";
            for (const char c : arg.replace("%D", folder)) {
                command += '\\' + QByteArray::number(uchar(c), 8).rightJustified(3, '0');
            }
            command += "')\"";
        }
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        if (!env.isEmpty()) {
            environment.insert(QString::fromUtf8(env.left(env.indexOf('='))),
                               QString::fromUtf8(env.mid(env.indexOf('=') + 1).replace("%D", folder)));
        }
        cli.setProcessEnvironment(environment);
        cli.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromLatin1(command)});
        QVERIFY(cli.waitForFinished(60000));
        const QStringList outLines = QString::fromUtf8(cli.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        const QString errText = QString::fromUtf8(cli.readAllStandardError());

        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QVERIFY2(cli.exitCode() == status, qPrintable(errText));
        QCOMPARE(outLines.size(), out.size());
        for (qsizetype i = 0; i < out.size(); ++i) {
            if (out[i] == u"/tmp/*") {
                QVERIFY2(outLines[i].startsWith(u"/tmp/") && QFile::exists(outLines[i]), qPrintable(outLines[i]));
            } else {
                QCOMPARE(outLines[i], QString(out[i]).replace(u"%D"_qs, dir.path()));
            }
        }
        // One line of our own per failure; bad usage adds the hint to --help.
        const QStringList errLines = errText.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(errLines.size(), err.isEmpty() ? 0 : status == 2 ? 2 : 1);
        if (!err.isEmpty()) {
            QVERIFY2(errLines[0].startsWith(QString(err).replace(u"%D"_qs, dir.path())), qPrintable(errText));
        }
        if (unchanged) {
            QVERIFY(before == Snapshot(dir.path()));
        }
    }

    // Ctrl+C during a long run: it stops after the page in progress, so every page is either as
    // it was or done, and no temporary file is left behind.
    void interrupted_everyPageWhole() {
        QTemporaryDir dir;
        const QByteArray body = "<html><body>" + QByteArray(20000, 'x');
        const QByteArray page = body + "<!--VornetAdBegin-->ad<!--VornetAdEnd--></body></html>";
        const int count = 1000;
        for (int i = 0; i < count; ++i) {
            QVERIFY(WriteAll(dir.filePath(QStringLiteral("p%1.html").arg(i)), page));
        }
        QProcess cli;
        cli.start(CliPath(), {QStringLiteral("remove"), QStringLiteral("--site"), dir.path()});
        QVERIFY(cli.waitForStarted());
        // Pages are taken in byte order of their names: the signal comes once the first is done.
        QDeadlineTimer deadline(60000);
        while (ReadAll(dir.filePath(QStringLiteral("p0.html"))) == page && !deadline.hasExpired()) {
            QThread::usleep(200);
        }
        QCOMPARE(::kill(pid_t(cli.processId()), SIGINT), 0);
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 130);
        QVERIFY(cli.readAllStandardError().startsWith("vornetad-cli: interrupted;"));
        const QStringList names = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(names.size(), count);
        int done = 0;
        for (const QString& name : names) {
            const QByteArray bytes = ReadAll(dir.filePath(name));
            QVERIFY2(bytes == page || bytes == body + "</body></html>", qPrintable(name));
            done += bytes != page ? 1 : 0;
        }
        QVERIFY2(done > 0 && done < count, qPrintable(QString::number(done)));
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_GUILESS_MAIN(tst_CliProcess)
#include "tst_CliProcess.moc"
