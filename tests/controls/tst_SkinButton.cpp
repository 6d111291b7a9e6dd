#include "DataTable.h"
#include "TestPixels.h"
#include "controls/SkinButton.h"

#include <QFocusEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The faces' colours, in the order SetBitmaps takes them, and their letters in skin-pointer.txt.
const QRgb kFaces[] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200), qRgb(120, 120, 120)};
const char kLetters[] = "NPHD?";

// An 80 x 30 skinned button in a shown window, every face a solid image of that size.
struct Skinned {
    QTemporaryDir dir;
    QWidget window;
    SkinButton* button = new SkinButton(&window);

    Skinned() {
        QStringList paths;
        for (const QRgb face : kFaces) {
            QImage image(80, 30, QImage::Format_RGB32);
            image.fill(face);
            paths << dir.filePath(QString::number(face) + u".png"_qs);
            image.save(paths.back());
        }
        window.resize(200, 100);
        button->setGeometry(10, 10, 80, 30);
        button->SetBitmaps(paths[0], paths[1], paths[2], paths[3]);
        window.show();
    }
    QChar Face() const {
        return QLatin1Char(kLetters[std::find(kFaces, kFaces + 4, Shot(*button).pixel(5, 5)) - kFaces]);
    }
};

}  // namespace

class tst_SkinButton : public QObject {
    Q_OBJECT

private slots:
    void pointerAndKeys_changeTheFaceAndClick_data() { AddTableRows(QFINDTESTDATA("skin-pointer.txt")); }
    void pointerAndKeys_changeTheFaceAndClick() {
        QFETCH(QStringList, row);
        Skinned s;
        SkinButton& button = *s.button;
        QVERIFY(QTest::qWaitForWindowExposed(&s.window));
        QSignalSpy clicked(&button, &QAbstractButton::clicked);
        QString faces;
        for (const QString& step : row[0].split(u' ', Qt::SkipEmptyParts)) {
            const QPointF at = step.endsWith(u"out") ? QPointF(150, 60) : QPointF(20, 15);
            if (step == u"off" || step == u"on") {
                button.setEnabled(step == u"on");
            } else if (step == u"return" || step == u"space") {
                button.setFocus();
                QTest::keyClick(&button, step == u"return" ? Qt::Key_Return : Qt::Key_Space);
            } else if (step == u"enter") {
                QEnterEvent event(at, at, button.mapToGlobal(at));
                QCoreApplication::sendEvent(&button, &event);
            } else if (step == u"leave" || step == u"focusout") {
                QFocusEvent event(step == u"leave" ? QEvent::Leave : QEvent::FocusOut, Qt::ActiveWindowFocusReason);
                QCoreApplication::sendEvent(&button, &event);
            } else {
                // The left button pressed, released, double-clicked, or held (or not, "hover") in a move.
                const QEvent::Type type = step == u"press"          ? QEvent::MouseButtonPress
                                          : step.startsWith(u"rel") ? QEvent::MouseButtonRelease
                                          : step == u"dbl"          ? QEvent::MouseButtonDblClick
                                                                    : QEvent::MouseMove;
                const bool held = type != QEvent::MouseButtonRelease && step != u"hover";
                if (type == QEvent::MouseButtonPress) {
                    button.setFocus();
                }
                QMouseEvent event(type, at, button.mapToGlobal(at),
                                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                                  held ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
                QCoreApplication::sendEvent(&button, &event);
            }
            faces += s.Face();
        }
        QCOMPARE(faces, row[1]);
        QCOMPARE(clicked.count(), row[2].toInt());
    }

    // The image is drawn at its own size from the top-left corner, cut where the button is smaller.
    void largerThanImage_imageInTopLeftOnly() {
        Skinned s;
        s.button->resize(100, 40);
        QCOMPARE(Shot(*s.button).pixel(79, 29), kFaces[0]);
        QVERIFY(Shot(*s.button).pixel(90, 35) != kFaces[0]);
        s.button->resize(40, 20);
        QCOMPARE(Shot(*s.button).pixel(39, 19), kFaces[0]);
    }

    void withoutImage_faceColourAndCaptionEngravedWhenDisabled() {
        SkinButton plain;
        plain.resize(120, 40);
        plain.setText(u"MMMM"_qs);
        // Stems wide enough for whole pixels of each colour, whatever face the system's default is.
        plain.setFont(QFont(plain.font().family(), 16, QFont::Bold));
        plain.setEnabled(false);
        const QPalette& colours = plain.palette();
        const QRgb face = colours.color(QPalette::Active, QPalette::Button).rgb();
        QCOMPARE(Shot(plain).pixel(1, 1), face);
        QVERIFY(CountOf(Shot(plain), colours.color(QPalette::Active, QPalette::Light).rgb()) > 0);
        QVERIFY(CountOf(Shot(plain), colours.color(QPalette::Disabled, QPalette::ButtonText).rgb()) > 0);
        plain.setText({});
        QCOMPARE(CountOf(Shot(plain), face), 120 * 40);
    }
};

QTEST_MAIN(tst_SkinButton)
#include "tst_SkinButton.moc"
