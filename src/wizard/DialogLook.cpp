#include "DialogLook.h"

#include <QApplication>
#include <QFont>
#include <QPalette>

void ApplyDialogLook() {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Text, Qt::black);
    QApplication::setPalette(palette);

    // Metric-compatible with the classic dialog faces; where none is installed, Qt picks the
    // nearest sans.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    QApplication::setFont(font);
}
