// Feeds arbitrary bytes to the markup tokenizer and to the label's drawing. Besides the
// sanitizers' checks, every token must lie inside the text and make progress.
#include "Markup.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_markup";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the fonts it owns must outlive every run.
    new QGuiApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView text(reinterpret_cast<const char*>(data), qsizetype(size));

    qsizetype position = 0;
    bool pendingSpace = false;
    for (;;) {
        const qsizetype before = position;
        const MarkupToken token = NextMarkupToken(text, position, pendingSpace);
        if (token.kind == kMarkupEnd) {
            break;
        }
        if (token.start < before || token.length <= 0 || token.start + token.length > text.size() ||
            position != token.start + token.length) {
            std::abort();
        }
        if (token.kind == kMarkupText) {
            pendingSpace = false;
        }
    }

    // The first byte picks the label's width, so that wrapping and widening both get exercised.
    const int width = size > 0 ? data[0] : 100;
    static QImage canvas(300, 80, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    QFont font;
    font.setPixelSize(13);
    painter.setFont(font);
    DrawMarkup(painter, text, QRect(2, 2, width, 60));
    return 0;
}
