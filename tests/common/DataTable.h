#pragma once

#include "TestFiles.h"

#include <QDir>
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

// One row an entry of `folders` (files, or folders with QDir::Dirs) matching `names`, named by its
// name, its path in the column "path" (a folder's ending in '/'): golden folders and sample files.
inline void AddPathRows(const QStringList& folders, QDir::Filters kinds = QDir::Files, const QStringList& names = {}) {
    QTest::addColumn<QString>("path");
    for (const QString& folder : folders) {
        for (const QFileInfo& entry : QDir(folder).entryInfoList(names, kinds | QDir::NoDotAndDotDot, QDir::Name)) {
            QTest::newRow(qPrintable(entry.fileName())) << entry.filePath() + (entry.isDir() ? u"/" : u"");
        }
    }
}

// The rows of a tab-separated table, for cells whose spaces or bytes matter, blank lines and "#"
// comments left out. A table that cannot be read has no rows, and QFETCH then stops the test function.
inline QList<QByteArrayList> DataRows(const QString& path) {
    QList<QByteArrayList> rows;
    for (const QByteArray& line : ReadAll(path).split('\n')) {
        if (!line.isEmpty() && !line.startsWith('#')) {
            rows.append(line.split('\t'));
        }
    }
    return rows;
}

// As AddTableRows, for a tab-separated table: the cells as they are, as bytes, in the column "row".
inline void AddTsvRows(const QString& path) {
    QTest::addColumn<QByteArrayList>("row");
    for (const QByteArrayList& row : DataRows(path)) {
        QTest::newRow(row[0].constData()) << row.mid(1);
    }
}
