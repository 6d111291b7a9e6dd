#include "TestPixels.h"
#include "markup/Markup.h"

#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QTest>

namespace {

// Adds the rows of one table of markup.json: each row an array whose first element names it.
void AddRows(const char* table) {
    QTest::addColumn<QJsonArray>("row");
    QFile file(QFINDTESTDATA("markup.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    for (const QJsonValue row : QJsonDocument::fromJson(file.readAll())[QLatin1String(table)].toArray()) {
        QTest::newRow(qPrintable(row[0].toString())) << row.toArray();
    }
}

QString Describe(const QFont& font) {
    const bool pixels = font.pixelSize() > 0;
    return QString::asprintf("w%d%s%s%s %s%g", font.weight(), font.italic() ? " italic" : "",
                             font.underline() ? " underline" : "", font.strikeOut() ? " strike" : "",
                             pixels ? "px" : "pt", pixels ? double(font.pixelSize()) : font.pointSizeF());
}

QFont BaseFont() {
    QFont font(u"Liberation Sans"_qs);
    font.setPixelSize(16);
    return font;
}

}  // namespace

class tst_Markup : public QObject {
    Q_OBJECT

private slots:
    // "kind:bytes" per token, with "+" after the kind when whitespace separated it from the
    // previous word; the caller's part of the protocol (clearing the flag after a word) is played.
    void tokens_data() { AddRows("tokens"); }
    void tokens() {
        QFETCH(QJsonArray, row);
        const QByteArray text = row[1].toString().toUtf8();
        QStringList tokens;
        qsizetype position = 0;
        bool pendingSpace = false;
        for (MarkupToken token; (token = NextMarkupToken(text, position, pendingSpace)).kind != kMarkupEnd;) {
            tokens << QString::number(token.kind) + (pendingSpace ? u"+:"_qs : u":"_qs) +
                          QString::fromUtf8(text.mid(token.start, token.length));
            pendingSpace = pendingSpace && token.kind != kMarkupText;
            QVERIFY(tokens.size() < 100);
        }
        QCOMPARE(tokens, row[2].toVariant().toStringList());
    }

    void parseHexColor_data() { AddRows("colors"); }
    void parseHexColor() {
        QFETCH(QJsonArray, row);
        QCOMPARE(ParseHexColor(row[1].toString().toUtf8()).name(QColor::HexArgb), row[2].toString());
    }

    // The base font is bold, struck out and 15 pixels (or points) big: every style sets the
    // weight, never adds to it, and keeps the rest.
    void createStyleFont_data() { AddRows("styles"); }
    void createStyleFont() {
        QFETCH(QJsonArray, row);
        QFont base(u"Liberation Serif"_qs);
        row[2].toBool() ? base.setPointSize(15) : base.setPixelSize(15);
        base.setBold(true);
        base.setStrikeOut(true);
        const QFont font = CreateStyleFont(base, row[1].toInt());
        QCOMPARE(Describe(font), row[3].toString());
        QCOMPARE(font.family(), base.family());
    }

    // Each run as "text @x,y wxh #colour style [bottom] font", in the rectangle (10, 20, 300, 100)
    // unless the row gives one; the base font is Liberation Sans at 16 pixels, in black.
    void layout_data() { AddRows("layouts"); }
    void layout() {
        QFETCH(QJsonArray, row);
        const QJsonArray r = row[3].isArray() ? row[3].toArray() : QJsonArray{10, 20, 300, 100};
        QImage canvas(400, 200, QImage::Format_RGB32);
        MarkupColorStack colors;
        QStringList runs;
        for (const MarkupRun& run :
             LayoutMarkup(row[1].toString().toUtf8(), QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt()),
                          BaseFont(), Qt::black, &canvas, colors)) {
            runs << QString::asprintf("%s @%d,%d %dx%d %s s%d%s ", qPrintable(run.text), run.box.x(), run.box.y(),
                                      run.box.width(), run.box.height(), qPrintable(run.color.name()), run.style,
                                      run.bottom ? " bottom" : "") +
                        Describe(run.font);
        }
        QCOMPARE(runs, row[2].toVariant().toStringList());
    }

    // The stack's slots outlive the drawing, and the reset each layout starts with: a stray closing
    // tag in the next one pops what an earlier one saved. A stack that never saved gives black.
    void colorStack_outlivesTheDrawing() {
        MarkupColorStack stack;
        QCOMPARE(stack.Pop(), QColor(Qt::black));
        QImage canvas(400, 200, QImage::Format_RGB32);
        LayoutMarkup("<font color=0000ff>x", QRect(0, 0, 99, 99), BaseFont(), Qt::green, &canvas, stack);
        QCOMPARE(stack.Count(), 1);
        QCOMPARE(LayoutMarkup("</font>y", QRect(0, 0, 99, 99), BaseFont(), Qt::blue, &canvas, stack)[0].color,
                 QColor(Qt::green));
    }

    // Red only left of the second word, black only right of it, in either layout direction (a
    // wizard started with -reverse): the markup reads in its own order. The painter is left as it was.
    void drawsColoursAndRestoresThePainter() {
        for (const Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
            QImage canvas(400, 40, QImage::Format_RGB32);
            canvas.fill(Qt::white);
            QPainter painter(&canvas);
            painter.setFont(BaseFont());
            painter.setPen(Qt::black);
            painter.setLayoutDirection(direction);
            DrawMarkup(painter, "<font color='ff0000'>MMM</font> MMM", canvas.rect());
            QCOMPARE(painter.font(), BaseFont());
            QCOMPARE(painter.pen().color(), QColor(Qt::black));
            QCOMPARE(painter.layoutDirection(), direction);
            painter.end();
            const int split = QFontMetrics(BaseFont(), &canvas).horizontalAdvance(u"MMM "_qs);
            const QImage left = canvas.copy(0, 0, split, 40);
            const QImage right = canvas.copy(split, 0, 400 - split, 40);
            QVERIFY(CountOf(left, qRgb(255, 0, 0)) > 20 && CountOf(right, qRgb(255, 0, 0)) == 0);
            QVERIFY(CountOf(right, qRgb(0, 0, 0)) > 20 && CountOf(left, qRgb(0, 0, 0)) == 0);
        }
    }
};

QTEST_MAIN(tst_Markup)
#include "tst_Markup.moc"
