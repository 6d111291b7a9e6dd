#include "FakePickers.h"
#include "controls/MarkupLabel.h"

#include <QTest>

class tst_MarkupLabel : public QObject {
    Q_OBJECT

private slots:
    // Every left click anywhere on the label opens its link, if it has one, and so does Space or
    // Enter once the keyboard has reached it; other buttons and keys do nothing. Without a link the
    // keyboard passes it by.
    void opensTheLinkOncePerPress_data() {
        QTest::addColumn<QUrl>("link");
        QTest::addColumn<QList<QUrl>>("opened");
        const QUrl tips(u"https://example.com/tips"_qs);
        QTest::newRow("link") << tips << QList<QUrl>{tips, tips, tips, tips, tips};
        QTest::newRow("no link") << QUrl() << QList<QUrl>();
    }
    void opensTheLinkOncePerPress() {
        QFETCH(QUrl, link);
        QFETCH(QList<QUrl>, opened);
        FakePickers pickers;
        MarkupLabel label(pickers, "<b>the</b> tips<i>!</i>", link);
        label.resize(200, 30);
        QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(190, 25));
        QTest::mouseClick(&label, Qt::RightButton, {}, QPoint(50, 10));
        QCOMPARE(label.focusPolicy(), link.isEmpty() ? Qt::NoFocus : Qt::TabFocus);
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_A, Qt::Key_Tab}) {
            QTest::keyClick(&label, key);
        }
        QCOMPARE(label.accessibleName(), u"the tips!"_qs);
        QCOMPARE(pickers.opened, opened);
    }
};

QTEST_MAIN(tst_MarkupLabel)
#include "tst_MarkupLabel.moc"
