#include "CodeTexts.h"
#include "TestFiles.h"

#include <QFile>
#include <QTest>

#include <functional>

namespace {

QString GoldenPath(const QString& name) {
    return QStringLiteral(VORNET_SOURCE_DIR "/tests/output/golden/code/") + name;
}

QByteArray Golden(const QString& name) {
    QFile file(GoldenPath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("missing golden file %s", qPrintable(name));
    }
    return file.readAll();
}

AdSettings Settings(BannerSide side, int size) {
    AdSettings s;
    s.side = side;
    s.bannerSize = size;
    s.linkUrl = QStringLiteral("http://www.example.com/");
    s.adTitle = QStringLiteral("Corner offer");
    return s;
}

CodeTexts Loaded() {
    CodeTexts texts;
    if (!texts.LoadTextResources()) {
        qFatal("built-in texts missing");
    }
    return texts;
}

QByteArray Between(const QByteArray& text, const QByteArray& open, char close) {
    const qsizetype from = text.indexOf(open);
    if (from < 0) {
        return {};
    }
    const qsizetype start = from + open.size();
    return text.mid(start, text.indexOf(close, start) - start);
}

}  // namespace

class TestCodeTexts : public QObject {
    Q_OBJECT

private slots:
    void styleTemplate_isTheFixedTextByteForByte() {
        const QByteArrayList lines = {"/* CSS Document */",
                                      "",
                                      "",
                                      "div.quentavornet{",
                                      "position:absolute;",
                                      "left:<!--LEFT-->%;",
                                      "top:0px;",
                                      "overflow:visible;",
                                      "height:<!--SIZE-->px;",
                                      "width:<!--SIZE-->px;",
                                      "background-color:transparent;",
                                      "margin:0 0 0 -<!--LEFTSIZE-->px;",
                                      "padding:0;",
                                      "color:#000;",
                                      "font-family:helvetica,verdana,arial,tahoma,sans-serif;",
                                      "z-index:1000000000;",
                                      "border:none;",
                                      "float:none;",
                                      "}"};
        const CodeTexts texts = Loaded();
        QCOMPARE(texts.styleTemplate.size(), 352);
        QCOMPARE(texts.styleTemplate, lines.join("\r\n"));
    }

    void samplePage_hasItsHeadOneParagraphAndLowerCaseBodyEnd() {
        const QByteArray page = Loaded().samplePage;
        QCOMPARE(page.size(), 8062);
        QVERIFY(page.startsWith("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"\r\n"
                                "\"http://www.w3.org/TR/html4/loose.dtd\">\r\n<html>\r\n<head>\r\n"));
        QVERIFY(page.endsWith("\r\n</p>\r\n</body>\r\n</html>\r\n"));
        QCOMPARE(page.count('\n'), page.count("\r\n"));
        QCOMPARE(page.count('\r'), page.count("\r\n"));
        for (const char c : page) {
            QVERIFY(uchar(c) < 0x80);
        }
        QVERIFY(page.contains("<title>Untitled Document</title>"));
        QVERIFY(page.contains("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"));
        QVERIFY(page.contains("<!--\r\n.style1 {color: #0000FF}\r\n.style2 {color: #FF0000}\r\n"
                              ".style3 {color: #0F0F0F}\r\n-->"));
        QCOMPARE(page.count("<p"), 1);
        QCOMPARE(page.count("</body>"), 1);
        QCOMPARE(page.count("</BODY>"), 0);

        // The paragraph reads as the phrase 85 times over, blank-separated, whatever the span grouping.
        const QByteArray paragraph = Between(page, "<p class=\"style1\">", '\r');
        const QByteArray phrase =
            "Vornet <span class=\"style2\">Ad</span> generator <span class=\"style3\">Sample Text</span>";
        QByteArray flat = paragraph;
        flat.replace(phrase, "#");
        const qsizetype wrappers = flat.count("<span class=\"style1\">");
        QCOMPARE(flat.count("</span>"), wrappers);
        flat.replace("<span class=\"style1\">", "");
        flat.replace("</span>", "");
        QCOMPARE(flat.trimmed(), QByteArrayList(85, "#").join(' '));
    }

    // Each folder holds the block and the style sheet of one set of settings: the classic output
    // of both corners, each page option alone and all together, and the static block alone and
    // with all of them.
    void blockAndStyleSheet_matchGolden_data() {
        QTest::addColumn<AdSettings>("settings");
        const auto row = [](const char* folder, BannerSide side, const std::function<void(AdSettings&)>& edit) {
            AdSettings s = Settings(side, 150);
            edit(s);
            QTest::newRow(folder) << s;
        };
        row("right-150", BannerSide::Right, [](AdSettings&) {});
        row("left-150-same-window-custom", BannerSide::Left, [](AdSettings& s) {
            s.newWindow = false;
            s.customCodeEnabled = true;
            s.customCode = "<p>Hi</p>";
        });
        row("click-through", BannerSide::Right, [](AdSettings& s) { s.options.clickThrough = true; });
        row("hidpi", BannerSide::Right, [](AdSettings& s) { s.options.hidpi = true; });
        row("fixed", BannerSide::Right, [](AdSettings& s) { s.options.fixed = true; });
        row("no-print", BannerSide::Right, [](AdSettings& s) { s.options.noPrint = true; });
        row("all-left-same-window", BannerSide::Left, [](AdSettings& s) {
            s.options = {true, true, true, true, false};
            s.newWindow = false;
            s.adTitle = QStringLiteral("Corner's \"offer\"");
        });
        row("static", BannerSide::Right, [](AdSettings& s) { s.options.staticMarkup = true; });
        row("static-all-left-same-window-custom", BannerSide::Left, [](AdSettings& s) {
            s.options = {true, true, true, true, true};
            s.newWindow = false;
            s.adTitle = QStringLiteral("Corner's \"offer\"");
            s.customCodeEnabled = true;
            s.customCode = "<p>Hi</p>";
        });
    }

    void blockAndStyleSheet_matchGolden() {
        QFETCH(AdSettings, settings);
        CodeTexts texts = Loaded();
        texts.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", settings);
        const QString folder = QString::fromLatin1(QTest::currentDataTag()) + u'/';
        if (qEnvironmentVariableIntValue("VORNET_UPDATE_GOLDEN") == 1) {
            QVERIFY(WriteAll(GoldenPath(folder + QStringLiteral("block.html")), texts.codeBlock));
            QVERIFY(WriteAll(GoldenPath(folder + QStringLiteral("style.css")), texts.styleSheet));
        }
        QCOMPARE(texts.codeBlock, Golden(folder + QStringLiteral("block.html")));
        QCOMPARE(texts.styleSheet, Golden(folder + QStringLiteral("style.css")));
    }

    void coords_followTheCorner_data() {
        QTest::addColumn<BannerSide>("side");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("coords");
        QTest::newRow("left 150") << BannerSide::Left << 150 << QByteArray("150,0,0,150,0,105,105,0");
        QTest::newRow("right 150") << BannerSide::Right << 150 << QByteArray("0,0,150,150,150,105,45,0");
        QTest::newRow("left 500") << BannerSide::Left << 500 << QByteArray("500,0,0,500,0,455,455,0");
        QTest::newRow("right below 45") << BannerSide::Right << 30 << QByteArray("0,0,30,30,30,-15,45,0");
        QTest::newRow("left below 45") << BannerSide::Left << 30 << QByteArray("30,0,0,30,0,-15,-15,0");
    }

    void coords_followTheCorner() {
        QFETCH(BannerSide, side);
        QFETCH(int, size);
        QFETCH(QByteArray, coords);
        CodeTexts texts = Loaded();
        texts.BuildCode("s.css", "i.gif", Settings(side, size));
        QCOMPARE(Between(texts.codeBlock, "coords='", '\''), coords);
        const QByteArray w = QByteArray::number(size);
        QCOMPARE(Between(texts.codeBlock, "width='", '\''), w);
        QCOMPARE(Between(texts.codeBlock, "height='", '\''), w);
        QCOMPARE(Between(texts.styleSheet, "height:", 'p'), w);
        QCOMPARE(Between(texts.styleSheet, "margin:0 0 0 -", 'p'), side == BannerSide::Left ? QByteArray("0") : w);
    }

    void escape_keepsScriptAndAttributesIntact_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("escaped");
        QTest::newRow("plain url") << QStringLiteral("http://www.example.com/a/b.html?x=1#top")
                                   << QByteArray("http://www.example.com/a/b.html?x=1#top");
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("markup characters")
            << QStringLiteral("a&b<c>d\"e'f\\g") << QByteArray("a&amp;b&lt;c&gt;d&quot;e&#39;f&#92;g");
        QTest::newRow("script end") << QStringLiteral("</script><script>alert(1)</script>")
                                    << QByteArray("&lt;/script&gt;&lt;script&gt;alert(1)&lt;/script&gt;");
        QTest::newRow("already a reference") << QStringLiteral("&amp;") << QByteArray("&amp;amp;");
        QTest::newRow("latin letters") << QStringLiteral("Caf\u00e9 \u00fcber") << QByteArray("Caf&#233; &#252;ber");
        QTest::newRow("outside the basic plane") << QStringLiteral("x\U0001F600y") << QByteArray("x&#128512;y");
        QTest::newRow("line ends and tab") << QStringLiteral("a\r\nb\tc") << QByteArray("a&#13;&#10;b&#9;c");
        QTest::newRow("delete and line separator")
            << QStringLiteral("a\u007fb\u2028c") << QByteArray("a&#127;b&#8232;c");
    }

    void escape_keepsScriptAndAttributesIntact() {
        QFETCH(QString, text);
        QFETCH(QByteArray, escaped);
        QCOMPARE(EscapeForAttribute(text), escaped);

        AdSettings s = Settings(BannerSide::Right, 300);
        s.linkUrl = text;
        s.adTitle = text;
        CodeTexts texts = Loaded();
        texts.BuildCode("s.css", "i.gif", s);
        QCOMPARE(Between(texts.codeBlock, "href='", '\''), escaped);
        QCOMPARE(Between(texts.codeBlock, "alt='", '\''), escaped);
        QCOMPARE(Between(texts.codeBlock, "title='", '\''), escaped);
        // Exactly the two quotes of document.write's string, whatever the text held.
        QCOMPARE(texts.codeBlock.count('"'), 2);
    }

    void customCode_followsEndMarkerOnlyWhenEnabled_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QByteArray>("tail");
        QTest::newRow("disabled with text") << false << QByteArray("<b>x</b>") << QByteArray(kEndMarker);
        QTest::newRow("enabled") << true << QByteArray("<b>x</b>") << QByteArray("<!--VornetAdEnd--><b>x</b>");
        QTest::newRow("enabled, bytes of any encoding")
            << true << QByteArray("<i title='\xe9'>\x80\xc3\xa9</i>\r\n")
            << QByteArray("<!--VornetAdEnd--><i title='\xe9'>\x80\xc3\xa9</i>\r\n");
        QTest::newRow("enabled, empty") << true << QByteArray() << QByteArray(kEndMarker);
    }

    void customCode_followsEndMarkerOnlyWhenEnabled() {
        QFETCH(bool, enabled);
        QFETCH(QByteArray, code);
        QFETCH(QByteArray, tail);
        AdSettings s = Settings(BannerSide::Right, 300);
        s.customCodeEnabled = enabled;
        s.customCode = code;
        CodeTexts texts = Loaded();
        texts.BuildCode("s.css", "i.gif", s);
        QVERIFY(texts.codeBlock.startsWith(kBeginMarker));
        QVERIFY2(texts.codeBlock.endsWith(tail), texts.codeBlock.right(40).constData());
        QCOMPARE(texts.codeBlock.count(kEndMarker), 1);
    }

    void secondCall_startsAgainFromTheTemplate() {
        CodeTexts texts = Loaded();
        texts.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", Settings(BannerSide::Right, 150));
        texts.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", Settings(BannerSide::Left, 150));
        QCOMPARE(texts.styleSheet, Golden(QStringLiteral("left-150-same-window-custom/style.css")));
        QCOMPARE(texts.codeBlock.count(kBeginMarker), 1);
    }
};

QTEST_GUILESS_MAIN(TestCodeTexts)
#include "tst_CodeTexts.moc"
