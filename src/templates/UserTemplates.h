#pragma once

#include "files/FileResult.h"
#include "templatemaker/TemplateMaker.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <vector>

// Templates the user adds beside the shipped ones, in a folder of their own
// (UserTemplatesFolder()). Nothing here writes over a file: a name that is taken is refused.

// The template name typed by the user, without the blanks around it and without a ".gif" ending.
QString TemplateName(const QString& typed);

// Why `name` (as TemplateName gives it) cannot name a new template, in words for the user; empty
// when it can. Refused: no name, a slash or a leading dot, a name that no file name can carry, and
// names the catalog would hide (ending in a lowercase "b" or in "@2x").
QString TemplateNameProblem(const QString& name);

// The suffixes of a template's family of files, name + suffix + ".gif": the template, its 2x
// companion, its shadowless variant and that variant's companion.
inline constexpr const char* kTemplateFamily[] = {"", "@2x", "b", "b@2x"};

// The first file of `folder` that belongs to the family of the template `name` (any letter case of
// its ".gif") and is not one of the file names `replaced`; empty for none. Such a file would be taken
// for a file of the template: a new template is refused beside it. A file is passed over only by
// its exact name, since "Logo.gif" stands beside a new "Logo.GIF" rather than being replaced by it.
QString FamilyFileIn(const QString& folder, const QString& name, const QStringList& replaced = {});

// The file of `folder` that one of the file `names` would write over where the folder's file system
// does not tell letter case apart (a memory stick's): "myB.gif", another template, for "myb.gif",
// the shadowless variant of "my". Empty for none, and wherever the folder holds the names apart.
QString SpelledOtherwiseIn(const QString& folder, const QStringList& names);

// The names `folder`'s files would give a template, as FamilyFileIn reads them: each without its
// ".gif", in any letter case. Asking whether many names are free takes one look at the folder.
QSet<QString> GifStemsIn(const QString& folder);

// Writes the files of a new template called `name` into `folder` (made first, with the folders on
// its way, when missing: the user's own templates folder is made by the first template saved in it): each
// TemplateFile as name + suffix + ".gif". When any name of the template's family is taken (name +
// "", "@2x", "b" or "b@2x" + ".gif", in any letter case of ".gif"), or `name` is refused, nothing is
// written. A failure part way removes the files this call
// made. On success the result's path is the template's own file, name + ".gif". An empty `folder`
// is refused.
FileResult SaveNewTemplate(const QString& folder, const QString& name, const std::vector<TemplateFile>& files);

// A picture file made ready to become a template.
struct [[nodiscard]] ImportedTemplate {
    FileResult status;  // the picture's path, and why it is refused
    QByteArray bytes;   // the template GIF
    bool converted = false;
};

// Largest picture edge taken for conversion (a 48-megapixel photo fits; its pixels take 256 MB); a
// larger one is refused before it is decoded.
inline constexpr int kMaxPictureEdge = 8000;

// Reads `path` as a template: a GIF is taken as it is once the strict template decoder accepts it
// (DecodeTemplate); a PNG or JPEG is made a kTemplateEdge-pixel GIF template (SquareTemplate: the
// largest square from its centre, transparency kept), in sRGB where its colour profile says
// otherwise, and marked converted. Anything else, and a file that cannot be read, is refused with
// the reason.
ImportedTemplate ImportTemplate(const QString& path);
