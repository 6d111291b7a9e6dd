#include "CliOptions.h"
#include "Commands.h"
#include "TestFiles.h"
#include "design/DesignFile.h"
#include "templatemaker/TemplateMaker.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestCliOptions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(WriteAll(File("big.html"), QByteArray((1 << 20) + 1, 'x')));
        QVERIFY(WriteAll(File("limit.html"), QByteArray(1 << 20, 'x')));
        QVERIFY(WriteAll(File("zero.html"), QByteArray("<p>\0</p>", 8)));
        QVERIFY(WriteAll(File("text.gif"), "plain text, not an image\n"));
        QVERIFY(WriteAll(File("header.gif"), "GIF89a"));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.gif")));
        QCOMPARE(::mkfifo(Path("fifo.html").constData(), 0600), 0);
        QVERIFY(QFile::copy(QStringLiteral(VORNET_SOURCE_DIR "/tests/fuzz/corpus/fuzz_template/claims-5000-square"),
                            File("huge.gif")));
        const QByteArray header = R"({"format": "vornetad-design", "version": 1, )";
        QVERIFY(WriteAll(File("bad.vornetad"), header + R"("lines": [{}, {"points": 0}]})"));
        QVERIFY(WriteAll(File("gone.vornetad"), header + R"("template": "missing.gif", "templateFolder": "sub"})"));
        // A design as the wizard saves it, with its output given relative to its own folder.
        QVERIFY(WriteAll(File("d.vornetad"), header + R"("size": 200, "crop": 3, "link": "https://example.com/", )" +
                                                 R"("lines": [{}, {"text": "two", "enabled": true}], )" +
                                                 R"("output": {"mode": "modify", "pages": ["a.html", "b.html"]}})"));
    }

    // The design is read first wherever --design stands; the options beside it change single
    // settings, and a target on the command line replaces the design's whole. `design --save`
    // writes exactly the settings the other commands would use.
    void designFile_optionsOverrideSingleSettings() {
        const QByteArray d = Path("d.vornetad");
        const QByteArray saved = Path("saved.vornetad");
        const ParseResult parsed = ParseCommandLine({"design", "--link", "https://other.example/", "--design", d,
                                                     "--line3", "three", "--hidpi", "--save", saved});
        QVERIFY2(parsed.request, qPrintable(parsed.error));
        Design expected = ReadDesign(File("d.vornetad")).design;
        QCOMPARE(expected.pages, (QStringList{File("a.html"), File("b.html")}));
        expected.linkUrl = QStringLiteral("https://other.example/");
        expected.lines[2].enabled = true;
        expected.lines[2].text = QStringLiteral("three");
        expected.options.hidpi = true;
        QCOMPARE(parsed.request->design, expected);
        QCOMPARE(RunDesign(*parsed.request), 0);
        QCOMPARE(ReadDesign(File("saved.vornetad")).design, expected);

        // A new size is centred again; the target comes from the design unless the line gives one.
        const ParseResult resized = ParseCommandLine({"generate", "--design", d, "--size", "100"});
        QVERIFY2(resized.request, qPrintable(resized.error));
        QCOMPARE(resized.request->design.size, std::optional(100));
        QVERIFY(!resized.request->design.cropOffset);
        QCOMPARE(resized.request->design.Target().pages, expected.pages);
        const ParseResult replaced = ParseCommandLine({"generate", "--design", d, "--out", "o"});
        QVERIFY2(replaced.request, qPrintable(replaced.error));
        QVERIFY(replaced.request->design.Target().createNew);
        QCOMPARE(replaced.request->design.outputFolder, QDir::current().absoluteFilePath(QStringLiteral("o")));
    }

    // make-template writes what the template maker makes (the wizard's dialog saves the same), the
    // colours not given being the style's, pure black kept: a template has no use for the banner's
    // stand-in colour.
    void makeTemplate_writesTheMakersFiles() {
        const ParseResult parsed = ParseCommandLine({"make-template", "--color3", "000000", "--style", "ribbon",
                                                     "--color1", "#2e7D32", "--save", Path("m.GIF")});
        QVERIFY2(parsed.request, qPrintable(parsed.error));
        QCOMPARE(RunMakeTemplate(*parsed.request), 0);
        const TemplateStyle& ribbon = *FindTemplateStyle(u"ribbon"_qs);
        const std::vector<TemplateFile> files =
            MakeTemplateFiles(ribbon, {0xff2e7d32, ribbon.defaultColors[1], 0xff000000});
        QCOMPARE(files.size(), size_t(4));
        for (const TemplateFile& file : files) {
            QCOMPARE(ReadAll(File("m") + file.suffix + u".GIF"_qs), file.bytes);
        }
    }

    void defaults_areTheDesigns() {
        const ParseResult parsed = ParseCommandLine({"code"});
        QVERIFY2(parsed.request, qPrintable(parsed.error));
        QCOMPARE(parsed.request->design, Design());
    }

    void values_reachTheRequest() {
        QVERIFY(WriteAll(File("code.html"), "<p>\xe9\r\n"));
        const ParseResult parsed = ParseCommandLine(
            {"generate", "--out", "/tmp/x", "--size", "0150", "--side", "left", "--line2", "tw\xc3\xb6", "--color2",
             "#000000", "--bold2", "--offset2", "-5", "--same-window", "--custom-code-file", Path("code.html")});
        QVERIFY2(parsed.request, qPrintable(parsed.error));
        const Design& r = parsed.request->design;
        QCOMPARE(r.Advert().bannerSize, 150);
        QCOMPARE(r.side, BannerSide::Left);
        QVERIFY(r.lines[1].enabled);
        QCOMPARE(r.lines[1].text, QStringLiteral("tw\u00f6"));
        QCOMPARE(r.lines[1].color, qRgb(10, 10, 10));
        QCOMPARE(r.lines[1].font.weight, 700);
        QCOMPARE(r.lines[1].offset, -5);
        QVERIFY(!r.newWindow);
        QVERIFY(r.customCodeEnabled);
        QCOMPARE(r.customCode, QByteArray("<p>\xe9\r\n"));
        QCOMPARE(r.Target().outputFolder, QStringLiteral("/tmp/x"));
        const ParseResult options = ParseCommandLine({"code", "--click-through", "--fixed", "--no-print", "--static"});
        QVERIFY2(options.request, qPrintable(options.error));
        QCOMPARE(options.request->design.options, (PageOptions{true, false, true, true, true}));

        // Remove's pages are the words that are not options, and every word after "--".
        const ParseResult remove = ParseCommandLine({"remove", "a.html", "--custom-code", "x", "--", "--b.html"});
        QVERIFY2(remove.request, qPrintable(remove.error));
        QCOMPARE(remove.request->design.pages, (QStringList{QFileInfo(u"a.html"_qs).absoluteFilePath(),
                                                            QFileInfo(u"--b.html"_qs).absoluteFilePath()}));
        QCOMPARE(remove.request->design.customCode, QByteArray("x"));

        // Custom code is bytes from the argument too; a file of exactly 1 MiB is taken.
        const ParseResult latin = ParseCommandLine({"code", "--custom-code", "\xe9\x80"});
        QVERIFY2(latin.request, qPrintable(latin.error));
        QCOMPARE(latin.request->design.customCode, QByteArray("\xe9\x80"));
        const ParseResult limit = ParseCommandLine({"code", "--custom-code-file", Path("limit.html")});
        QVERIFY2(limit.request, qPrintable(limit.error));
        QCOMPARE(limit.request->design.customCode.size(), 1 << 20);
    }

    // Every way a command line is refused before anything is written, by the parser or, for the
    // template, by the commands that use it; "%D" stands for a folder of test files (see
    // initTestCase).
    void badCommandLine_isRefused_data() {
        QTest::addColumn<QByteArrayList>("args");
        QTest::addColumn<QString>("messagePart");
        const auto row = [](const char* name, QByteArrayList args, const char* part) {
            QTest::newRow(name) << args << QString::fromUtf8(part);
        };
        row("no command", {}, "no command");
        row("unknown command", {"draw"}, "unknown command");
        row("bad side", {"code", "--side", "top"}, "\"left\" or \"right\"");
        row("line 3 without line 2", {"code", "--line3", "x"}, "needs --line2");
        row("advert option on compose", {"compose", "--link", "x", "--png", "a.png"}, "does not apply to compose");
        row("compose without output", {"compose"}, "exactly one of");
        row("generate with both modes", {"generate", "--out", "/tmp", "--modify", "/tmp/a.html"}, "either --out");
        row("generate with neither", {"generate"},
            "generate needs --out FOLDER, one or more --modify PAGE, --site DIR, or a design");
        row("design without --save", {"design", "--size", "60"}, "design needs --save FILE");
        row("--css with --csp-hash", {"code", "--csp-hash", "--css"}, "either --css or --csp-hash");
        row("--design twice", {"code", "--design", "%D/d.vornetad", "--design", "%D/d.vornetad"}, "given once");
        row("--design missing", {"code", "--design", "%D/none.vornetad"},
            "--design: \"%D/none.vornetad\": does not exist");
        row("--design with a bad field", {"code", "--design", "%D/bad.vornetad"},
            "--design: \"%D/bad.vornetad\": lines[1].points: must be a whole number from 1 to 200");
        row("--design's template missing", {"preview", "--design", "%D/gone.vornetad"},
            "--design: its template \"%D/sub/missing.gif\": does not exist");
        row("generate with a site and pages", {"generate", "--site", "/tmp", "--modify", "/tmp/a.html"},
            "either --out FOLDER, --modify PAGE or --site DIR");
        row("remove with a site and pages", {"remove", "a.html", "--site", "/tmp"}, "either pages or --site DIR");
        row("remove with neither", {"remove"}, "remove needs one or more pages");
        row("banner option on remove", {"remove", "--size", "60", "a.html"}, "does not apply to remove");
        row("--match without --site", {"remove", "a.html", "--match", "*.htm"}, "--match needs --site");
        row("--match with a folder", {"remove", "--site", "/tmp", "--match", "a/*.htm"}, "not a list of name patterns");
        row("--match with an empty pattern", {"generate", "--site", "/tmp", "--match", "*.htm,"}, "not a list");
        row("remove's page not UTF-8", {"remove", "%D/\xff.html"}, "remove: the name");
        row("option without value", {"code", "--title"}, "--title needs a value");
        row("option with equals sign", {"code", "--size=300"}, "unknown option");

        // Numbers are plain ASCII digits, a minus sign only where negatives are allowed.
        for (const char* value : {" 300", "+300", "300 ", "0x12c", "3e2", "3.5", "", "ten", "-300", "\xd9\xa3"}) {
            QTest::addRow("--size \"%s\"", value)
                << QByteArrayList{"code", "--size", value} << QStringLiteral("--size needs a whole number");
        }
        row("--pt1 +12", {"code", "--pt1", "+12"}, "--pt1 needs a whole number");
        row("--offset1 +1", {"code", "--offset1", "+1"}, "--offset1 needs a whole number");
        row("--offset1 --1", {"code", "--offset1", "--1"}, "--offset1 needs a whole number");
        row("--size 49", {"code", "--size", "49"}, "between 50 and 500");
        row("--size 501", {"code", "--size", "501"}, "between 50 and 500");
        row("--size of many digits", {"code", "--size", "99999999999999999999"}, "between 50 and 500");
        row("--pt3 0", {"code", "--pt3", "0"}, "between 1 and 200");
        row("--offset2 -6", {"code", "--offset2", "-6"}, "between -5 and 5");
        row("--offset2 6", {"code", "--offset2", "6"}, "between -5 and 5");
        // Colours are exactly six hexadecimal digits.
        for (const char* value :
             {"", "12345", "1234567", "GGGGGG", "-00001", "0x1234", " 12345", "+12345", "##123456"}) {
            QTest::addRow("--color2 \"%s\"", value)
                << QByteArrayList{"code", "--color2", value} << QStringLiteral("--color2 needs a colour");
        }
        // The page name of create mode is a name, nothing else.
        for (const char* value : {"", ".", "..", "a/b.html", "/b.html"}) {
            QTest::addRow("--file \"%s\"", value) << QByteArrayList{"generate", "--out", "%D", "--file", value}
                                                  << QStringLiteral("--file needs a file name without a folder");
        }
        // Names Qt cannot carry are refused, never turned into another name; settings are UTF-8.
        for (const char* option : {"--gif", "--png"}) {
            QTest::addRow("%s not UTF-8", option)
                << QByteArrayList{"compose", option, "%D/bad\xff.gif"}
                << QStringLiteral("%1: the name \"%D/bad\\xff.gif\" is not valid text").arg(QLatin1String(option));
        }
        row("--modify not UTF-8", {"generate", "--modify", "%D/a\xc3(.html"}, "--modify: the name \"%D/a\\xc3(.html\"");
        row("--out not UTF-8", {"generate", "--out", "%D/\xff"}, "--out: the name");
        row("--dir not UTF-8", {"preview", "--dir", "\xfe"}, "--dir: the name");
        row("--template not UTF-8", {"preview", "--template", "t\xff.gif"}, "--template: the name");
        row("templates folder not UTF-8", {"templates", "\xff"}, "templates: the name");
        row("--custom-code-file not UTF-8", {"code", "--custom-code-file", "\xff"}, "--custom-code-file: the name");
        row("--file not UTF-8", {"generate", "--out", "%D", "--file", "\xff.html"}, "--file: the name");
        row("--title not UTF-8", {"code", "--title", "caf\xe9"}, "--title needs UTF-8 text, not \"caf\\xe9\"");
        row("--line1 not UTF-8", {"code", "--line1", "\xc0\xaf"}, "--line1 needs UTF-8 text");
        // Custom code files: regular, at most 1 MiB, no zero byte; templates: one sound GIF.
        row("custom code file missing", {"code", "--custom-code-file", "%D/none.html"},
            "\"%D/none.html\": does not exist");
        row("custom code file a FIFO", {"code", "--custom-code-file", "%D/fifo.html"}, "named pipe (FIFO)");
        row("custom code file a device", {"code", "--custom-code-file", "/dev/zero"}, "character device");
        row("custom code file a folder", {"code", "--custom-code-file", "%D"}, "is a folder");
        row("custom code file over 1 MiB", {"code", "--custom-code-file", "%D/big.html"}, "larger than 1 MiB");
        row("custom code file with a zero byte", {"code", "--custom-code-file", "%D/zero.html"}, "zero byte");
        row("template missing", {"preview", "--template", "%D/missing.gif"}, "does not exist");
        row("template of text", {"preview", "--template", "%D/text.gif"}, "not a GIF image");
        row("template of a header alone", {"preview", "--template", "%D/header.gif"}, "truncated");
        row("template a folder", {"preview", "--template", "%D/folder.gif"}, "is a folder");
        row("template a FIFO", {"preview", "--template", "%D/fifo.html"}, "named pipe (FIFO)");
        row("template of 5000 x 5000", {"preview", "--template", "%D/huge.gif"}, "larger than 4096 x 4096");
        // A template: a style of the list, no more colours than it has, a name the list would show.
        row("make-template without --save", {"make-template", "--style", "tape"}, "needs --style STYLE and --save");
        row("make-template without --style", {"make-template", "--save", "t.gif"}, "needs --style STYLE and --save");
        row("unknown style", {"make-template", "--style", "Tape", "--save", "t.gif"}, "no style \"Tape\"");
        row("third colour of a two-colour style",
            {"make-template", "--style", "tape", "--color3", "000000", "--save", "t.gif"},
            "--color3: the style \"tape\" has 2 colours");
        row("template colour of five digits", {"make-template", "--style", "tape", "--color2", "00000"},
            "--color2 needs a colour");
        row("template not a GIF", {"make-template", "--style", "tape", "--save", "t.png"}, "ending in .gif");
        row("template name of a shadowless variant", {"make-template", "--style", "tape", "--save", "%D/clubb.gif"},
            "ends in \"b\"");
        row("template name of a 2x companion", {"make-template", "--style", "tape", "--save", "t@2x.gif"},
            "ends in \"@2x\"");
        row("banner option on make-template", {"make-template", "--size", "60"}, "does not apply to make-template");
        row("template option on code", {"code", "--style", "tape"}, "does not apply to code");
    }

    void badCommandLine_isRefused() {
        QFETCH(QByteArrayList, args);
        QFETCH(QString, messagePart);
        for (QByteArray& arg : args) {
            arg.replace("%D", m_dir.path().toUtf8());
        }
        const ParseResult parsed = ParseCommandLine(args);
        const QString error = parsed.request ? LoadNamedTemplate(*parsed.request).error : parsed.error;
        const QString expected = QString(messagePart).replace(QStringLiteral("%D"), m_dir.path());
        QVERIFY2(error.contains(expected), qPrintable(error));
    }

private:
    QString File(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QByteArray Path(const char* name) const { return QFile::encodeName(File(name)); }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCliOptions)
#include "tst_CliOptions.moc"
