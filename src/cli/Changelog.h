#pragma once

#include <QByteArray>
#include <QString>

// The package's changelog in Debian's format, made from the release entries of the AppStream
// metainfo, newest first, so that release notes are written once. Each paragraph or list item of a
// release's description becomes one entry.
struct ChangelogResult {
    QString text;   // empty on failure
    QString error;  // why there is no changelog: unreadable metainfo, or no release for `version`
};
ChangelogResult DebianChangelog(const QByteArray& metainfo, const QString& package, const QString& version,
                                const QString& maintainer);
