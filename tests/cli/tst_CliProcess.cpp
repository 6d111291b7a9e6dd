// The command line's contract as a script sees it: a bad command line gives one clear message on
// stderr, exit status 2, nothing on stdout, and leaves every file as it was.
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString CliPath() {
    return QStringLiteral(VORNET_BINARY_DIR "/bin/vornetad-cli");
}

// The options that take a value, each with a command it applies to and the arguments that command
// needs besides it (%OUT% and %PAGE% stand for the test's folder and page).
struct ValueOption {
    QString name;
    QStringList command;
};

QList<ValueOption> ValueOptions() {
    const QStringList generate = {QStringLiteral("generate"), QStringLiteral("--out"), QStringLiteral("%OUT%")};
    const QStringList modify = {QStringLiteral("generate"), QStringLiteral("--modify"), QStringLiteral("%PAGE%")};
    QList<ValueOption> options;
    for (const char* name :
         {"--template", "--size", "--side", "--link", "--title", "--custom-code", "--custom-code-file", "--file"}) {
        options.append({QLatin1String(name), generate});
    }
    for (const char* stem : {"--line", "--font", "--pt", "--color", "--offset"}) {
        for (int n = 1; n <= 3; ++n) {
            options.append({QLatin1String(stem) + QString::number(n), modify});
        }
    }
    options.append({QStringLiteral("--modify"), modify});
    options.append({QStringLiteral("--out"), generate});
    options.append({QStringLiteral("--gif"), {QStringLiteral("compose")}});
    options.append({QStringLiteral("--png"), {QStringLiteral("compose")}});
    options.append({QStringLiteral("--dir"), {QStringLiteral("preview")}});
    return options;
}

}  // namespace

class tst_CliProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(CliPath()), qPrintable(CliPath())); }

    void badCommandLine_exit2AndNothingWritten_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("messagePart");

        for (const ValueOption& option : ValueOptions()) {
            QTest::addRow("%s without a value", qPrintable(option.name))
                << option.command + QStringList{option.name} << option.name + QStringLiteral(" needs a value");
        }

        const struct {
            const char* option;
            int low;
            int high;
        } ranges[] = {{"--size", 50, 500},  {"--pt1", 1, 200},    {"--pt2", 1, 200},   {"--pt3", 1, 200},
                      {"--offset1", -5, 5}, {"--offset2", -5, 5}, {"--offset3", -5, 5}};
        const QStringList generate = {QStringLiteral("generate"), QStringLiteral("--out"), QStringLiteral("%OUT%")};
        for (const auto& r : ranges) {
            const QString name = QLatin1String(r.option);
            for (const int value : {r.low - 1, r.high + 1}) {
                QTest::addRow("%s %d", r.option, value)
                    << generate + QStringList{name, QString::number(value)} << QStringLiteral("must be between");
            }
            for (const char* text : {"ten", "3.5", "", "0x10", "99999999999"}) {
                QTest::addRow("%s \"%s\"", r.option, text) << generate + QStringList{name, QLatin1String(text)} << name;
            }
        }
        for (const char* colour : {"", "12345", "1234567", "GGGGGG", "-00001"}) {
            QTest::addRow("--color2 \"%s\"", colour)
                << generate + QStringList{QStringLiteral("--color2"), QLatin1String(colour)}
                << QStringLiteral("--color2");
        }

        const QStringList modify = {QStringLiteral("generate"), QStringLiteral("--modify"), QStringLiteral("%PAGE%")};
        const auto withTemplate = [&modify](const char* file) {
            return modify + QStringList{QStringLiteral("--template"), QStringLiteral("%OUT%/") + QLatin1String(file)};
        };
        QTest::newRow("template missing") << withTemplate("missing.gif") << QStringLiteral("does not exist");
        QTest::newRow("template of text") << withTemplate("text.gif") << QStringLiteral("not a GIF");
        QTest::newRow("template of PNG") << withTemplate("png.gif") << QStringLiteral("not a GIF");
        QTest::newRow("template empty") << withTemplate("empty.gif") << QStringLiteral("not a GIF");
        QTest::newRow("template a folder") << withTemplate("folder.gif") << QStringLiteral("not a file");
        QTest::newRow("template of 5000 x 5000") << withTemplate("huge.gif") << QStringLiteral("larger than");

        QTest::newRow("unknown option") << modify + QStringList{QStringLiteral("--colour1"), QStringLiteral("ff0000")}
                                        << QStringLiteral("unknown option \"--colour1\"");
        QTest::newRow("option with equals sign")
            << modify + QStringList{QStringLiteral("--size=300")} << QStringLiteral("unknown option");
        QTest::newRow("fourth line") << modify + QStringList{QStringLiteral("--line4"), QStringLiteral("x")}
                                     << QStringLiteral("unknown option");
        QTest::newRow("bare word") << modify + QStringList{QStringLiteral("extra")} << QStringLiteral("unknown option");
        QTest::newRow("option of another command")
            << modify + QStringList{QStringLiteral("--gif"), QStringLiteral("x.gif")}
            << QStringLiteral("does not apply");
        QTest::newRow("custom code file missing")
            << modify + QStringList{QStringLiteral("--custom-code-file"), QStringLiteral("%OUT%/none.html")}
            << QStringLiteral("cannot read");
        QTest::newRow("bad value after a good page")
            << modify + QStringList{QStringLiteral("--modify"), QStringLiteral("%PAGE%"), QStringLiteral("--size"),
                                    QStringLiteral("0")}
            << QStringLiteral("must be between");
    }

    void badCommandLine_exit2AndNothingWritten() {
        QFETCH(QStringList, args);
        QFETCH(QString, messagePart);

        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("page.html"));
        QVERIFY(WriteAll(page, "<html><body><p>mine</p></body></html>\n"));
        QVERIFY(WriteAll(dir.filePath(QStringLiteral("text.gif")), "plain text, not an image\n"));
        QVERIFY(WriteAll(dir.filePath(QStringLiteral("empty.gif")), {}));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.gif")));
        QImage image(4, 4, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(dir.filePath(QStringLiteral("png.gif")), "PNG"));
        QVERIFY(QFile::copy(QStringLiteral(VORNET_SOURCE_DIR "/tests/fuzz/corpus/fuzz_template/claims-5000-square"),
                            dir.filePath(QStringLiteral("huge.gif"))));
        const auto before = Snapshot(dir.path());

        for (QString& arg : args) {
            arg.replace(QLatin1String("%OUT%"), dir.path()).replace(QLatin1String("%PAGE%"), page);
        }
        QProcess cli;
        // Without a runtime folder Qt itself complains on stderr, which is not the program's message.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        cli.setProcessEnvironment(env);
        cli.start(CliPath(), args);
        QVERIFY(cli.waitForFinished(60000));
        const QString err = QString::fromUtf8(cli.readAllStandardError());

        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 2);
        QVERIFY2(err.startsWith(QLatin1String("vornetad-cli: ")), qPrintable(err));
        QVERIFY2(err.contains(messagePart), qPrintable(err));
        QCOMPARE(cli.readAllStandardOutput(), QByteArray());
        QVERIFY(before == Snapshot(dir.path()));
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_GUILESS_MAIN(tst_CliProcess)
#include "tst_CliProcess.moc"
