// Writes the shipped templates, their shadowless "b" variants (for pages that are not white) and
// the 2x companion of each ("NAME@2x.gif", 1000 pixels) into OUTPUT-FOLDER. The drawing lives in
// the program's template maker; the output depends only on it and the Qt version that renders it.
//
// Usage: make-templates OUTPUT-FOLDER

#include "files/ReplaceFile.h"
#include "templatemaker/TemplateGif.h"
#include "templatemaker/TemplateMaker.h"

#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-templates OUTPUT-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    int failures = 0;
    for (const ShippedTemplate& shipped : ShippedTemplates()) {
        for (const int scale : {1, 2}) {
            const QString path = folder + u'/' + shipped.name + (scale == 1 ? QString() : QStringLiteral("@2x")) +
                                 QStringLiteral(".gif");
            const Result<QByteArray> encoded = EncodeTemplateGif(shipped.draw(scale));
            const FileResult written =
                encoded.Ok() ? ReplaceFile(encoded.value, path) : FileResult::Failure(path, encoded.error);
            if (!written.Ok()) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(written.path), qPrintable(written.error));
                ++failures;
            }
        }
    }
    return failures == 0 ? 0 : 1;
}
