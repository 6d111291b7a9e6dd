#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTest>

// Adds the rows of a table file to the current test's data: one row a line, "name | column | ...",
// lines starting with "#" and blank ones left out. Each row is named by its first column and holds
// the others, trimmed, in one QStringList column called "row". Tables too long for C++ rows live in
// such files beside their suite (pass the path from QFINDTESTDATA).
inline void AddTableRows(const QString& path) {
    QTest::addColumn<QStringList>("row");
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (!line.trimmed().isEmpty() && !line.startsWith(u'#')) {
            QStringList columns = line.split(QStringLiteral(" | "));
            for (QString& column : columns) {
                column = column.trimmed();
            }
            const QString name = columns.takeFirst();
            QTest::newRow(qPrintable(name)) << columns;
        }
    }
}
