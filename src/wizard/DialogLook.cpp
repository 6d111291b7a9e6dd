#include "wizard/DialogLook.h"

#include <QApplication>
#include <QFont>
#include <QPalette>

void ApplyDialogLook() {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    // Black text for enabled controls only: disabled ones keep the style's grey, so a switched-off
    // line of the editor reads as switched off.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::Text, Qt::black);
    }
    QApplication::setPalette(palette);

    QApplication::setFont(DialogFont());
}

QFont DialogFont() {
    // Metric-compatible with the classic dialog faces; where none is installed, Qt picks the
    // nearest sans.
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}
