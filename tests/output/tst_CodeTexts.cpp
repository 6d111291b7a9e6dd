#include "DataTable.h"
#include "GoldenSettings.h"
#include "output/CodeTexts.h"

#include <QDir>
#include <QTest>

class tst_CodeTexts : public QObject {
    Q_OBJECT

private slots:
    // Each folder under golden/code holds settings.txt (see GoldenSettings.h) and the block and the
    // style sheet made of them: the classic output of both corners and of sizes beyond the editor's
    // (the strip's coordinates go negative below 45), custom code (following the end marker byte for
    // byte, and only when enabled), each page option alone and all together, the static block, and a link
    // with letters outside ASCII in its query, in the script's block and in the static one.
    // VORNET_UPDATE_GOLDEN=1 rewrites them (review the diff!).
    void blockAndStyleSheet_matchGolden_data() { AddPathRows({QFINDTESTDATA("golden/code")}, QDir::Dirs); }
    void blockAndStyleSheet_matchGolden() {
        QFETCH(QString, path);
        const Result<CodeTexts> texts = CodeTexts::LoadTextResources();
        QVERIFY(texts.Ok());
        const BuiltCode code =
            texts.value.BuildCode("VornetAdStyle.css", "VornetAdMap.gif", ReadSettings(path + u"settings.txt"));
        if (qEnvironmentVariableIntValue("VORNET_UPDATE_GOLDEN") == 1) {
            QVERIFY(WriteAll(path + u"block.html", code.codeBlock));
            QVERIFY(WriteAll(path + u"style.css", code.styleSheet));
        }
        QCOMPARE(code.codeBlock, ReadAll(path + u"block.html"));
        QCOMPARE(code.styleSheet, ReadAll(path + u"style.css"));
    }

    // escape.tsv: a link or a title as it stands in the block's attributes, inside document.write's
    // one double-quoted string (the golden page "escaped-link-and-title" shows it there), and as a
    // link, where that differs.
    void escapeForAttribute_data() { AddTsvRows(QFINDTESTDATA("escape.tsv")); }
    void escapeForAttribute() {
        QFETCH(QByteArrayList, row);
        const QString text = QString::fromUtf8(QByteArray::fromPercentEncoding(row[0]));
        QCOMPARE(EscapeForAttribute(text), row[1]);
        QCOMPARE(EscapeForAttribute(QueryInUtf8(text)), row.value(2, row[1]));
    }
};

QTEST_GUILESS_MAIN(tst_CodeTexts)
#include "tst_CodeTexts.moc"
