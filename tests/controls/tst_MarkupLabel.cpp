#include "MarkupLabel.h"

#include <QTest>

class tst_MarkupLabel : public QObject {
    Q_OBJECT

private slots:
    void clickOpensTheLinkOncePerClick_data() {
        QTest::addColumn<QUrl>("link");
        QTest::addColumn<int>("opened");
        QTest::newRow("link") << QUrl(QStringLiteral("https://example.com/tips")) << 2;
        QTest::newRow("no link") << QUrl() << 0;
    }
    void clickOpensTheLinkOncePerClick() {
        QFETCH(QUrl, link);
        QFETCH(int, opened);
        MarkupLabel label("tips", link);
        label.resize(200, 30);
        QList<QUrl> asked;
        label.SetLinkOpener([&asked](const QUrl& url) { asked << url; });
        QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(190, 25));
        QTest::mouseClick(&label, Qt::RightButton, {}, QPoint(50, 10));
        QCOMPARE(asked.size(), opened);
        for (const QUrl& url : asked) {
            QCOMPARE(url, link);
        }
    }

    void drawsItsMarkupOnWhite() {
        MarkupLabel label("<font color='969696'>MMMM</font> <font color='0000FF'>MMMM</font>", QUrl());
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(20);
        label.setFont(font);
        label.resize(300, 30);
        const QImage image = label.grab().toImage();
        QCOMPARE(image.pixelColor(299, 29), QColor(Qt::white));
        int grey = 0;
        int blue = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                grey += image.pixelColor(x, y) == QColor(150, 150, 150) ? 1 : 0;
                blue += image.pixelColor(x, y) == QColor(0, 0, 255) ? 1 : 0;
            }
        }
        QVERIFY(grey > 20);
        QVERIFY(blue > 20);
    }
};

QTEST_MAIN(tst_MarkupLabel)
#include "tst_MarkupLabel.moc"
