#include "SkinButton.h"

#include <QApplication>
#include <QFocusEvent>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QColor kNormal(200, 0, 0);
const QColor kPressed(0, 200, 0);
const QColor kHover(0, 0, 200);
const QColor kDisabled(120, 120, 120);

QString SolidImage(const QTemporaryDir& dir, const QString& name, const QColor& color, int width = 80) {
    QImage image(width, 30, QImage::Format_RGB32);
    image.fill(color);
    const QString path = dir.filePath(name + QStringLiteral(".png"));
    image.save(path);
    return path;
}

QColor FaceAt(SkinButton& button, QPoint point = {5, 5}) {
    return button.grab().toImage().pixelColor(point);
}

char FaceLetter(SkinButton& button) {
    const QColor face = FaceAt(button);
    if (face == kNormal) {
        return 'N';
    }
    if (face == kPressed) {
        return 'P';
    }
    if (face == kHover) {
        return 'H';
    }
    if (face == kDisabled) {
        return 'D';
    }
    return '?';
}

void SendMouse(QWidget& widget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(pos), QPointF(widget.mapToGlobal(pos)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

}  // namespace

class TestSkinButton : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pointerSequence_data();
    void pointerSequence();
    void disabledShowsDisabledImageAndIgnoresPointer();
    void disabledWithoutImage_captionIsEngraved();
    void largerThanImage_imageInTopLeftOnly();
    void enterDoesNotMakeItTheDefaultButton();

private:
    QTemporaryDir dir;
    std::unique_ptr<QWidget> window;
    SkinButton* button = nullptr;
};

void TestSkinButton::init() {
    window = std::make_unique<QWidget>();
    window->resize(200, 100);
    button = new SkinButton(window.get());
    button->setGeometry(10, 10, 80, 30);
    button->SetBitmaps(SolidImage(dir, QStringLiteral("n"), kNormal), SolidImage(dir, QStringLiteral("p"), kPressed),
                       SolidImage(dir, QStringLiteral("h"), kHover), SolidImage(dir, QStringLiteral("d"), kDisabled));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestSkinButton::cleanup() {
    window.reset();
}

// Each step is one event; `faces` is the face after each step, `clicks` the clicks at the end.
// press/release/dbl: left button inside; out/in: moves with the button held; hover: a move with
// no button; releaseout: release outside; focusout: the focus goes elsewhere.
void TestSkinButton::pointerSequence_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("faces");
    QTest::addColumn<int>("clicks");

    QTest::newRow("click") << "press release"
                           << "PN" << 1;
    QTest::newRow("drag out and back in, release inside") << "press out in out in release"
                                                          << "PNPNPN" << 1;
    QTest::newRow("release outside gives no click") << "press out releaseout"
                                                    << "PNN" << 0;
    QTest::newRow("pointer back after releasing outside: hover, no click") << "press out releaseout hover"
                                                                           << "PNNH" << 0;
    QTest::newRow("focus lost while held: no click") << "press focusout release"
                                                     << "PNN" << 0;
    QTest::newRow("focus lost, pointer moves in, release: no click") << "press focusout out in release"
                                                                     << "PNNNN" << 0;
    QTest::newRow("double click is a second press") << "press release dbl release"
                                                    << "PNPN" << 2;
    QTest::newRow("hover and leave") << "enter leave"
                                     << "HN" << 0;
    QTest::newRow("first move over it hovers") << "hover"
                                               << "H" << 0;
    QTest::newRow("press ends hover, next move restores it") << "enter press release hover"
                                                             << "HPNH" << 1;
}

void TestSkinButton::pointerSequence() {
    QFETCH(QString, steps);
    QFETCH(QString, faces);
    QFETCH(int, clicks);

    QSignalSpy clicked(button, &QAbstractButton::clicked);
    const QPoint inside(20, 15);
    const QPoint outside(150, 60);
    QString seen;
    const QStringList list = steps.split(QLatin1Char(' '));
    for (const QString& step : list) {
        if (step == u"press") {
            button->setFocus();
            SendMouse(*button, QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
        } else if (step == u"release") {
            SendMouse(*button, QEvent::MouseButtonRelease, inside, Qt::LeftButton, Qt::NoButton);
        } else if (step == u"releaseout") {
            SendMouse(*button, QEvent::MouseButtonRelease, outside, Qt::LeftButton, Qt::NoButton);
        } else if (step == u"dbl") {
            SendMouse(*button, QEvent::MouseButtonDblClick, inside, Qt::LeftButton, Qt::LeftButton);
        } else if (step == u"out") {
            SendMouse(*button, QEvent::MouseMove, outside, Qt::NoButton, Qt::LeftButton);
        } else if (step == u"in") {
            SendMouse(*button, QEvent::MouseMove, inside, Qt::NoButton, Qt::LeftButton);
        } else if (step == u"hover") {
            SendMouse(*button, QEvent::MouseMove, inside, Qt::NoButton, Qt::NoButton);
        } else if (step == u"enter") {
            QEnterEvent event{QPointF(inside), QPointF(inside), QPointF(button->mapToGlobal(inside))};
            QCoreApplication::sendEvent(button, &event);
        } else if (step == u"leave") {
            QEvent event(QEvent::Leave);
            QCoreApplication::sendEvent(button, &event);
        } else if (step == u"focusout") {
            QFocusEvent event(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
            QCoreApplication::sendEvent(button, &event);
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
        seen += QLatin1Char(FaceLetter(*button));
    }
    QCOMPARE(seen, faces);
    QCOMPARE(clicked.count(), clicks);
}

void TestSkinButton::disabledShowsDisabledImageAndIgnoresPointer() {
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    button->setEnabled(false);
    QCOMPARE(FaceLetter(*button), 'D');
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 15));
    QCOMPARE(FaceLetter(*button), 'D');
    QCOMPARE(clicked.count(), 0);
    button->setEnabled(true);
    QCOMPARE(FaceLetter(*button), 'N');
}

void TestSkinButton::disabledWithoutImage_captionIsEngraved() {
    SkinButton plain(window.get());
    plain.setGeometry(10, 50, 120, 40);
    plain.setText(QStringLiteral("MMMM"));
    plain.setEnabled(false);
    const QImage image = plain.grab().toImage();
    const QColor face = plain.palette().color(QPalette::Active, QPalette::Button);
    const QColor light = plain.palette().color(QPalette::Active, QPalette::Light);
    const QColor grey = plain.palette().color(QPalette::Disabled, QPalette::ButtonText);
    QCOMPARE(image.pixelColor(1, 1), face);
    bool sawLight = false;
    bool sawGrey = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            sawLight |= image.pixelColor(x, y) == light;
            sawGrey |= image.pixelColor(x, y) == grey;
        }
    }
    QVERIFY(sawLight);
    QVERIFY(sawGrey);

    plain.setText(QString());
    const QImage empty = plain.grab().toImage();
    for (int y = 0; y < empty.height(); ++y) {
        for (int x = 0; x < empty.width(); ++x) {
            QCOMPARE(empty.pixelColor(x, y), face);
        }
    }
}

void TestSkinButton::largerThanImage_imageInTopLeftOnly() {
    button->resize(100, 40);
    QCOMPARE(FaceAt(*button, {79, 29}), kNormal);
    QVERIFY(FaceAt(*button, {90, 35}) != kNormal);
    button->resize(40, 20);
    QCOMPARE(FaceAt(*button, {39, 19}), kNormal);
}

void TestSkinButton::enterDoesNotMakeItTheDefaultButton() {
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    QCOMPARE(clicked.count(), 0);
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(clicked.count(), 1);
}

QTEST_MAIN(TestSkinButton)
#include "tst_SkinButton.moc"
