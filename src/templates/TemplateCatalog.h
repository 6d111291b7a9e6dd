#pragma once

#include "files/FileResult.h"
#include "templates/DataFolder.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

// The banner templates of a folder: every "*.gif" (any letter case) except the b-variants and the
// companions drawn at twice the size ("NAME@2x.gif", see LoadCompanion), sorted by file name.
// Entries hold paths only: an image is decoded when asked for, so a folder of large templates
// costs neither memory nor start-up time until the grid shows them.
class TemplateCatalog final {
public:
    // Replaces the entries with the folder's templates and returns how many. A folder that is
    // missing or holds no "*.gif" at all leaves the catalog as it was and returns 0; one whose
    // only matches are b-variants empties it. Nothing is opened: an entry that turns out not to be
    // one sound GIF (a folder, a pipe, anything LoadTemplateImage refuses) stays, with a null
    // image. Names that no path can carry (see FileNames.h) are left out. The folder is joined
    // to each name with one separator.
    int Scan(const QString& folder);
    // The same for both folders: the shipped templates, then the user's, each folder under the
    // rules above. Left as it was only when neither folder holds a "*.gif".
    int Scan(const TemplateSources& sources);
    // The paths Scan() would take, in its order, without decoding anything; none when neither
    // folder holds a "*.gif" at all.
    static std::optional<QStringList> Paths(const TemplateSources& sources);
    // What of `sources` Scan and Paths pass over, each with the reason: folders that are there but
    // cannot be listed (no permission to read them), and templates whose names are not valid UTF-8
    // text, which no path can carry. The user would otherwise see them as
    // templates gone without a word.
    static QList<FileResult> Unlisted(const TemplateSources& sources);
    void Clear();
    int Count() const;
    bool IsValidIndex(int i) const;
    // Entry i's image as LoadTemplateImage decodes it, see-through pixels with alpha 0, decoded from
    // its file now; a null image when the file could not be decoded or i is not valid. Callers keep
    // what they need.
    QImage BitmapAt(int i) const;
    // The same for the template file at `path`, for work that must not hold on to the catalog.
    static QImage BitmapOf(const QString& path);
    // Entry i's full path; empty when i is not valid.
    QString PathAt(int i) const;

private:
    QStringList paths;
};

// Whether a file name stands for no catalog entry of its own: a shadowless variant (its base name
// ends in a lowercase "b") or a 2x companion (it ends in "@2x"). Case-sensitive, as on disk.
bool IsHiddenTemplateName(const QString& fileName);
