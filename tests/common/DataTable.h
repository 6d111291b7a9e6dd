#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTest>

// Table files hold the cases of tables too long for C++ rows, beside their suite (pass the path from
// QFINDTESTDATA): one row a line, "name | column | ...", lines starting with "#" and blank ones left
// out. Adds each row to the current test's data, named by its first column and holding the others,
// trimmed, in one QStringList column, "row".
inline void AddTableRows(const QString& path) {
    QTest::addColumn<QStringList>("row");
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    qsizetype columns = 0;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (!line.trimmed().isEmpty() && !line.startsWith(u'#')) {
            QStringList row = line.split(QStringLiteral(" | "));
            for (QString& column : row) {
                column = column.trimmed();
            }
            QVERIFY2(columns == 0 || row.size() == columns, qPrintable(u"columns missing: "_qs + row[0]));
            columns = row.size();
            QTest::newRow(qPrintable(row[0])) << row.mid(1);
        }
    }
    QVERIFY2(columns > 0, qPrintable(path));
}
