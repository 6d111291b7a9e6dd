#include "DataTable.h"
#include "TestGif.h"
#include "TestPixels.h"
#include "banner/TemplateImage.h"
#include "files/FolderLock.h"
#include "files/Interruption.h"
#include "templates/UserTemplates.h"

#include <QBuffer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// A picture `size` big: its centre square opaque red on the left and see-through on the right, a
// half-transparent bar across its middle, and opaque blue in the margins the square leaves.
QByteArray Picture(QSize size, const char* format) {
    const int side = std::min(size.width(), size.height());
    const QRect square((size.width() - side) / 2, (size.height() - side) / 2, side, side);
    const QImage image = Painted(size, [&](int x, int y) {
        const bool left = x < square.center().x();
        return !square.contains(x, y)                          ? qRgb(0, 0, 255)
               : std::abs(y - square.center().y()) < side / 10 ? qRgba(0, 160, 0, left ? 200 : 100)
               : left                                          ? qRgb(255, 0, 0)
                                                               : qRgba(0, 0, 0, 0);
    });
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

}  // namespace

class tst_UserTemplates : public QObject {
    Q_OBJECT

private slots:
    void import_takesGifsAndConvertsPictures_data() { AddTableRows(QFINDTESTDATA("imports.txt")); }
    void import_takesGifsAndConvertsPictures() {
        QFETCH(QStringList, row);
        const QString refusal = row[1] == u"-" ? QString() : row[1];
        const bool converted = row[2] == u"yes";
        const QStringList size = row[0].split(u' ');
        const QByteArray gif = EncodeTestGif(SolidTemplate(QColor(10, 20, 30)));
        const QByteArray jpeg = Picture({64, 48}, "JPEG");
        // The long animation's first image is followed by a comment longer than the bytes read.
        const QByteArray comment = "\x21\xFE" + QByteArray("\xFF" + QByteArray(255, 'c')).repeated(263000) + '\0';
        const QByteArray bytes = row[0] == u"gif"                ? gif
                                 : row[0] == u"long gif"         ? gif.chopped(1) + comment + ';'
                                 : row[0] == u"damaged gif"      ? gif.left(gif.size() - 40)
                                 : row[0] == u"damaged jpeg"     ? jpeg.chopped(40)
                                 : row[0] == u"jpeg and more"    ? jpeg + "more"
                                 : row[0] == u"jpeg with strays" ? jpeg.left(20) + QByteArray(2, '\0') + jpeg.mid(20)
                                 : size[0] == u"file"            ? ReadAll(QFINDTESTDATA(u"pictures/"_qs + size[1]))
                                 : size.value(1) == u"x"
                                     ? Picture({size[0].toInt(), size[2].toInt()}, qPrintable(size[3]))
                                     : row[0].toUtf8();
        QTemporaryDir dir;
        const QString path = dir.filePath(u"picture.gif"_qs);
        QVERIFY(WriteAll(path, bytes));
        const ImportedTemplate imported = ImportTemplate(path);
        QCOMPARE(imported.status.path, path);
        QVERIFY2(imported.status.error.contains(refusal), qPrintable(imported.status.error));
        QCOMPARE(imported.status.Ok(), refusal.isEmpty());
        QCOMPARE(imported.converted, converted);
        if (!refusal.isEmpty() || !converted) {
            QCOMPARE(imported.bytes, !refusal.isEmpty() ? QByteArray() : row[0] == u"long gif" ? gif : bytes);
            return;
        }
        const QImage image = DecodeTemplate(imported.bytes).image.convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(500, 500));
        if (const QStringList centre = row[3].split(u' '); centre.size() == 3) {
            const QRgb seen = image.pixel(250, 250);
            QVERIFY2(std::abs(qRed(seen) - centre[0].toInt()) <= 3 && std::abs(qGreen(seen) - centre[1].toInt()) <= 3 &&
                         std::abs(qBlue(seen) - centre[2].toInt()) <= 3,
                     qPrintable(QColor(seen).name()));
            return;  // the pictures of the files are of one colour
        }
        if (QImage::fromData(bytes).height() < 10) {
            return;  // too small to show the picture's parts
        }
        const bool alpha = QImage::fromData(bytes).hasAlphaChannel();
        const auto near = [](QRgb a, QRgb b) {
            return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) < 40;
        };
        QVERIFY(near(image.pixel(60, 60), qRgb(255, 0, 0)));
        QCOMPARE(qAlpha(image.pixel(440, 60)), alpha ? 0 : 255);
        // Alpha 200 over white; alpha 100 see-through.
        QVERIFY(!alpha || near(image.pixel(60, 250), qRgb(55, 181, 55)));
        QCOMPARE(qAlpha(image.pixel(440, 250)), alpha ? 0 : 255);
        for (int y = 0; y < 500; y += 7) {
            for (int x = 0; x < 500; x += 7) {
                QVERIFY2(qBlue(image.pixel(x, y)) < 200 || qRed(image.pixel(x, y)) > 100, "a margin was kept");
            }
        }
    }

    // A window ended by a signal while it saves a new template ends once all its files are there.
    // Where another run holds the folder, the window does not stand still waiting: nothing is saved.
    void saveNewTemplate_endedMeanwhile_allFilesMade() {
        QTemporaryDir dir;
        const QString first = dir.filePath(u"x.gif"_qs);
        {
            const FolderLock held(dir.path());
            const FileResult busy = SaveNewTemplate(dir.path(), u"x"_qs, {{{}, "GIF89a"}});
            QVERIFY2(busy.error.startsWith(u"another run is writing into this folder"), qPrintable(busy.error));
            QVERIFY(!QFileInfo::exists(first));
        }
        // The sharp copy is large, so that the signal comes while it is written.
        const std::vector<TemplateFile> files{{{}, "GIF89a"}, {u"@2x"_qs, QByteArray(64 << 20, 'x')}};
        const pid_t child = ::fork();
        if (child == 0) {
            EndOnSignalsBetweenRuns();
            std::thread([&] {
                while (!QFileInfo::exists(first)) {
                    ::usleep(50);
                }
                ::kill(::getpid(), SIGTERM);
            }).detach();
            (void)SaveNewTemplate(dir.path(), u"x"_qs, files);
            ::pause();
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        QCOMPARE(QFileInfo(dir.filePath(u"x@2x.gif"_qs)).size(), qint64(64) << 20);
    }
};

QTEST_GUILESS_MAIN(tst_UserTemplates)
#include "tst_UserTemplates.moc"
