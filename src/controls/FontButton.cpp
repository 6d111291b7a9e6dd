#include "controls/FontButton.h"

#include "banner/Banner.h"
#include "controls/ColorSwatch.h"
#include "controls/KeyboardFocus.h"
#include "controls/Pickers.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

// What a screen reader says of the button: the face and its styles, as the button shows them.
QString Described(const BannerFont& font) {
    QStringList words{font.faceName};
    for (const auto& [on, word] :
         {std::pair{font.weight >= BannerFont::kBold, "bold"}, std::pair{font.italic, "italic"},
          std::pair{font.underline, "underlined"}, std::pair{font.strikeOut, "struck out"}}) {
        if (on) {
            words.append(QLatin1String(word));
        }
    }
    return words.join(u' ');
}

}  // namespace

FontButton::FontButton(Pickers& pickers, const QString& faceName, int height, ColorSwatch& swatch, int id,
                       QWidget* parent)
    : QWidget(parent)
    , pickers(pickers)
    , swatch(swatch)
    , id(id) {
    // The text is drawn in the swatch's colour, so a new colour must reach the face at once.
    connect(&swatch, &ColorSwatch::colorChanged, this, [this] { repaint(); });
    setFocusPolicy(Qt::StrongFocus);
    SetLogFont({faceName, height, 0, false, false, false});
    GiveDrawnControlsTheirRoles();
}

void FontButton::SetLogFont(const BannerFont& f) {
    font = f;
    // A design made on another machine may name a face this one lacks: the button writes the name
    // all the same, in whatever face stands in, so it says what the banner is drawn in.
    QString missing = Banner::FaceNotInstalled(font.faceName);
    if (!missing.isEmpty()) {
        missing[0] = missing[0].toUpper();
        missing += u'.';
    }
    setToolTip(missing);
    setAccessibleDescription(missing.isEmpty() ? Described(font) : Described(font) + QStringLiteral(". ") + missing);
    update();
}

void FontButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, Qt::white);
    // A raised frame: light on the top and left edges, darker on the bottom and right edges.
    painter.fillRect(r.left(), r.top(), r.width() - 1, 1, QColor(200, 200, 200));
    painter.fillRect(r.left(), r.top(), 1, r.height() - 1, QColor(200, 200, 200));
    painter.fillRect(r.right(), r.top(), 1, r.height(), QColor(150, 150, 150));
    painter.fillRect(r.left(), r.bottom(), r.width(), 1, QColor(150, 150, 150));

    QFont face(font.faceName);
    face.setPixelSize(kTextPixelSize);
    // A weight never picked (0) draws the face's normal weight.
    face.setWeight(font.weight > 0 ? QFont::Weight(std::clamp(font.weight, 1, 1000)) : QFont::Normal);
    face.setItalic(font.italic);
    face.setUnderline(font.underline);
    face.setStrikeOut(font.strikeOut);
    painter.setFont(face);

    QRgb text = swatch.GetColor();
    if (!isEnabled()) {
        text = kDisabledColor;
    } else if ((text & 0xffffff) == 0xffffff) {
        text = kWhiteReplacement;
    }
    painter.setPen(QColor::fromRgb(text));
    // A face name wider than the button is cut at its end, so it still reads from its start.
    const QString shown = QFontMetrics(face).elidedText(font.faceName, Qt::ElideRight, r.width() - 4);
    painter.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, shown);
    if (ShowsKeyboardFocus(*this)) {
        DrawFocusFrame(painter, *this, r.adjusted(2, 2, -2, -2));
    }
}

void FontButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    Pick();
}

void FontButton::keyPressEvent(QKeyEvent* event) {
    if (!PressesControl(*event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    Pick();
}

void FontButton::Pick() {
    // The picker is opened without the current font; its size (and any colour) is not used.
    const std::optional<QFont> picked = pickers.PickFont(this);
    if (!picked || picked->family().isEmpty()) {
        return;
    }
    SetLogFont({picked->family(), 0, picked->weight() == QFont::Bold ? BannerFont::kBold : BannerFont::kRegular,
                picked->italic(), picked->underline(), picked->strikeOut()});
    repaint();
    emit fontChanged(id);
}
