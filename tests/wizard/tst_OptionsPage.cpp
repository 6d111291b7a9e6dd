#include "TestFiles.h"
#include "design/Design.h"
#include "wizard/OptionsPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_OptionsPage : public QObject {
    Q_OBJECT

private slots:
    // Unticking the box hides the code and its label, but the text stays for the next tick.
    void customCodeBox_showsAndHidesTheCodeKeepingItsText() {
        OptionsPage page;
        page.show();
        auto* box = ChildNamed<QCheckBox>(page, QStringLiteral("customCodeBox"));
        auto* code = ChildNamed<QPlainTextEdit>(page, QStringLiteral("customCode"));
        auto* label = ChildNamed<QLabel>(page, QStringLiteral("customCodeLabel"));
        const QString text = QStringLiteral("<p>one</p>\n<p>two</p>");
        QVERIFY(!code->isVisible() && !label->isVisible());
        for (bool ticked : {true, false, true}) {
            box->click();
            QCOMPARE(page.customCodeEnabled, ticked);
            QCOMPARE(label->isVisible(), ticked);
            QCOMPARE(code->isVisible(), ticked);
            if (code->toPlainText().isEmpty()) {
                code->setPlainText(text);
            }
            page.StoreControls();
            QCOMPARE(page.customCode, text);
        }
        // Enter in the code is a new line, not a key for the wizard; with Shift too.
        QTest::keyClick(code, Qt::Key_Return);
        QTest::keyClick(code, Qt::Key_Return, Qt::ShiftModifier);
        page.StoreControls();
        QCOMPARE(page.customCode, u"\n\n"_s + text);
    }

    // A design's custom code keeps its bytes when it is stored untouched, and through an edit:
    // code that is not UTF-8 (a design the command line saved from a Latin-1 or EUC-JP file) would
    // otherwise lose every such byte to U+FFFD.
    void customCode_keepsItsBytesThroughAnEdit_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("utf-8") << QByteArray("<p>caf\xc3\xa9</p>") << u"\u00e9\u65e5"_s
                               << QByteArray("<p>caf\xc3\xa9</p>\xc3\xa9\xe6\x97\xa5");
        QTest::newRow("latin-1") << QByteArray("<p>caf\xe9</p>") << u"\u00e9"_s << QByteArray("<p>caf\xe9</p>\xe9");
        QTest::newRow("euc-jp") << QByteArray("<p>\xc6\xfc\xcb\xdc</p>") << u"<b>"_s
                                << QByteArray("<p>\xc6\xfc\xcb\xdc</p><b>");
        // A letter Latin-1 lacks goes in as a character reference, which a browser shows as it.
        QTest::newRow("latin-1, then letters it lacks")
            << QByteArray("caf\xe9") << u"\u20ac\U0001F600"_s << QByteArray("caf\xe9&#8364;&#128512;");
        // A no-break space and a line separator are kept: as a line feed, the separator would end
        // the script's string.
        QTest::newRow("no-break space, line separator")
            << QByteArray("<p>a</p>") << u"5\u00a0\u20ac<script>t='a\u2028b';</script>"_s
            << QByteArray("<p>a</p>5\xc2\xa0\xe2\x82\xac<script>t='a\xe2\x80\xa8"
                          "b';</script>");
        // Lines end as the code's first line did.
        QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << u"c\nd"_s << QByteArray("a\r\nb\r\nc\r\nd");
        QTest::newRow("lf, then crlf") << QByteArray("a\nb\r\n") << u"c\nd"_s << QByteArray("a\nb\nc\nd");
        QTest::newRow("latin-1, no-break space, crlf") << QByteArray("5\xa0\r\n") << u"c"_s << QByteArray("5\xa0\r\nc");
    }
    void customCode_keepsItsBytesThroughAnEdit() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        OptionsPage page;
        Design design;
        design.customCodeEnabled = true;
        design.customCode = bytes;
        page.ApplyDesign(design);
        page.StoreDesign(design);
        QCOMPARE(design.customCode, bytes);
        auto* code = ChildNamed<QPlainTextEdit>(page, QStringLiteral("customCode"));
        code->moveCursor(QTextCursor::End);
        code->insertPlainText(typed);
        page.StoreDesign(design);
        QCOMPARE(design.customCode, stored);
    }
};

QTEST_MAIN(tst_OptionsPage)
#include "tst_OptionsPage.moc"
