#include "ColorSwatch.h"
#include "FakePickers.h"

#include <QSignalSpy>
#include <QTest>

class tst_ColorSwatch : public QObject {
    Q_OBJECT

private slots:
    void click_data();
    void click();
};

void tst_ColorSwatch::click_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<std::optional<QColor>>("picked");
    QTest::addColumn<QRgb>("stored");
    QTest::addColumn<QRgb>("painted");

    const QRgb initial = qRgb(0, 0, 100);
    const QRgb nearBlack = qRgb(10, 10, 10);
    QTest::newRow("pure black becomes near-black") << true << std::optional(QColor(0, 0, 0)) << nearBlack << nearBlack;
    QTest::newRow("transparent black too") << true << std::optional(QColor(0, 0, 0, 0)) << nearBlack << nearBlack;
    QTest::newRow("almost black kept") << true << std::optional(QColor(1, 0, 0)) << qRgb(1, 0, 0) << qRgb(1, 0, 0);
    QTest::newRow("cancelled") << true << std::optional<QColor>() << initial << initial;
    QTest::newRow("disabled: grey, no picker")
        << false << std::optional(QColor(255, 0, 0)) << initial << qRgb(200, 200, 200);
}

void tst_ColorSwatch::click() {
    QFETCH(bool, enabled);
    QFETCH(std::optional<QColor>, picked);
    QFETCH(QRgb, stored);
    QFETCH(QRgb, painted);

    FakePickers pickers;
    pickers.colors.push_back(picked);
    QWidget parent;
    parent.resize(60, 60);
    ColorSwatch swatch(pickers, qRgb(0, 0, 100), 102, &parent);
    swatch.setGeometry(10, 10, 20, 20);
    swatch.setEnabled(enabled);
    QSignalSpy spy(&swatch, &ColorSwatch::colorChanged);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));

    QTest::mouseClick(&swatch, Qt::LeftButton);

    QCOMPARE(pickers.colorRequests, enabled ? 1 : 0);
    QCOMPARE(swatch.GetColor(), stored);
    QCOMPARE(swatch.grab().toImage().pixel(10, 10), painted);
    const bool notified = enabled && picked.has_value();
    QCOMPARE(spy.count(), notified ? 1 : 0);
    if (notified) {
        QCOMPARE(spy.at(0).at(0).toInt(), 102);
        QCOMPARE(spy.at(0).at(1).value<QRgb>(), stored);
    }
}

QTEST_MAIN(tst_ColorSwatch)
#include "tst_ColorSwatch.moc"
