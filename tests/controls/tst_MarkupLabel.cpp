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
};

QTEST_MAIN(tst_MarkupLabel)
#include "tst_MarkupLabel.moc"
