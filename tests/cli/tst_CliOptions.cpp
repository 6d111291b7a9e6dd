#include "CliOptions.h"

#include <QTest>

class TestCliOptions : public QObject {
    Q_OBJECT

private slots:
    void defaults_matchTheWizard() {
        const ParseResult parsed = ParseCommandLine({QStringLiteral("code")});
        QVERIFY2(parsed.request, qPrintable(parsed.error));
        const CliRequest& r = *parsed.request;
        QCOMPARE(r.ad.bannerSize, 300);
        QVERIFY(!r.size);
        QCOMPARE(r.ad.linkUrl, QStringLiteral("link URL here"));
        QCOMPARE(r.ad.adTitle, QStringLiteral("ad title here"));
        QVERIFY(r.ad.newWindow);
        QVERIFY(r.lines[0].enabled);
        QVERIFY(!r.lines[1].enabled);
        QCOMPARE(r.lines[0].font.height, 18);
        QCOMPARE(r.lines[1].font.height, 12);
        QCOMPARE(r.lines[2].font.height, 10);
        QCOMPARE(r.lines[0].color, qRgb(0, 0, 100));
        QCOMPARE(r.lines[1].color, qRgb(0, 100, 0));
        QCOMPARE(r.lines[2].color, qRgb(100, 0, 0));
        QCOMPARE(r.lines[0].font.faceName, QStringLiteral("Times New Roman"));
    }

    void values_reachTheRequest() {
        const ParseResult parsed = ParseCommandLine(
            {QStringLiteral("generate"), QStringLiteral("--out"), QStringLiteral("/tmp/x"), QStringLiteral("--size"),
             QStringLiteral("150"), QStringLiteral("--side"), QStringLiteral("left"), QStringLiteral("--line2"),
             QStringLiteral("two"), QStringLiteral("--color2"), QStringLiteral("000000"), QStringLiteral("--bold2"),
             QStringLiteral("--offset2"), QStringLiteral("-5"), QStringLiteral("--same-window")});
        QVERIFY2(parsed.request, qPrintable(parsed.error));
        const CliRequest& r = *parsed.request;
        QCOMPARE(r.ad.bannerSize, 150);
        QCOMPARE(r.ad.side, BannerSide::Left);
        QVERIFY(r.lines[1].enabled);
        QCOMPARE(r.lines[1].text, QStringLiteral("two"));
        QCOMPARE(r.lines[1].color, qRgb(10, 10, 10));
        QCOMPARE(r.lines[1].font.weight, 700);
        QCOMPARE(r.lines[1].offset, -5);
        QVERIFY(!r.ad.newWindow);
        QVERIFY(r.modifyPages.isEmpty());
    }

    // Single bad values are tested through the process (tst_CliProcess); these are the rules that
    // tie options together.
    void badCommandLine_isRefused_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("messagePart");
        const QString gen = QStringLiteral("generate");
        const QString out = QStringLiteral("--out");
        QTest::newRow("no command") << QStringList{} << QStringLiteral("no command");
        QTest::newRow("unknown command") << QStringList{QStringLiteral("draw")} << QStringLiteral("unknown command");
        QTest::newRow("bad side") << QStringList{QStringLiteral("code"), QStringLiteral("--side"),
                                                 QStringLiteral("top")}
                                  << QStringLiteral("\"left\" or \"right\"");
        QTest::newRow("line 3 without line 2")
            << QStringList{QStringLiteral("code"), QStringLiteral("--line3"), QStringLiteral("x")}
            << QStringLiteral("needs --line2");
        QTest::newRow("advert option on compose")
            << QStringList{QStringLiteral("compose"), QStringLiteral("--link"), QStringLiteral("x"),
                           QStringLiteral("--png"), QStringLiteral("a.png")}
            << QStringLiteral("does not apply to compose");
        QTest::newRow("compose without output")
            << QStringList{QStringLiteral("compose")} << QStringLiteral("exactly one of");
        QTest::newRow("generate with both modes")
            << QStringList{gen, out, QStringLiteral("/tmp"), QStringLiteral("--modify"), QStringLiteral("/tmp/a.html")}
            << QStringLiteral("either --out");
        QTest::newRow("generate with neither") << QStringList{gen} << QStringLiteral("either --out");
        QTest::newRow("file name with folder")
            << QStringList{gen, out, QStringLiteral("/tmp"), QStringLiteral("--file"), QStringLiteral("a/b.html")}
            << QStringLiteral("without a folder");
    }

    void badCommandLine_isRefused() {
        QFETCH(QStringList, args);
        QFETCH(QString, messagePart);
        const ParseResult parsed = ParseCommandLine(args);
        QVERIFY(!parsed.request);
        QVERIFY2(parsed.error.contains(messagePart), qPrintable(parsed.error));
    }
};

QTEST_GUILESS_MAIN(TestCliOptions)
#include "tst_CliOptions.moc"
