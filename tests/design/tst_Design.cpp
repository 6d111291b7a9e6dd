#include "TemplateCatalog.h"
#include "TestFiles.h"
#include "design/DesignFile.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>

Q_DECLARE_METATYPE(Design)
Q_DECLARE_METATYPE(std::optional<int>)

namespace {

Design Edited(const std::function<void(Design&)>& edit) {
    Design design;
    edit(design);
    return design;
}

// A design file: the header, then `fields` (JSON members, without the braces).
QByteArray File(const QByteArray& fields) {
    return QByteArray(R"({"format": "vornetad-design", "version": 1)") + (fields.isEmpty() ? "" : ", ") + fields + "}";
}

QImage Template(int width) {
    QImage image(width, width, QImage::Format_RGB32);
    image.fill(qRgb(200, 220, 240));
    return image;
}

}  // namespace

class tst_Design : public QObject {
    Q_OBJECT

private slots:
    // What is saved is read back as it was, custom code byte for byte; what could not be read
    // back is not saved at all.
    void saveAndRead_data() {
        QTest::addColumn<Design>("design");
        QTest::addColumn<QString>("saveError");
        QTest::newRow("defaults") << Design() << QString();
        QTest::newRow("every setting changed") << Edited([](Design& d) {
            d.templateName = QStringLiteral("b\u00e4nner.gif");
            d.templateFolder = QStringLiteral("/srv/templates/");
            d.size = 500;
            d.cropOffset = -100;
            d.side = BannerSide::Left;
            d.lines[1] = {QStringLiteral("\u00bfZwei? \"2\""),
                          {QStringLiteral("Liberation Sans"), 200, 700, true, true, true},
                          qRgb(1, 2, 3),
                          true,
                          -5};
            d.lines[2].enabled = true;
            d.lines[2].offset = 5;
            d.linkUrl = QStringLiteral("https://example.com/?a=1&b=<2>");
            d.adTitle.clear();
            d.newWindow = false;
            d.customCodeEnabled = true;
            d.customCode = "<p>\r\n\t\xc3\xa9</p>\r\n";
            d.options.clickThrough = true;
            d.options.hidpi = true;
            d.options.staticMarkup = true;
            d.mode = OutputMode::Remove;
            d.outputFolder = QStringLiteral("/srv/site/");
            d.fileName = QStringLiteral("index.htm");
            d.pages = {QStringLiteral("/srv/a.html"), QStringLiteral("/srv/a.html")};
        }) << QString();
        QTest::newRow("custom code that is not UTF-8")
            << Edited([](Design& d) { d.customCode = "\xe9t\xe9\xff\x80"; }) << QString();
        QTest::newRow("custom code with a zero byte") << Edited([](Design& d) { d.customCode = QByteArray("a\0b", 3); })
                                                      << QStringLiteral("customCode: cannot hold");
        QTest::newRow("text that is not Unicode")
            << Edited([](Design& d) { d.lines[0].text = QString(QChar(0xd800)); }) << QStringLiteral("lines[0].text");
        QTest::newRow("size out of range") << Edited([](Design& d) { d.size = 49; }) << QStringLiteral("size: must be");
    }

    void saveAndRead() {
        QFETCH(Design, design);
        QFETCH(QString, saveError);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.vornetad"));
        const FileResult saved = WriteDesign(design, path);
        QVERIFY2(saved.error.contains(saveError), qPrintable(saved.error));
        QCOMPARE(QFile::exists(path), saveError.isEmpty());
        if (saveError.isEmpty()) {
            const DesignRead read = ReadDesign(path);
            QVERIFY2(read.status.ok(), qPrintable(read.status.error));
            QCOMPARE(read.design, design);
        }
    }

    // Every field is optional; a file is taken whole or refused with the field named. "/base" is
    // the folder relative paths are taken from.
    void parse_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");  // empty: accepted as `expected`
        QTest::addColumn<Design>("expected");
        const auto bad = [](const char* name, const QByteArray& json, const char* error) {
            QTest::newRow(name) << json << QString::fromUtf8(error) << Design();
        };
        QTest::newRow("header alone: the defaults") << File({}) << QString() << Design();
        QTest::newRow("relative paths from the file's folder")
            << File(R"("templateFolder": "t", "output": {"folder": "o/", "pages": ["p.html", "/q.html"]})") << QString()
            << Edited([](Design& d) {
                   d.templateFolder = QStringLiteral("/base/t");
                   d.outputFolder = QStringLiteral("/base/o/");
                   d.pages = {QStringLiteral("/base/p.html"), QStringLiteral("/q.html")};
               });
        QTest::newRow("black as the editor keeps it, other lines as they were")
            << File("\"lines\": [{\"color\": \"#000000\"}, {\"enabled\": true}]") << QString() << Edited([](Design& d) {
                   d.lines[0].color = Design::kBlackReplacement;
                   d.lines[1].enabled = true;
               });
        QTest::newRow("page options by name")
            << File(R"("fixed": true, "noPrint": true, "hidpi": false, "staticMarkup": true)") << QString()
            << Edited([](Design& d) {
                   d.options.fixed = true;
                   d.options.noPrint = true;
                   d.options.staticMarkup = true;
               });
        QTest::newRow("custom code of exactly 1 MiB")
            << File("\"customCode\": \"" + QByteArray(1 << 20, 'x') + "\"") << QString()
            << Edited([](Design& d) { d.customCode = QByteArray(1 << 20, 'x'); });

        bad("not JSON", "{\"format\": ", "not valid JSON");
        bad("not an object", "[1]", "not a design");
        bad("no format", R"({"version": 1})", "format: missing");
        bad("another format", R"({"format": "vornetad", "version": 1})", "format: must be \"vornetad-design\"");
        bad("no version", R"({"format": "vornetad-design"})", "version: missing");
        bad("a later version", R"({"format": "vornetad-design", "version": 2, "new": 1})", "version: 2 is not known");
        bad("version as text", R"({"format": "vornetad-design", "version": "1"})", "version: must be a number");
        bad("misspelt field", File(R"("sise": 200)"), "sise: unknown field");
        for (const char* size : {"49", "501", "300.5", "\"300\"", "null"}) {
            QTest::addRow("size %s", size) << File("\"size\": " + QByteArray(size))
                                           << QStringLiteral("size: must be a whole number from 50 to 500") << Design();
        }
        bad("crop far off", File(R"("crop": 5000)"), "crop: must be a whole number from -500 to 4096");
        bad("side", File(R"("side": "top")"), "side: must be \"right\" or \"left\"");
        bad("four lines", File(R"("lines": [{}, {}, {}, {}])"), "lines: must be a list of at most 3 lines");
        bad("line not an object", File(R"("lines": [{}, 2])"), "lines[1]: must be an object");
        bad("points 0", File(R"("lines": [{}, {"points": 0}])"),
            "lines[1].points: must be a whole number from 1 to 200");
        bad("points 201", File(R"("lines": [{"points": 201}])"),
            "lines[0].points: must be a whole number from 1 to 200");
        bad("offset 6", File(R"("lines": [{}, {}, {"offset": 6}])"),
            "lines[2].offset: must be a whole number from -5 to 5");
        for (const char* color : {"000064", "#00006", "#0000640", "#GG0064", "#\u0660\u0660\u0660\u0660\u0660\u0660"}) {
            QTest::addRow("color %s", color)
                << File("\"lines\": [{\"color\": \"" + QByteArray(color) + "\"}]")
                << QStringLiteral("lines[0].color: must be a colour written #RRGGBB") << Design();
        }
        bad("bold as text", File(R"("lines": [{"bold": "yes"}])"), "lines[0].bold: must be true or false");
        bad("blank font", File(R"("lines": [{"font": " "}])"), "lines[0].font: must name a font face");
        bad("line 1 off", File(R"("lines": [{"enabled": false}])"), "lines[0].enabled: line 1 is always on");
        bad("line 3 without line 2", File(R"("lines": [{}, {}, {"enabled": true}])"), "lines[2].enabled: line 3 needs");
        bad("misspelt line field", File("\"lines\": [{\"colour\": \"#000064\"}]"), "lines[0].colour: unknown field");
        bad("link a number", File(R"("link": 1)"), "link: must be text");
        bad("unpaired surrogate", File(R"("title": "a\ud800")"), "title: is not valid Unicode text");
        bad("window", File(R"("window": "_blank")"), "window: must be \"same\" or \"new\"");
        bad("zero byte in code", File(R"("customCode": "a\u0000")"), "customCode: cannot hold a zero byte");
        bad("code over 1 MiB", File("\"customCode\": \"" + QByteArray((1 << 20) + 1, 'x') + "\""),
            "customCode: is larger than 1 MiB");
        bad("code twice", File(R"("customCode": "a", "customCodeBase64": "YQ==")"),
            "customCodeBase64: cannot be given");
        bad("bad base64", File(R"("customCodeBase64": "Y!==")"), "customCodeBase64: must be base64 text");
        bad("template in a folder", File(R"("template": "a/b.gif")"), "template: must be a file name without a folder");
        bad("template ..", File(R"("template": "..")"), "template: must be a file name without a folder");
        bad("output not an object", File(R"("output": "x")"), "output: must be an object");
        bad("mode", File(R"("output": {"mode": "delete"})"), "output.mode: must be one of \"create\", \"modify\"");
        bad("file in a folder", File(R"("output": {"file": "x/y.html"})"), "output.file: must be a file name");
        bad("page not text", File(R"("output": {"pages": ["a.html", 3]})"), "output.pages[1]: must be a file path");
        bad("empty page", File(R"("output": {"pages": [""]})"), "output.pages[0]: must be a file path");
        bad("misspelt output field", File(R"("output": {"page": []})"), "output.page: unknown field");
    }

    void parse() {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        QFETCH(Design, expected);
        const DesignRead read = ParseDesign(json, QStringLiteral("/base"));
        QCOMPARE(read.status.error.left(error.size()), error);
        QCOMPARE(read.status.ok(), error.isEmpty());
        if (error.isEmpty()) {
            QCOMPARE(read.design, expected);
        }
    }

    // Without a size the banner is the wizard's first: 300 pixels from the template's corner.
    // A size is applied as Resize applies it, centred; a crop offset given stands. Whatever the
    // banner held before does not matter.
    void composeInto_data() {
        QTest::addColumn<int>("templateWidth");
        QTest::addColumn<std::optional<int>>("size");
        QTest::addColumn<std::optional<int>>("crop");
        QTest::addColumn<int>("expectedSize");
        QTest::addColumn<int>("expectedCrop");
        QTest::newRow("first banner") << 600 << std::optional<int>() << std::optional<int>() << 300 << 0;
        QTest::newRow("resized to 300") << 600 << std::optional(300) << std::optional<int>() << 300 << 150;
        QTest::newRow("resized on a narrow template") << 99 << std::optional(200) << std::optional<int>() << 200 << -51;
        QTest::newRow("crop of an earlier template") << 600 << std::optional(200) << std::optional(7) << 200 << 7;
    }

    void composeInto() {
        QFETCH(int, templateWidth);
        QFETCH(std::optional<int>, size);
        QFETCH(std::optional<int>, crop);
        QFETCH(int, expectedSize);
        QFETCH(int, expectedCrop);
        Banner banner;
        banner.SetTemplate(Template(1000));
        banner.SetBannerSize(123);
        Design design;
        design.size = size;
        design.cropOffset = crop;
        design.ComposeInto(banner, Template(templateWidth));
        QCOMPARE(banner.size, expectedSize);
        QCOMPARE(banner.cropOffset, expectedCrop);
        QCOMPARE(banner.TemplateWidth(), templateWidth);
        QCOMPARE(banner.Composed().size(), QSize(expectedSize, expectedSize));
    }

    // A design names a shipped template without its folder, so it travels with the program.
    void templatePath_shippedFolderLeftOut() {
        Design design;
        design.SetTemplatePath(DefaultTemplatesFolder() + QStringLiteral("a.gif"));
        QCOMPARE(design.templateFolder, QString());
        QCOMPARE(design.TemplatePath(), DefaultTemplatesFolder() + QStringLiteral("a.gif"));
        design.SetTemplatePath(QStringLiteral("/srv/t/b.gif"));
        QCOMPARE(design.templateFolder, QStringLiteral("/srv/t/"));
        QCOMPARE(design.TemplatePath(), QStringLiteral("/srv/t/b.gif"));
    }
};

QTEST_MAIN(tst_Design)
#include "tst_Design.moc"
