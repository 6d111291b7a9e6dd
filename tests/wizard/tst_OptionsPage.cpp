#include "TestFiles.h"
#include "wizard/OptionsPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

class tst_OptionsPage : public QObject {
    Q_OBJECT

private slots:
    // Unticking the box hides the code and its label, but the text stays for the next tick.
    void customCodeBox_showsAndHidesTheCodeKeepingItsText() {
        OptionsPage page;
        page.show();
        auto* box = ChildNamed<QCheckBox>(page, QStringLiteral("customCodeBox"));
        auto* code = ChildNamed<QPlainTextEdit>(page, QStringLiteral("customCode"));
        auto* label = ChildNamed<QLabel>(page, QStringLiteral("customCodeLabel"));
        const QString text = QStringLiteral("<p>one</p>\n<p>two</p>");
        QVERIFY(!code->isVisible() && !label->isVisible());
        for (bool ticked : {true, false, true}) {
            box->click();
            QCOMPARE(page.customCodeEnabled, ticked);
            QCOMPARE(label->isVisible(), ticked);
            QCOMPARE(code->isVisible(), ticked);
            if (code->toPlainText().isEmpty()) {
                code->setPlainText(text);
            }
            page.StoreControls();
            QCOMPARE(page.customCode, text);
        }
        // Enter in the code is a new line, not a key for the wizard.
        QTest::keyClick(code, Qt::Key_Return);
        QCOMPARE(code->toPlainText(), u'\n' + text);
    }
};

QTEST_MAIN(tst_OptionsPage)
#include "tst_OptionsPage.moc"
