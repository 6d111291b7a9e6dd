#include "Markup.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

// "kind:bytes" per token, with "+" after the kind when whitespace separated it from the
// previous word; the caller's part of the protocol (clearing the flag after a word) is played.
QStringList Tokens(const QByteArray& text) {
    QStringList out;
    qsizetype position = 0;
    bool pendingSpace = false;
    for (int guard = 0; guard < 100; ++guard) {
        const MarkupToken token = NextMarkupToken(text, position, pendingSpace);
        if (token.kind == kMarkupEnd) {
            break;
        }
        out << QString::number(token.kind) + (pendingSpace ? u"+:"_qs : u":"_qs) +
                   QString::fromUtf8(text.mid(token.start, token.length));
        if (token.kind == kMarkupText) {
            pendingSpace = false;
        }
    }
    return out;
}

QImage Canvas() {
    return QImage(400, 200, QImage::Format_RGB32);
}

QFont BaseFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(16);
    return font;
}

const QRect kRect(10, 20, 300, 100);

struct Layout {
    QImage canvas = Canvas();
    MarkupColorStack colors;
    QList<MarkupRun> runs;
    int lineHeight = 0;

    explicit Layout(const QByteArray& text, QRect rect = kRect) {
        runs = LayoutMarkup(text, rect, BaseFont(), Qt::black, &canvas, colors);
        lineHeight = QFontMetrics(BaseFont(), &canvas).height();
    }
    int Width(const QString& text, int style = 0) const {
        return QFontMetrics(CreateStyleFont(BaseFont(), style), &canvas).horizontalAdvance(text);
    }
    int Space(int style = 0) const { return Width(QStringLiteral(" "), style); }
    QStringList Texts() const {
        QStringList texts;
        for (const MarkupRun& run : runs) {
            texts << run.text;
        }
        return texts;
    }
};

}  // namespace

class tst_Markup : public QObject {
    Q_OBJECT

private slots:
    void tokens_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("tokens");
        auto row = [](const char* name, const char* text, QStringList tokens) {
            QTest::newRow(name) << QByteArray(text) << tokens;
        };
        row("empty", "", {});
        row("only blanks", " \t\r\n\v\f", {});
        row("grey then black", "<font color='969696'>grey</font> black",
            {u"3:<font color='969696'>"_qs, u"0:grey"_qs, u"259:</font>"_qs, u"0+:black"_qs});
        row("upper-case names", "<FONT COLOR=#0000ff>x</FONT>",
            {u"3:<FONT COLOR=#0000ff>"_qs, u"0:x"_qs, u"259:</FONT>"_qs});
        row("glued", "a<b>b</b>c", {u"0:a"_qs, u"1:<b>"_qs, u"0:b"_qs, u"257:</b>"_qs, u"0:c"_qs});
        row("spaced", "a <b>b</b> c", {u"0:a"_qs, u"1+:<b>"_qs, u"0+:b"_qs, u"257:</b>"_qs, u"0+:c"_qs});
        row("blank after a tag after a blank is taken with the tag", "x <b><i> y",
            {u"0:x"_qs, u"1+:<b>"_qs, u"4+:<i> "_qs, u"0+:y"_qs});
        row("prefix match", "<bold>x</bold>", {u"1:<bold>"_qs, u"0:x"_qs, u"257:</bold>"_qs});
        row("br before b", "<brx>", {u"2:<brx>"_qs});
        row("pre is a paragraph", "<pre>", {u"5:<pre>"_qs});
        row("strong, em, sup, sub, u", "<sTrOnG><em><sup><sub><u>",
            {u"1:<sTrOnG>"_qs, u"4:<em>"_qs, u"7:<sup>"_qs, u"6:<sub>"_qs, u"8:<u>"_qs});
        row("unknown tags", "<span>x</span>", {u"0:<span>"_qs, u"0:x"_qs, u"256:</span>"_qs});
        row("attributes on a plain tag", "<b x>y", {u"0:<b"_qs, u"0+:x>y"_qs});
        row("attributes on a closing tag", "</font x>", {u"256:</font"_qs, u"0+:x>"_qs});
        row("tag cut by the end", "a<b", {u"0:a"_qs, u"0:<b"_qs});
        row("font cut by the end", "<font color", {u"3:<font color"_qs});
        row("font runs into a tag", "<font color=ff<b>x", {u"3:<font color=ff"_qs, u"1:<b>"_qs, u"0:x"_qs});
        row("empty names", "<></>", {u"0:<>"_qs, u"256:</>"_qs});
        row("break eats the blanks after it", "one<br>  two", {u"0:one"_qs, u"2:<br>  "_qs, u"0:two"_qs});
        row("block tag clears the pending blank", "a <p> b", {u"0:a"_qs, u"5:<p> "_qs, u"0:b"_qs});
        row("blank after a leading tag", "<font color='969696'> For", {u"3:<font color='969696'>"_qs, u"0+:For"_qs});
        row("every C blank separates", "a\tb\nc\rd\fe\vf",
            {u"0:a"_qs, u"0+:b"_qs, u"0+:c"_qs, u"0+:d"_qs, u"0+:e"_qs, u"0+:f"_qs});
        row("ampersand and bytes above 127", "&amp; \xc3\xa9<i>", {u"0:&amp;"_qs, u"0+:\u00e9"_qs, u"4:<i>"_qs});
    }
    void tokens() {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, tokens);
        QCOMPARE(Tokens(text), tokens);
    }

    void parseHexColor_data() {
        QTest::addColumn<QByteArray>("chars");
        QTest::addColumn<QColor>("color");
        QTest::newRow("grey") << QByteArray("969696") << QColor(150, 150, 150);
        QTest::newRow("quoted blue") << QByteArray("'0000FF'>") << QColor(0, 0, 255);
        QTest::newRow("hash, lower case") << QByteArray("#00ff00") << QColor(0, 255, 0);
        QTest::newRow("double quote and hash") << QByteArray("\"#a1B2c3\"") << QColor(0xa1, 0xb2, 0xc3);
        QTest::newRow("short: the end reads 0") << QByteArray("12345") << QColor(0x12, 0x34, 0x50);
        QTest::newRow("non-digits read 0") << QByteArray("zz1g2x") << QColor(0x00, 0x10, 0x20);
        QTest::newRow("only one hash skipped") << QByteArray("##112233") << QColor(0x01, 0x12, 0x23);
        QTest::newRow("quote after the hash reads 0") << QByteArray("#'1122") << QColor(0x01, 0x12, 0x20);
        QTest::newRow("empty") << QByteArray() << QColor(0, 0, 0);
    }
    void parseHexColor() {
        QFETCH(QByteArray, chars);
        QFETCH(QColor, color);
        QCOMPARE(ParseHexColor(chars), color);
    }

    void createStyleFont_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("weight");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<bool>("underline");
        QTest::addColumn<int>("pixelSize");
        // The base font is bold at 15 pixels: every style sets the weight, it never adds to it.
        QTest::newRow("plain") << 0 << int(QFont::Normal) << false << false << 15;
        QTest::newRow("bold") << int(kStyleBold) << int(QFont::Bold) << false << false << 15;
        QTest::newRow("italic underline")
            << (kStyleItalic | kStyleUnderline) << int(QFont::Normal) << true << true << 15;
        QTest::newRow("superscript: 7/10 truncated")
            << int(kStyleSuperscript) << int(QFont::Normal) << false << false << 10;
        QTest::newRow("subscript bold") << (kStyleSubscript | kStyleBold) << int(QFont::Bold) << false << false << 10;
    }
    void createStyleFont() {
        QFETCH(int, style);
        QFETCH(int, weight);
        QFETCH(bool, italic);
        QFETCH(bool, underline);
        QFETCH(int, pixelSize);
        QFont base(QStringLiteral("Liberation Serif"));
        base.setPixelSize(15);
        base.setBold(true);
        base.setStrikeOut(true);
        const QFont font = CreateStyleFont(base, style);
        QCOMPARE(font.weight(), weight);
        QCOMPARE(font.italic(), italic);
        QCOMPARE(font.underline(), underline);
        QCOMPARE(font.pixelSize(), pixelSize);
        QVERIFY(font.strikeOut());
        QCOMPARE(font.family(), base.family());
    }

    void colorStack() {
        MarkupColorStack stack;
        QCOMPARE(stack.Pop(), QColor(Qt::black));  // nothing ever saved
        QCOMPARE(stack.Push(Qt::red, Qt::blue), QColor(Qt::blue));
        QCOMPARE(stack.Push(Qt::blue, Qt::green), QColor(Qt::green));
        QCOMPARE(stack.Pop(), QColor(Qt::blue));
        QCOMPARE(stack.Pop(), QColor(Qt::red));
        QCOMPARE(stack.Pop(), QColor(Qt::red));  // empty: the bottom slot again
        stack.Reset();
        QCOMPARE(stack.Pop(), QColor(Qt::red));  // the slots outlive a reset
    }

    void colorsOfWords() {
        const QColor grey(150, 150, 150);
        const Layout a("<font color='969696'>grey</font> black");
        QCOMPARE(a.Texts(), (QStringList{u"grey"_qs, u"black"_qs}));
        QCOMPARE(a.runs[0].color, grey);
        QCOMPARE(a.runs[1].color, QColor(Qt::black));
        QCOMPARE(a.runs[0].box.topLeft(), kRect.topLeft());
        QCOMPARE(a.runs[1].box.left(), kRect.left() + a.Width(u"grey"_qs) + a.Space());

        QCOMPARE(Layout("<FONT COLOR=#0000ff>x</FONT>y").runs[0].color, QColor(Qt::blue));
        QCOMPARE(Layout("<FONT COLOR=#0000ff>x</FONT>y").runs[1].color, QColor(Qt::black));
        QCOMPARE(Layout("<font color=\"00FF00\">x").runs[0].color, QColor(Qt::green));

        // Two blanks: no colour change, yet the closing tag pops the enclosing tag's saved colour.
        const Layout b("<font color=ff0000>r<font  color=00ff00>s</font>t");
        QCOMPARE(b.runs[1].color, QColor(Qt::red));
        QCOMPARE(b.runs[2].color, QColor(Qt::black));
    }

    void nineNestedColors() {
        QByteArray text;
        for (int level = 1; level <= 9; ++level) {
            text += "<font color=" + QByteArray::number(level * 16, 16).rightJustified(2, '0') + "0000>";
        }
        text += "x9";
        for (int level = 9; level >= 1; --level) {
            text += "</font>w" + QByteArray::number(level);
        }
        const Layout layout(text);
        auto level = [](int n) {
            return QColor(n * 16, 0, 0);
        };
        QCOMPARE(layout.runs[0].color, level(9));
        // The ninth colour saved nothing, so each closing tag restores one level too far out.
        const QList<QColor> expected{level(7), level(6), level(5),  level(4), level(3),
                                     level(2), level(1), Qt::black, Qt::black};
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(layout.runs[i + 1].color, expected[i]);
        }
    }

    void colorStackSlotsOutliveADrawing() {
        QImage canvas = Canvas();
        MarkupColorStack colors;
        LayoutMarkup("<font color=0000ff>x", kRect, BaseFont(), Qt::red, &canvas, colors);
        QCOMPARE(colors.Count(), 1);
        const QList<MarkupRun> runs = LayoutMarkup("</font>y", kRect, BaseFont(), Qt::green, &canvas, colors);
        QCOMPARE(runs[0].color, QColor(Qt::red));
    }

    void gluedAndSpacedWords() {
        const Layout glued("a<b>b</b>c");
        QCOMPARE(glued.Texts(), (QStringList{u"a"_qs, u"b"_qs, u"c"_qs}));
        QCOMPARE(glued.runs[1].style, int(kStyleBold));
        QCOMPARE(glued.runs[1].box.left(), kRect.left() + glued.Width(u"a"_qs));
        QCOMPARE(glued.runs[2].box.left(), glued.runs[1].box.left() + glued.Width(u"b"_qs, kStyleBold));
        QCOMPARE(glued.runs[2].style, 0);

        // The blank before "b" is measured in the font that "b" selects.
        const Layout spaced("a <b>b</b> c");
        QCOMPARE(spaced.runs[1].box.left(), kRect.left() + spaced.Width(u"a"_qs) + spaced.Space(kStyleBold));
        QCOMPARE(spaced.runs[2].box.left(),
                 spaced.runs[1].box.left() + spaced.Width(u"b"_qs, kStyleBold) + spaced.Space());
    }

    void literalTags() {
        QCOMPARE(Layout("<bold>x</bold>").runs[0].style, int(kStyleBold));
        const Layout span("<span>x</span>");
        QCOMPARE(span.Texts(), (QStringList{u"<span>"_qs, u"x"_qs}));
        QCOMPARE(span.runs[1].box.left(), kRect.left() + span.Width(u"<span>"_qs));
        const Layout attributes("<b x>y");
        QCOMPARE(attributes.Texts(), (QStringList{u"<b"_qs, u"x>y"_qs}));
        QCOMPARE(attributes.runs[1].box.left(), kRect.left() + attributes.Width(u"<b"_qs) + attributes.Space());
        QCOMPARE(attributes.runs[1].style, 0);
        QCOMPARE(Layout("A&B &&").Texts(), (QStringList{u"A&B"_qs, u"&&"_qs}));
    }

    void linesAndParagraphs() {
        const Layout paragraphs("<p>one<p>two<br>three");
        const int lh = paragraphs.lineHeight;
        QCOMPARE(paragraphs.runs[0].box, QRect(kRect.left(), kRect.top(), kRect.width(), lh));
        QCOMPARE(paragraphs.runs[1].box.topLeft(), QPoint(kRect.left(), kRect.top() + lh * 3 / 2));
        QCOMPARE(paragraphs.runs[2].box.topLeft(), QPoint(kRect.left(), kRect.top() + lh * 3 / 2 + lh));

        // Not at the very first byte: a leading blank makes the paragraph count.
        QCOMPARE(Layout(" <p>x").runs[0].box.top(), kRect.top() + lh * 3 / 2);
        const Layout brk("one<br>  two");
        QCOMPARE(brk.runs[1].box.topLeft(), QPoint(kRect.left(), kRect.top() + lh));

        // The line height stays that of the base font whatever the style.
        const Layout styled("<b><sup>a<br>b");
        QCOMPARE(styled.runs[1].box.top() - styled.runs[0].box.top(), lh);
    }

    void subscriptSitsOnTheBottom() {
        const Layout layout("a<sub>b</sub><sup>c</sup>");
        QVERIFY(!layout.runs[0].bottom);
        QVERIFY(layout.runs[1].bottom);
        QVERIFY(!layout.runs[2].bottom);
        QCOMPARE(layout.runs[1].font.pixelSize(), 11);
        QCOMPARE(layout.runs[2].box.top(), kRect.top());
    }

    void wrapping() {
        const QRect narrow(0, 0, 60, 100);
        const Layout layout("ab cd MMMMMMMMMMMM e f", narrow);
        const int lh = layout.lineHeight;
        const int wide = layout.Width(u"MMMMMMMMMMMM"_qs);
        QVERIFY(wide > narrow.width());
        QCOMPARE(layout.runs[1].box.topLeft(), QPoint(layout.Width(u"ab"_qs) + layout.Space(), 0));
        // The wide word starts a new line at the left edge and widens what follows.
        QCOMPARE(layout.runs[2].box, QRect(0, lh, wide, lh));
        QCOMPARE(layout.runs[3].box.topLeft(), QPoint(0, 2 * lh));
        QCOMPARE(layout.runs[4].box.top(), 2 * lh);
        QCOMPARE(layout.runs[4].box.right() + 1, wide);

        // Without a blank before it a word never wraps: it stays on the line, clipped at its box.
        const Layout glued("abcd<b>MMMMMMMMMMMM", narrow);
        QCOMPARE(glued.runs[1].box.top(), 0);
        QCOMPARE(glued.runs[1].box.left(), glued.Width(u"abcd"_qs));
        QCOMPARE(glued.runs[1].box.right() + 1, glued.Width(u"MMMMMMMMMMMM"_qs, kStyleBold));
    }

    void underlinedGap() {
        const Layout layout("<u>a b</u> c");
        const int space = layout.Space(kStyleUnderline);
        QCOMPARE(layout.Texts(), (QStringList{u"a"_qs, u"b"_qs, u" "_qs, u"c"_qs}));
        QCOMPARE(layout.runs[2].box, QRect(layout.runs[1].box.left() - space, kRect.top(), space, layout.lineHeight));
        QCOMPARE(layout.runs[2].style, int(kStyleUnderline));
    }

    void drawsColoursAndRestoresThePainter() {
        QImage canvas = Canvas();
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        painter.setFont(BaseFont());
        painter.setPen(Qt::black);
        MarkupColorStack colors;
        DrawMarkup(painter, "<font color='ff0000'>MMM</font> MMM", QRect(0, 0, 400, 40), colors);
        QCOMPARE(painter.font(), BaseFont());
        QCOMPARE(painter.pen().color(), QColor(Qt::black));
        painter.end();

        const int split = QFontMetrics(BaseFont(), &canvas).horizontalAdvance(u"MMM "_qs);
        int red = 0;
        int black = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 400; ++x) {
                const QColor pixel = canvas.pixelColor(x, y);
                if (pixel == QColor(Qt::red)) {
                    red += x < split ? 1 : -1000;
                } else if (pixel == QColor(Qt::black)) {
                    black += x >= split ? 1 : -1000;
                }
            }
        }
        QVERIFY(red > 20);
        QVERIFY(black > 20);
    }
};

QTEST_MAIN(tst_Markup)
#include "tst_Markup.moc"
