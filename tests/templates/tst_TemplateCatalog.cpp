#include "DataTable.h"
#include "TestFiles.h"
#include "banner/TemplateImage.h"
#include "templates/TemplateCatalog.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class tst_TemplateCatalog : public QObject {
    Q_OBJECT

private slots:
    // Which files become entries, in which order, with which image (scans.txt);
    // outside the entries every accessor gives nothing.
    void scan_data() { AddTableRows(QFINDTESTDATA("scans.txt")); }
    void scan() {
        QFETCH(QStringList, row);
        QTemporaryDir dir;
        const QDir root(dir.path());
        QVERIFY(root.mkdir(u"s"_qs));
        bool unreadable = false;
        for (const QString& file : row[0].split(u' ')) {
            if (file.endsWith(u":000")) {
                unreadable = ::chmod(QFile::encodeName(dir.filePath(file.chopped(4))).constData(), 0) == 0;
                continue;
            }
            if (file.contains(u'%')) {
                const QByteArray name =
                    QFile::encodeName(dir.path()) + '/' + QByteArray::fromPercentEncoding(file.toUtf8());
                QCOMPARE(::close(::creat(name.constData(), 0644)), 0);
                continue;
            }
            if (file.contains(u'>')) {
                QVERIFY(QFile::link(file.section(u'>', 1), dir.filePath(file.section(u'>', 0, 0))));
                continue;
            }
            QVERIFY(root.mkpath(file.section(u'/', 0, 0)));
            if (!file.endsWith(u'/')) {
                QVERIFY(WriteAll(dir.filePath(file.section(u':', 0, 0)),
                                 file.endsWith(u":text") ? "text" : ReadAll(m_gifs + u"red.gif"_qs)));
            }
        }
        TemplateCatalog catalog;
        const TemplateSources sources{dir.filePath(u"s/"_qs), dir.filePath(u"u"_qs)};
        // Permissions do not stop the superuser, so an unreadable folder is scanned as another user.
        const bool asOther = unreadable && ::geteuid() == 0;
        QCOMPARE(asOther ? ::chmod(QFile::encodeName(dir.path()).constData(), 0755) | ::seteuid(65534) : 0, 0);
        int count = catalog.Scan(sources);
        const QList<FileResult> unlisted = TemplateCatalog::Unlisted(sources);
        QCOMPARE(asOther ? ::seteuid(0) : 0, 0);
        QCOMPARE(unreadable ? ::chmod(QFile::encodeName(dir.filePath(u"u"_qs)).constData(), 0700) : 0, 0);
        if (row[1] != u"-") {
            count = catalog.Scan(dir.filePath(row[1]));
        }
        QStringList entries;
        for (const FileResult& folder : unlisted) {
            entries << u"unlisted:"_qs + folder.path.mid(dir.path().size() + 1);
        }
        for (int i = 0; i < catalog.Count(); ++i) {
            QVERIFY(catalog.PathAt(i).startsWith(dir.path() + u'/'));
            const QImage image = catalog.BitmapAt(i);
            entries << catalog.PathAt(i).mid(dir.path().size() + 1) + (image.isNull() ? u"!"_qs : u""_qs);
            QCOMPARE(image.size(), image.isNull() ? QSize(0, 0) : QSize(2, 2));
        }
        QCOMPARE(entries.isEmpty() ? u"-"_qs : entries.join(u' '), row[2]);
        QCOMPARE(QString::number(count), row[3]);
        for (const int outside : {-1, catalog.Count(), 1000000}) {
            QVERIFY(!catalog.IsValidIndex(outside) && catalog.PathAt(outside).isEmpty() &&
                    catalog.BitmapAt(outside).isNull());
        }
    }

    // What the templates looked like when Qt's reader decoded them, they still look like: every
    // shipped template and each shape a first image can take (gifs/like-qt), pixel for pixel,
    // transparent ones included; where browsers draw a file otherwise (gifs/like-browsers), it looks
    // as the PNG beside it, which a browser drew. From memory and from the file alike. Last, an
    // animation longer than the read limit, whose first image ends on the limit's last byte.
    void decoder_drawsTemplatesAsReadersDo_data() {
        AddPathRows(
            {QStringLiteral(VORNET_SOURCE_DIR "/data/vornets"), m_gifs + u"like-qt"_qs, m_gifs + u"like-browsers"_qs},
            QDir::Files, {u"*.gif"_qs});
        const QString animation = m_made.filePath(u"long-animation.gif"_qs);
        QVERIFY(WriteAll(animation, LongAnimation(kMaxTemplateBytes)));
        QTest::newRow("first image ending at the read limit, frames past it") << animation;
    }
    void decoder_drawsTemplatesAsReadersDo() {
        QFETCH(QString, path);
        const TemplateImage decoded = DecodeTemplate(ReadAll(path));
        QVERIFY2(decoded.status.Ok(), qPrintable(decoded.status.error));
        const QString drawn = path.chopped(4) + u".png"_qs;
        const QImage expected = QFileInfo::exists(drawn) ? QImage(drawn) : QImage::fromData(ReadAll(path), "GIF");
        // Premultiplied, so that see-through pixels are alike whatever colour they carry.
        QCOMPARE(decoded.image.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 expected.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        QCOMPARE(LoadTemplateImage(path).image, decoded.image);
    }

    // Every cut before the image's last pixel is refused too (what follows it is not needed: the
    // codes after it, the empty block that closes the data, the trailer). The files of refused.txt; the rows after
    // them, an animation whose first image's data ends a byte past the read limit, and red.gif cut to each length.
    void decoder_refusesAllButOneSoundGif_data() {
        AddTableRows(m_gifs + u"refused.txt"_qs);
        QTest::newRow("first image's data ending past the read limit")
            << QStringList{u"its first image does not end within the file's first 64 MiB"_qs, u"-"_qs};
        for (qsizetype size = 0; size < QFileInfo(m_gifs + u"red.gif"_qs).size() - 2; ++size) {
            QTest::addRow("cut to %d bytes", int(size))
                << QStringList{size == 0 ? u"is empty"_qs : u"truncated"_qs, QString::number(size)};
        }
    }
    void decoder_refusesAllButOneSoundGif() {
        QFETCH(QStringList, row);
        const QByteArray bytes = row.value(1) == u"-" ? LongAnimation(kMaxTemplateBytes + 2)
                                 : row.size() > 1
                                     ? ReadAll(m_gifs + u"red.gif"_qs).left(row[1].toInt())
                                     : ReadAll(m_gifs + u"refused/"_qs + QLatin1String(QTest::currentDataTag()));
        QVERIFY(!bytes.isEmpty() || row.size() > 1);
        const TemplateImage decoded = DecodeTemplate(bytes);
        QVERIFY(decoded.image.isNull());
        QVERIFY2(decoded.status.error.contains(row[0]), qPrintable(decoded.status.error));
    }

    void defaultFolder_holdsTheShippedTemplates() {
        const QString folder = DefaultTemplatesFolder();
        QCOMPARE(folder, QCoreApplication::applicationDirPath() + u"/vornets/"_qs);
        TemplateCatalog catalog;
        QVERIFY(catalog.Scan(folder) >= 10);
        for (int i = 0; i < catalog.Count(); ++i) {
            const QImage image = catalog.BitmapAt(i);
            QCOMPARE(image.size(), QSize(500, 500));
            // Transparent below the diagonal, opaque on it: every design frames the text band.
            QCOMPARE(qAlpha(image.pixel(5, 495)), 0);
            QVERIFY2(qAlpha(image.pixel(250, 240)) == 255, qPrintable(catalog.PathAt(i)));
        }
        // The b-variants ship too, and stay out of the catalog.
        QVERIFY(QDir(folder).entryList({u"*.gif"_qs}).size() > catalog.Count());
    }

private:
    // red.gif's image followed by a megabyte of copies of it: a comment before the first makes that
    // image end `imageEnd` bytes into the file.
    QByteArray LongAnimation(qint64 imageEnd) const {
        const QByteArray red = ReadAll(m_gifs + u"red.gif"_qs);
        const qsizetype header = 25;  // signature, screen and a four-colour table
        const QByteArray image = red.sliced(header, red.size() - header - 1);
        // The comment's blocks, each a length and up to 255 bytes; the first one takes the odd bytes.
        const qint64 blocks = imageEnd - red.size() + 1 - 3;
        QByteArray comment = "\x21\xFE" + QByteArray(1, char(blocks % 256 - 1)) + QByteArray(blocks % 256 - 1, 'c');
        comment += QByteArray("\xFF" + QByteArray(255, 'c')).repeated(blocks / 256) + '\0';
        return red.first(header) + comment + image.repeated((1 << 20) / image.size()) + ';';
    }

    const QString m_gifs = QFINDTESTDATA("gifs") + u'/';  // hand-made GIFs, see gifs/refused.txt
    const QTemporaryDir m_made;                           // GIFs too large to ship
};

QTEST_GUILESS_MAIN(tst_TemplateCatalog)
#include "tst_TemplateCatalog.moc"
