#pragma once

#include "DataFolder.h"

#include <QImage>
#include <QRgb>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Opaque colour that stands for transparency in catalog images (the grid draws it see-through).
inline constexpr QRgb TemplateKeyColor = 0xFF000021;

// The banner templates of a folder: every "*.gif" (any letter case) except the b-variants, sorted
// by file name, each with its decoded image (transparent pixels in TemplateKeyColor) or none.
class TemplateCatalog final {
public:
    // Replaces the entries with the folder's templates and returns how many. A folder that is
    // missing or holds no "*.gif" at all leaves the catalog as it was and returns 0; one whose
    // only matches are b-variants empties it. Entries that LoadTemplateImage refuses (a folder, a
    // pipe, anything but one sound GIF) are kept with a null image; nothing but regular files is
    // opened. Names that no path can carry (see FileNames.h) are left out. The folder is joined
    // to each name with one separator.
    int Scan(const QString& folder);
    // The paths Scan() would take, in its order, without decoding anything; none when the folder
    // is missing or holds no "*.gif" at all.
    static std::optional<QStringList> Paths(const QString& folder);
    void Clear();
    int Count() const;
    bool IsValidIndex(int i) const;
    // Entry i's image; a null image when the file could not be decoded or i is not valid.
    QImage BitmapAt(int i) const;
    // Entry i's full path; empty when i is not valid.
    QString PathAt(int i) const;

private:
    std::vector<QImage> bitmaps;
    QStringList paths;
};
