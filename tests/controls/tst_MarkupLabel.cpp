#include "FakePickers.h"
#include "controls/MarkupLabel.h"

#include <QTest>

class tst_MarkupLabel : public QObject {
    Q_OBJECT

private slots:
    // Every left click anywhere on the label opens its link, if it has one; other buttons do nothing.
    void clickOpensTheLinkOncePerClick_data() {
        QTest::addColumn<QUrl>("link");
        QTest::addColumn<QList<QUrl>>("opened");
        const QUrl tips(u"https://example.com/tips"_qs);
        QTest::newRow("link") << tips << QList<QUrl>{tips, tips};
        QTest::newRow("no link") << QUrl() << QList<QUrl>();
    }
    void clickOpensTheLinkOncePerClick() {
        QFETCH(QUrl, link);
        QFETCH(QList<QUrl>, opened);
        FakePickers pickers;
        MarkupLabel label(pickers, "tips", link);
        label.resize(200, 30);
        QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(190, 25));
        QTest::mouseClick(&label, Qt::RightButton, {}, QPoint(50, 10));
        QCOMPARE(pickers.opened, opened);
    }
};

QTEST_MAIN(tst_MarkupLabel)
#include "tst_MarkupLabel.moc"
