#pragma once

#include "TestFiles.h"

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTest>

// The lines of a table file, blank lines and "#" comments left out. A file that cannot be read has
// none, and the test function, finding no rows, stops.
inline QByteArrayList DataLines(const QString& path) {
    QByteArrayList lines = ReadAll(path).split('\n');
    lines.removeIf([](const QByteArray& line) { return line.trimmed().isEmpty() || line.startsWith('#'); });
    return lines;
}

// Table files hold the cases of tables too long for C++ rows, beside their suite (pass the path from
// QFINDTESTDATA): one row a line, "name | column | ...". Adds each row to the current test's data,
// named by its first column and holding the others, trimmed, in one QStringList column, "row".
inline void AddTableRows(const QString& path) {
    QTest::addColumn<QStringList>("row");
    qsizetype columns = 0;
    for (const QByteArray& line : DataLines(path)) {
        QStringList row = QString::fromUtf8(line).split(QStringLiteral(" | "));
        for (QString& column : row) {
            column = column.trimmed();
        }
        QVERIFY2(columns == 0 || row.size() == columns, qPrintable(u"columns missing: "_qs + row[0]));
        columns = row.size();
        QTest::newRow(qPrintable(row[0])) << row.mid(1);
    }
    QVERIFY2(columns > 0, qPrintable(path));
}

// One row an entry of `folders` (files, or folders with QDir::Dirs) matching `names`, named by its
// name, its path in the column "path" (a folder's ending in '/'): golden folders and sample files.
inline void AddPathRows(const QStringList& folders, QDir::Filters kinds = QDir::Files, const QStringList& names = {}) {
    QTest::addColumn<QString>("path");
    for (const QString& folder : folders) {
        // QFINDTESTDATA gives an empty path for a folder it cannot find, which QDir reads as the
        // current folder.
        QVERIFY2(!folder.isEmpty() && QDir(folder).exists(), qPrintable(u"no test data folder: "_qs + folder));
        for (const QFileInfo& entry : QDir(folder).entryInfoList(names, kinds | QDir::NoDotAndDotDot, QDir::Name)) {
            QTest::newRow(qPrintable(entry.fileName())) << entry.filePath() + (entry.isDir() ? u"/" : u"");
        }
    }
}

// The rows of a tab-separated table, for cells whose spaces or bytes matter.
inline QList<QByteArrayList> DataRows(const QString& path) {
    QList<QByteArrayList> rows;
    for (const QByteArray& line : DataLines(path)) {
        rows.append(line.split('\t'));
    }
    return rows;
}

// As AddTableRows, for a tab-separated table: the cells as they are, as bytes, in the column "row".
inline void AddTsvRows(const QString& path) {
    QTest::addColumn<QByteArrayList>("row");
    const QList<QByteArrayList> rows = DataRows(path);
    QVERIFY2(!rows.isEmpty(), qPrintable(path));
    for (const QByteArrayList& row : rows) {
        QTest::newRow(row[0].constData()) << row.mid(1);
    }
}
