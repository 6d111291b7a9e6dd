#include "OptionsPage.h"
#include "TestFiles.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

class tst_OptionsPage : public QObject {
    Q_OBJECT

    template <typename T>
    static T* Child(OptionsPage& page, const QString& name) {
        return ChildNamed<T>(page, name);
    }
    static QLineEdit* Edit(OptionsPage& page, const char* name) { return Child<QLineEdit>(page, QLatin1String(name)); }
    static QPlainTextEdit* Code(OptionsPage& page) { return Child<QPlainTextEdit>(page, QStringLiteral("customCode")); }
    static QCheckBox* CodeBox(OptionsPage& page) { return Child<QCheckBox>(page, QStringLiteral("customCodeBox")); }

private slots:
    void firstDisplay_showsDefaultsAndEditsReachFieldsOnlyWhenStored() {
        OptionsPage page;
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(Edit(page, "adTitle")->text(), QStringLiteral("ad title here"));
        QCOMPARE(Edit(page, "linkUrl")->text(), QStringLiteral("link URL here"));
        QVERIFY(Child<QRadioButton>(page, QStringLiteral("newWindow"))->isChecked());
        QVERIFY(!Child<QRadioButton>(page, QStringLiteral("sameWindow"))->isChecked());
        QVERIFY(CodeBox(page)->isVisible() && !CodeBox(page)->isChecked());
        QVERIFY(!Child<QLabel>(page, QStringLiteral("customCodeLabel"))->isVisible());
        QVERIFY(!Code(page)->isVisible());
        QVERIFY(page.newWindow);
        QVERIFY(!page.customCodeEnabled);

        Edit(page, "adTitle")->setText(QStringLiteral("Spring sale"));
        Edit(page, "linkUrl")->setText(QStringLiteral("https://example.com/?a=1&b=2"));
        QCOMPARE(page.adTitle, QStringLiteral("ad title here"));
        page.StoreControls();
        QCOMPARE(page.adTitle, QStringLiteral("Spring sale"));
        QCOMPARE(page.linkUrl, QStringLiteral("https://example.com/?a=1&b=2"));
        QCOMPARE(page.customCode, QString());
    }

    void customCodeBox_showsAndHidesCodeKeepingItsText() {
        OptionsPage page;
        page.show();
        auto* label = Child<QLabel>(page, QStringLiteral("customCodeLabel"));
        const QString text = QStringLiteral("<p>one</p>\n<p>two</p>");
        for (bool ticked : {true, false, true}) {
            CodeBox(page)->click();
            QCOMPARE(page.customCodeEnabled, ticked);
            QCOMPARE(label->isVisible(), ticked);
            QCOMPARE(Code(page)->isVisible(), ticked);
            if (Code(page)->toPlainText().isEmpty()) {
                Code(page)->setPlainText(text);
            }
            page.StoreControls();
            QCOMPARE(page.customCode, text);
        }
    }

    void dialogKeys_neitherClickTheWizardsButtonsNorCloseIt_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("code");
        QTest::newRow("Enter in the title") << QStringLiteral("adTitle") << int(Qt::Key_Return) << QString();
        QTest::newRow("keypad Enter in the link") << QStringLiteral("linkUrl") << int(Qt::Key_Enter) << QString();
        QTest::newRow("Escape in the title") << QStringLiteral("adTitle") << int(Qt::Key_Escape) << QString();
        QTest::newRow("Enter on a target button") << QStringLiteral("sameWindow") << int(Qt::Key_Return) << QString();
        QTest::newRow("Escape in the code") << QStringLiteral("customCode") << int(Qt::Key_Escape) << QString();
        QTest::newRow("Enter in the code: new line")
            << QStringLiteral("customCode") << int(Qt::Key_Return) << QStringLiteral("\n");
    }
    void dialogKeys_neitherClickTheWizardsButtonsNorCloseIt() {
        QFETCH(QString, field);
        QFETCH(int, key);
        QFETCH(QString, code);
        // A wizard with a button of its own, which a dialog's Enter would click.
        QDialog wizard;
        auto* page = new OptionsPage(&wizard);
        auto* next = new QPushButton(QStringLiteral("Next"), &wizard);
        next->move(0, page->height());
        CodeBox(*page)->click();
        QSignalSpy finished(&wizard, &QDialog::finished);
        QSignalSpy nextClicked(next, &QPushButton::clicked);
        wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        auto* target = Child<QWidget>(*page, field);
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(finished.count(), 0);
        QCOMPARE(nextClicked.count(), 0);
        QVERIFY(wizard.isVisible() && page->isVisible());
        QVERIFY(page->newWindow);
        QCOMPARE(Code(*page)->toPlainText(), code);
    }
};

QTEST_MAIN(tst_OptionsPage)
#include "tst_OptionsPage.moc"
