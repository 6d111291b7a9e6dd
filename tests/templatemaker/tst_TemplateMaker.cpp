#include "DataTable.h"
#include "TestFiles.h"
#include "templatemaker/TemplateGif.h"
#include "templatemaker/TemplateMaker.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTest>

namespace {

const QString kShipped = QStringLiteral(VORNET_SOURCE_DIR "/data/vornets/");

QString Hash(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

}  // namespace

class tst_TemplateMaker : public QObject {
    Q_OBJECT

private slots:
    // Every shipped file is what the maker draws now, to the byte, and what the hash list says: a
    // change to the drawing, the encoder or the Qt that renders them shows here, and the files are
    // made anew with tools/make-templates. The list, the folder and the maker name the same files.
    void shippedTemplates_areTheMakersAndHashed() {
        QStringList names;
        QStringList made;
        for (const ShippedTemplate& shipped : ShippedTemplates()) {
            for (const int scale : {1, 2}) {
                names += shipped.name + (scale == 2 ? u"@2x.gif"_qs : u".gif"_qs);
                made += Hash(EncodeTemplateGif(shipped.draw(scale)).value) + u"  " + names.back();
                QVERIFY2(made.back().startsWith(Hash(ReadAll(kShipped + names.back()))), qPrintable(names.back()));
            }
        }
        const QByteArray list = ReadAll(QFINDTESTDATA("shipped-templates.sha256"));
        QCOMPARE(made, QString::fromLatin1(list).split(u'\n', Qt::SkipEmptyParts));
        QCOMPARE(QDir(kShipped).entryList(QDir::Files, QDir::Name), names);
    }

    void styleInColours_givesItsFiles_data() { AddTableRows(QFINDTESTDATA("styles.txt")); }
    void styleInColours_givesItsFiles() {
        QFETCH(QStringList, row);
        const TemplateStyle* look = FindTemplateStyle(row[0]);
        QVERIFY(look != nullptr);
        QList<QRgb> colors;
        for (const QString& color : row[1].split(u',', Qt::SkipEmptyParts)) {
            colors.append(color.toUInt(nullptr, 16));
        }
        QStringList made;
        for (const TemplateFile& file : MakeTemplateFiles(*look, colors).value) {
            made.append(file.suffix + u':' + Hash(file.bytes).left(16));
        }
        QCOMPARE(made.join(u' '), row[2]);
    }
};

QTEST_GUILESS_MAIN(tst_TemplateMaker)
#include "tst_TemplateMaker.moc"
