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
    if (!texts.LoadTextResources().Ok()) {
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
    // Each folder holds the block and the style sheet of one set of settings: the classic output
    // of both corners and of sizes beyond the editor's, custom code, each page option alone and
    // all together, and the static block alone and with all of them.
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
        // Sizes beyond the editor's: the strip's coordinates go negative below 45.
        row("left-500", BannerSide::Left, [](AdSettings& s) { s.bannerSize = 500; });
        row("right-30", BannerSide::Right, [](AdSettings& s) { s.bannerSize = 30; });
        row("left-30", BannerSide::Left, [](AdSettings& s) { s.bannerSize = 30; });
        // Custom code follows the end marker byte for byte, and only when enabled.
        row("custom-disabled", BannerSide::Right, [](AdSettings& s) { s.customCode = "<b>x</b>"; });
        row("custom-bytes-of-any-encoding", BannerSide::Right, [](AdSettings& s) {
            s.customCodeEnabled = true;
            s.customCode = "<i title='\xe9'>\x80\xc3\xa9</i>\r\n";
        });
        row("custom-empty", BannerSide::Right, [](AdSettings& s) { s.customCodeEnabled = true; });
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
