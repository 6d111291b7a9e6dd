#include "CodeTexts.h"
#include "GoldenSettings.h"
#include "TestFiles.h"

#include <QDir>
#include <QTest>

class tst_CodeTexts : public QObject {
    Q_OBJECT

private slots:
    // Each folder under golden/code holds settings.txt (see GoldenSettings.h) and the block and the
    // style sheet made of them: the classic output of both corners and of sizes beyond the editor's
    // (the strip's coordinates go negative below 45), custom code (following the end marker byte for
    // byte, and only when enabled), each page option alone and all together, and the static block.
    // VORNET_UPDATE_GOLDEN=1 rewrites them (review the diff!).
    void blockAndStyleSheet_matchGolden_data() {
        QTest::addColumn<QString>("folder");
        const QDir golden(QStringLiteral(VORNET_SOURCE_DIR "/tests/output/golden/code"));
        for (const QString& name : golden.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QTest::newRow(qPrintable(name)) << golden.filePath(name) + u'/';
        }
    }

    void blockAndStyleSheet_matchGolden() {
        QFETCH(QString, folder);
        CodeTexts texts;
        QVERIFY(texts.LoadTextResources());
        // Built twice: each call starts again from the templates.
        AdSettings other;
        other.side = BannerSide::Left;
        other.options = {true, true, true, true, false};
        texts.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", other);
        texts.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", ReadSettings(folder + u"settings.txt"));
        if (qEnvironmentVariableIntValue("VORNET_UPDATE_GOLDEN") == 1) {
            QVERIFY(WriteAll(folder + u"block.html", texts.codeBlock));
            QVERIFY(WriteAll(folder + u"style.css", texts.styleSheet));
        }
        QCOMPARE(texts.codeBlock, ReadAll(folder + u"block.html"));
        QCOMPARE(texts.styleSheet, ReadAll(folder + u"style.css"));
    }

    // escape.tsv: the link and the title as they stand in the block's attributes, inside
    // document.write's one double-quoted string.
    void escape_keepsScriptAndAttributesIntact_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("escaped");
        for (const QByteArrayList& row : DataRows(QFINDTESTDATA("escape.tsv"))) {
            QTest::newRow(row[0].constData()) << QString::fromUtf8(QByteArray::fromPercentEncoding(row[1])) << row[2];
        }
    }

    void escape_keepsScriptAndAttributesIntact() {
        QFETCH(QString, text);
        QFETCH(QByteArray, escaped);
        QCOMPARE(EscapeForAttribute(text), escaped);
        AdSettings s;
        s.linkUrl = text;
        s.adTitle = text;
        CodeTexts texts;
        QVERIFY(texts.LoadTextResources());
        texts.BuildCode("s.css", "i.gif", s);
        for (const QByteArray attribute : {"href='", "alt='", "title='"}) {
            QVERIFY2(texts.codeBlock.contains(QByteArray(attribute + escaped + '\'')), attribute.constData());
        }
        QCOMPARE(texts.codeBlock.count('"'), 2);
    }
};

QTEST_GUILESS_MAIN(tst_CodeTexts)
#include "tst_CodeTexts.moc"
