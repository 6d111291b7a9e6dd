#pragma once

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>

// Table files hold the cases of tables too long for C++ rows, beside their suite (pass the path from
// QFINDTESTDATA): one row a line, "name | column | ...", lines starting with "#" and blank ones left
// out. Every row's columns, the name first, trimmed; none when the file cannot be read.
inline QList<QStringList> TableRows(const QString& path) {
    QFile file(path);
    QList<QStringList> rows;
    for (const QString& line :
         file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n') : QStringList()) {
        if (!line.trimmed().isEmpty() && !line.startsWith(u'#')) {
            rows.append(line.split(QStringLiteral(" | ")));
            for (QString& column : rows.back()) {
                column = column.trimmed();
            }
        }
    }
    return rows;
}

// Adds the rows of a table file to the current test's data, each named by its first column and
// holding the others in one QStringList column, "row".
inline void AddTableRows(const QString& path) {
    QTest::addColumn<QStringList>("row");
    const QList<QStringList> rows = TableRows(path);
    QVERIFY2(!rows.isEmpty(), qPrintable(path));
    for (const QStringList& row : rows) {
        QVERIFY2(row.size() == rows[0].size(), qPrintable(u"columns missing: "_qs + row[0]));
        QTest::newRow(qPrintable(row[0])) << row.mid(1);
    }
}
