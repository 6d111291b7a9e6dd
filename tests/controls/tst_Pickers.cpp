#include "controls/Pickers.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_Pickers : public QObject {
    Q_OBJECT

private slots:
    // A message box keeps its buttons on the smallest screen: a text of more rows than fit, counting
    // the rows a long line wraps into, shows its start and says how much more there is; a line longer
    // than three rows (a deep path) is cut in its middle, keeping the reason at its end. What fits is
    // shown whole.
    void boxText_fitsTheScreen_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QString line = QString(59, u'p') + u"/a\n"_s;  // 62 characters
        QTest::newRow("short") << u"a\nb"_s << u"a\nb"_s;
        QTest::newRow("16 lines") << (u"x\n"_s.repeated(15) + u"x") << (u"x\n"_s.repeated(15) + u"x");
        QTest::newRow("17 lines") << (u"x\n"_s.repeated(16) + u"x")
                                  << (u"x\n"_s.repeated(14) + u"x\n\u2026 and 2 lines more: see Show Details.");
        // Each line of 61 to 120 characters takes two rows.
        QTest::newRow("wrapping lines") << line.repeated(9)
                                        << (line.repeated(7) + u"\u2026 and 3 lines more: see Show Details.");
        // The box's own sentence first is whole up to half the box; a file's line after it is cut in
        // its middle, which keeps the name's start and what became of it.
        const QString sentence = QString(230, u's');
        QTest::newRow("long sentence") << sentence + u"\nb"_s << sentence + u"\nb"_s;
        const QString reason = u": its folder does not exist"_s;
        QTest::newRow("one path of 4096")
            << u"a\n"_s + QString(4096, u'p') + reason
            << (u"a\n"_s + QString(60, u'p') + u'\u2026' + QString(119 - reason.size(), u'p') + reason +
                u"\n\u2026 the whole text: see Show Details.");
        // Each emoji is two halves of a character: the cut takes none apart.
        const QString emoji = u"\U0001F600"_s.repeated(100);
        QTest::newRow("a line of emoji") << u"a\n"_s + emoji
                                         << (u"a\n"_s + emoji.first(60) + u'\u2026' + emoji.last(118) +
                                             u"\n\u2026 the whole text: see Show Details.");
    }
    void boxText_fitsTheScreen() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(BoxText(text), shown);
    }
};

QTEST_MAIN(tst_Pickers)
#include "tst_Pickers.moc"
