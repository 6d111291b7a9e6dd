// Saves a picture of one banner in a browser on a screen of two device pixels a pixel: on the left
// the 1x image scaled up by the browser, on the right the image the 2x option adds.
// banner-screenshot OUTPUT.png
#include "Banner.h"
#include "GifWriter.h"
#include "TemplateCatalog.h"
#include "TemplateImage.h"
#include "design/Design.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QUrl>
#include <QWebEngineView>

#include <cstdio>

namespace {

constexpr int kSize = 200;

void Settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: banner-screenshot OUTPUT.png\n");
        return 2;
    }
    qputenv("QT_SCALE_FACTOR", "2");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    Design design;
    design.SetTemplatePath(DefaultTemplatesFolder() + QStringLiteral("ribbon-red.gif"));
    design.size = kSize;
    design.lines[0].text = QStringLiteral("Sharp at 2x");
    design.lines[0].font = {QStringLiteral("Liberation Sans"), 16, BannerFont::kBold, false, false, false};
    design.lines[0].color = qRgb(255, 255, 255);
    const QString templatePath = design.TemplatePath();
    Banner banner;
    design.ComposeInto(banner, LoadTemplateImage(templatePath).image);

    QTemporaryDir folder;
    const QString page = folder.filePath(QStringLiteral("banners.html"));
    QFile file(page);
    const QByteArray size = QByteArray::number(kSize);
    const QByteArray html = "<html><body style='margin:0;font:13px sans-serif;color:#333'><table cellspacing='16'><tr>"
                            "<td><img src='b.gif' width='" +
                            size + "' height='" + size +
                            "'><br>1x image</td>"
                            "<td><img src='b.gif' srcset='b.gif 1x, b@2x.gif 2x' width='" +
                            size + "' height='" + size + "'><br>2x image (--hidpi)</td></tr></table></body></html>";
    if (!SaveAsGif(banner.Composed(), folder.filePath(QStringLiteral("b.gif"))).ok() ||
        !SaveAsGif(ComposeAt2x(banner, templatePath), folder.filePath(QStringLiteral("b@2x.gif"))).ok() ||
        !file.open(QIODevice::WriteOnly) || file.write(html) != html.size()) {
        std::fprintf(stderr, "banner-screenshot: the banners could not be written\n");
        return 1;
    }
    file.close();

    QWebEngineView view;
    view.resize(2 * kSize + 64, kSize + 56);
    view.show();
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    view.load(QUrl::fromLocalFile(page));
    for (int i = 0; i < 100 && !loaded; ++i) {
        Settle(100);
    }
    Settle(1500);
    return loaded && view.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
