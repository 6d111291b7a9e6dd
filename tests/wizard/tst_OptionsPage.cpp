#include "OptionsPage.h"

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
    static T* Child(OptionsPage& page, const char* name) {
        T* child = page.findChild<T*>(QLatin1String(name));
        if (child == nullptr) {
            qFatal("no child %s", name);
        }
        return child;
    }

private slots:
    void firstDisplay_showsDefaultsNewWindowAndNoCode() {
        OptionsPage page;
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(Child<QLineEdit>(page, "adTitle")->text(), QStringLiteral("ad title here"));
        QCOMPARE(Child<QLineEdit>(page, "linkUrl")->text(), QStringLiteral("link URL here"));
        QVERIFY(Child<QRadioButton>(page, "newWindow")->isChecked());
        QVERIFY(!Child<QRadioButton>(page, "sameWindow")->isChecked());
        QVERIFY(!Child<QCheckBox>(page, "customCodeBox")->isChecked());
        QVERIFY(!Child<QLabel>(page, "customCodeLabel")->isVisible());
        QVERIFY(!Child<QPlainTextEdit>(page, "customCode")->isVisible());
        QVERIFY(Child<QCheckBox>(page, "customCodeBox")->isVisible());

        page.StoreControls();
        QCOMPARE(page.adTitle, QStringLiteral("ad title here"));
        QCOMPARE(page.linkUrl, QStringLiteral("link URL here"));
        QVERIFY(page.newWindow);
        QVERIFY(!page.customCodeEnabled);
        QCOMPARE(page.customCode, QString());
    }

    void customCodeBox_showsAndHidesCodeKeepingItsText() {
        OptionsPage page;
        page.show();
        auto* box = Child<QCheckBox>(page, "customCodeBox");
        auto* label = Child<QLabel>(page, "customCodeLabel");
        auto* code = Child<QPlainTextEdit>(page, "customCode");
        const QString text = QStringLiteral("<p>one</p>\n<p>two</p>");

        box->click();
        QVERIFY(page.customCodeEnabled);
        QVERIFY(label->isVisible() && code->isVisible());
        code->setPlainText(text);

        box->click();
        QVERIFY(!page.customCodeEnabled);
        QVERIFY(!label->isVisible() && !code->isVisible());
        page.StoreControls();
        QCOMPARE(page.customCode, text);

        box->click();
        QVERIFY(page.customCodeEnabled);
        QVERIFY(code->isVisible());
        QCOMPARE(code->toPlainText(), text);
    }

    void targetButtons_setNewWindowAtOnce() {
        OptionsPage page;
        page.show();
        auto* same = Child<QRadioButton>(page, "sameWindow");
        auto* fresh = Child<QRadioButton>(page, "newWindow");
        QTest::mouseClick(same, Qt::LeftButton);
        QVERIFY(!page.newWindow);
        QVERIFY(!fresh->isChecked());
        QTest::mouseClick(same, Qt::LeftButton);
        QVERIFY(!page.newWindow);
        QTest::mouseClick(fresh, Qt::LeftButton);
        QVERIFY(page.newWindow);
        QVERIFY(!same->isChecked());
    }

    void editedText_reachesFieldsOnlyWhenStored() {
        OptionsPage page;
        page.show();
        auto* title = Child<QLineEdit>(page, "adTitle");
        auto* link = Child<QLineEdit>(page, "linkUrl");
        title->clear();
        QTest::keyClicks(title, QStringLiteral("Spring sale"));
        link->setText(QStringLiteral("https://example.com/?a=1&b=2"));
        QCOMPARE(page.adTitle, QStringLiteral("ad title here"));
        QCOMPARE(page.linkUrl, QStringLiteral("link URL here"));

        page.StoreControls();
        QCOMPARE(page.adTitle, QStringLiteral("Spring sale"));
        QCOMPARE(page.linkUrl, QStringLiteral("https://example.com/?a=1&b=2"));
    }

    void dialogKeys_neitherCloseTheWizardNorLeaveThePage_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::newRow("Enter in the title") << QStringLiteral("adTitle") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter in the link") << QStringLiteral("linkUrl") << int(Qt::Key_Enter);
        QTest::newRow("Escape in the title") << QStringLiteral("adTitle") << int(Qt::Key_Escape);
        QTest::newRow("Enter on a target button") << QStringLiteral("sameWindow") << int(Qt::Key_Return);
        QTest::newRow("Escape in the code") << QStringLiteral("customCode") << int(Qt::Key_Escape);
    }
    void dialogKeys_neitherCloseTheWizardNorLeaveThePage() {
        QFETCH(QString, field);
        QFETCH(int, key);
        // A wizard with a button of its own, which a dialog's Enter would click.
        QDialog wizard;
        auto* page = new OptionsPage(&wizard);
        auto* next = new QPushButton(QStringLiteral("Next"), &wizard);
        next->move(0, page->height());
        Child<QCheckBox>(*page, "customCodeBox")->click();
        QSignalSpy finished(&wizard, &QDialog::finished);
        QSignalSpy nextClicked(next, &QPushButton::clicked);
        wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        auto* target = page->findChild<QWidget*>(field);
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(finished.count(), 0);
        QCOMPARE(nextClicked.count(), 0);
        QVERIFY(wizard.isVisible());
        QVERIFY(page->isVisible());
        QVERIFY(page->newWindow);
    }

    void enterInCode_startsANewLine() {
        QDialog wizard;
        auto* page = new OptionsPage(&wizard);
        Child<QCheckBox>(*page, "customCodeBox")->click();
        wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        auto* code = Child<QPlainTextEdit>(*page, "customCode");
        code->setFocus();
        QTest::keyClicks(code, QStringLiteral("a"));
        QTest::keyClick(code, Qt::Key_Return);
        QTest::keyClicks(code, QStringLiteral("b"));
        QCOMPARE(code->toPlainText(), QStringLiteral("a\nb"));
        QVERIFY(wizard.isVisible());
    }
};

QTEST_MAIN(tst_OptionsPage)
#include "tst_OptionsPage.moc"
