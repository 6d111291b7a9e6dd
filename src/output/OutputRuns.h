#pragma once

#include "AdSettings.h"
#include "CodeTexts.h"
#include "FileResult.h"

#include <QList>
#include <QString>
#include <QStringList>

class QImage;

// Where the generate run writes.
struct OutputTarget {
    bool createNew = true;
    QString outputFolder;
    QString fileName = QStringLiteral("VornetAdCode.html");
    QStringList pages;
};

// Every file a run wrote or failed to write, in order.
struct RunReport {
    QList<FileResult> files;
    QString previewPage;  // the preview run's page path; empty for a generate run

    bool ok() const;
    QList<FileResult> Failures() const;
    QStringList Written() const;
};

// The generate run: builds the code and writes image, style sheet and page(s) for the target.
RunReport Generate(CodeTexts& texts, const QImage& banner, const OutputTarget& target, const AdSettings& settings);

// The preview run: writes "adPreview.gif", "adPreview.css" and "adPreview.html" into `folder`
// (empty: the program's private temporary folder) and reports the page's path in `previewPage`.
RunReport WritePreview(CodeTexts& texts, const QImage& banner, const AdSettings& settings, const QString& folder = {});
