#include "ColorSwatch.h"
#include "FakePickers.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QRgb CentrePixel(QWidget& widget) {
    const QImage image = widget.grab().toImage();
    return image.pixel(image.width() / 2, image.height() / 2) & 0xffffff;
}

}  // namespace

class tst_ColorSwatch : public QObject {
    Q_OBJECT

private slots:
    void pick_data();
    void pick();
    void disabled_paintsGreyAndOpensNoPicker();
};

void tst_ColorSwatch::pick_data() {
    QTest::addColumn<std::optional<QColor>>("picked");
    QTest::addColumn<QRgb>("stored");
    QTest::addColumn<bool>("notified");

    const QRgb initial = qRgb(0, 0, 100);
    QTest::newRow("pure black becomes near-black")
        << std::optional<QColor>(QColor(0, 0, 0)) << qRgb(10, 10, 10) << true;
    QTest::newRow("transparent black too") << std::optional<QColor>(QColor(0, 0, 0, 0)) << qRgb(10, 10, 10) << true;
    QTest::newRow("almost black kept") << std::optional<QColor>(QColor(1, 0, 0)) << qRgb(1, 0, 0) << true;
    QTest::newRow("translucent colour stored opaque")
        << std::optional<QColor>(QColor(10, 20, 30, 40)) << qRgb(10, 20, 30) << true;
    QTest::newRow("cancelled") << std::optional<QColor>() << initial << false;
}

void tst_ColorSwatch::pick() {
    QFETCH(std::optional<QColor>, picked);
    QFETCH(QRgb, stored);
    QFETCH(bool, notified);

    FakePickers pickers;
    pickers.colors.push_back(picked);
    QWidget parent;
    parent.resize(60, 60);
    ColorSwatch swatch(pickers, qRgb(0, 0, 100), 102, &parent);
    swatch.setGeometry(10, 10, 20, 20);
    QSignalSpy spy(&swatch, &ColorSwatch::colorChanged);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));

    QTest::mouseClick(&swatch, Qt::LeftButton);

    QCOMPARE(pickers.colorRequests, 1);
    QCOMPARE(swatch.GetColor(), stored);
    QCOMPARE(CentrePixel(swatch), stored & 0xffffff);
    QCOMPARE(spy.count(), notified ? 1 : 0);
    if (notified) {
        QCOMPARE(spy.at(0).at(0).toInt(), 102);
        QCOMPARE(spy.at(0).at(1).value<QRgb>(), stored);
    }
}

void tst_ColorSwatch::disabled_paintsGreyAndOpensNoPicker() {
    FakePickers pickers;
    pickers.colors.push_back(QColor(255, 0, 0));
    QWidget parent;
    parent.resize(60, 60);
    ColorSwatch swatch(pickers, qRgb(0, 100, 0), 101, &parent);
    swatch.setGeometry(10, 10, 20, 20);
    QSignalSpy spy(&swatch, &ColorSwatch::colorChanged);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QCOMPARE(CentrePixel(swatch), qRgb(0, 100, 0) & 0xffffff);

    swatch.setEnabled(false);
    QCOMPARE(CentrePixel(swatch), qRgb(200, 200, 200) & 0xffffff);
    QTest::mouseClick(&swatch, Qt::LeftButton);

    QCOMPARE(pickers.colorRequests, 0);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(swatch.GetColor(), qRgb(0, 100, 0));
}

QTEST_MAIN(tst_ColorSwatch)
#include "tst_ColorSwatch.moc"
