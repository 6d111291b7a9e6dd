#include "OutputRuns.h"

// Placeholder until the runs land.
bool RunReport::ok() const { return Failures().isEmpty(); }
QList<FileResult> RunReport::Failures() const
{
    QList<FileResult> failures;
    for (const FileResult& f : files) {
        if (!f.ok()) {
            failures.append(f);
        }
    }
    return failures;
}
QStringList RunReport::Written() const
{
    QStringList written;
    for (const FileResult& f : files) {
        if (f.ok()) {
            written.append(f.path);
        }
    }
    return written;
}
RunReport Generate(CodeTexts&, const QImage&, const OutputTarget&, const AdSettings&) { return {}; }
RunReport WritePreview(CodeTexts&, const QImage&, const AdSettings&, const QString&) { return {}; }
