#include "TestFiles.h"
#include "templatemaker/TemplateGif.h"
#include "templatemaker/TemplateMaker.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTest>

#include <algorithm>

namespace {

const QString kShipped = QStringLiteral(VORNET_SOURCE_DIR "/data/vornets/");

QByteArray Hash(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

}  // namespace

class TestTemplateMaker : public QObject {
    Q_OBJECT

private slots:
    // Every shipped file is what the maker draws now, to the byte, and what the hash list says: a
    // change to the drawing, the encoder or the Qt that renders them shows here, and the files are
    // made anew with tools/make-templates. The list, the folder and the maker name the same files.
    void shippedTemplates_areTheMakersAndHashed_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QByteArray>("hash");
        const QByteArray list = ReadAll(QFINDTESTDATA("shipped-templates.sha256"));
        QStringList listed;
        for (const QByteArray& line : list.split('\n')) {
            if (!line.isEmpty()) {
                listed.append(QString::fromUtf8(line.mid(66)));
                QTest::newRow(line.mid(66).constData())
                    << listed.back() << (listed.back().contains(u"@2x") ? 2 : 1) << line.left(64);
            }
        }
        QStringList made;
        for (const ShippedTemplate& shipped : ShippedTemplates()) {
            made << shipped.name + u".gif"_qs << shipped.name + u"@2x.gif"_qs;
        }
        made.sort();
        QCOMPARE(listed, made);
        QCOMPARE(QDir(kShipped).entryList({u"*"_qs}, QDir::Files, QDir::Name), made);
    }
    void shippedTemplates_areTheMakersAndHashed() {
        QFETCH(QString, name);
        QFETCH(int, scale);
        QFETCH(QByteArray, hash);
        QCOMPARE(Hash(ReadAll(kShipped + name)), hash);
        const QString base = name.chopped(scale == 2 ? 7 : 4);
        const auto shipped = std::find_if(ShippedTemplates().begin(), ShippedTemplates().end(),
                                          [&](const ShippedTemplate& t) { return t.name == base; });
        QVERIFY(shipped != ShippedTemplates().end());
        const QImage drawn = shipped->draw(scale);
        QCOMPARE(drawn.size(), QSize(kTemplateEdge * scale, kTemplateEdge * scale));
        QCOMPARE(Hash(EncodeTemplateGif(drawn)), hash);
    }

    // A look in the user's colours: the template and its 2x companion, and the shadowless pair where
    // the look has one, always the same bytes for the same colours (what the wizard's dialog and
    // make-template save). Missing colours are the look's defaults; other colours, other bytes.
    void styleInColours_givesItsFiles_data() {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QList<QRgb>>("colors");
        QTest::addColumn<QByteArrayList>("hashes");  // of the files in MakeTemplateFiles' order
        const QByteArrayList ribbon{"dfe638b577b3acf4", "6c29ba5f25ae2741", "54829031d13c457f", "e20ea99fd6164491"};
        QTest::newRow("ribbon, defaults") << u"ribbon"_qs << QList<QRgb>{} << ribbon;
        QTest::newRow("ribbon, its defaults given")
            << u"ribbon"_qs << QList<QRgb>{0xffcc222c, 0xffe23d45, 0xfff9d0d2} << ribbon;
        QTest::newRow("ribbon, green, yellow, purple")
            << u"ribbon"_qs << QList<QRgb>{0xff2e7d32, 0xfffdd835, 0xff6a1b9a}
            << QByteArrayList{"23340818b50a319b", "ad6eea94e1c3a31b", "2cb3a42a3c7e1c34", "72d58d0a1af932ec"};
        QTest::newRow("gradient, no shadowless variant")
            << u"gradient"_qs << QList<QRgb>{0xff2e7d32, 0xfffdd835, 0xff6a1b9a}
            << QByteArrayList{"a40f05653ccfc4a3", "a952d850f18b2df3"};
    }
    void styleInColours_givesItsFiles() {
        QFETCH(QString, style);
        QFETCH(QList<QRgb>, colors);
        QFETCH(QByteArrayList, hashes);
        const TemplateStyle* look = FindTemplateStyle(style);
        QVERIFY(look != nullptr);
        const std::vector<TemplateFile> files = MakeTemplateFiles(*look, colors);
        QStringList suffixes;
        QByteArrayList made;
        for (const TemplateFile& file : files) {
            suffixes.append(file.suffix);
            made.append(Hash(file.bytes).left(16));
        }
        const QStringList expected{QString(), u"@2x"_qs, u"b"_qs, u"b@2x"_qs};
        QCOMPARE(suffixes, expected.mid(0, hashes.size()));
        QCOMPARE(made, hashes);
    }
};

QTEST_GUILESS_MAIN(TestTemplateMaker)
#include "tst_TemplateMaker.moc"
