#include "templates/TemplateCatalog.h"

#include "banner/TemplateImage.h"
#include "files/FileNames.h"
#include "files/SystemErrors.h"
#include "templates/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <array>
#include <cerrno>
#include <sys/stat.h>

namespace {

bool ByBytes(const QString& a, const QString& b) {
    return QFile::encodeName(a) < QFile::encodeName(b);
}

// Names in a folder's listing that end in ".gif" in any letter case, whatever they are (a folder or
// a pipe of that name stays an entry, one that cannot be decoded), sorted by their bytes so the
// order does not depend on the file system. Names that no path could carry are left out.
QStringList TemplateNames(const FolderListing& listing) {
    QStringList names;
    for (const FolderEntry& entry : listing.entries) {
        if (entry.name.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive)) {
            names.append(entry.name);
        }
    }
    std::sort(names.begin(), names.end(), ByBytes);
    return names;
}

// Why a name the catalog leaves out, as another template's 2x copy or shadowless variant, belongs
// to no template of its folder (`stems`: its GIFs' names without ".gif"): the file is then one of
// the user's own, which would be gone from the list without a word. Empty where it belongs to one,
// or is listed.
QString OrphanReason(const QString& name, const QSet<QString>& stems) {
    if (!IsHiddenTemplateName(name)) {
        return {};
    }
    const auto there = [&](const QString& stem) {
        return stems.contains(stem);
    };
    const QString stem = name.chopped(4);
    const bool twice = stem.endsWith(u"@2x");
    const QString base = twice ? stem.chopped(3) : stem.chopped(1);
    // "Xb@2x" is the 2x copy of X's shadowless variant, which may itself be gone.
    if (there(base) || (twice && base.endsWith(u'b') && there(base.chopped(1)))) {
        return {};
    }
    const QString mark = QStringLiteral("not listed: a name ending in \"%1\" marks the %2 of another template")
                             .arg(twice ? QStringLiteral("@2x") : QStringLiteral("b"),
                                  twice ? QStringLiteral("sharp 2x copy") : QStringLiteral("shadowless variant"));
    const QString missing =
        base.isEmpty() ? QString() : QStringLiteral(", and there is no \"%1.gif\" beside it").arg(base);
    return mark + missing + QStringLiteral("; rename the file to have it listed");
}

}  // namespace

int TemplateCatalog::Scan(const QString& folder) {
    return Scan(TemplateSources{folder, {}});
}

namespace {

// The folders to read, shipped first; the user's is left out where it is the shipped one, as it is
// for a program installed under the user's own data folder.
std::array<QString, 2> FoldersOf(const TemplateSources& sources) {
    const QString shipped = QFileInfo(sources.shipped).canonicalFilePath();
    const bool userIsShipped = !shipped.isEmpty() && QFileInfo(sources.user).canonicalFilePath() == shipped;
    return {sources.shipped, userIsShipped ? QString() : sources.user};
}

// Every "*.gif" of both folders in the catalog's order, hidden names included as empty paths.
QStringList FindTemplates(const TemplateSources& sources) {
    QStringList found;
    for (const QString& folder : FoldersOf(sources)) {
        if (folder.isEmpty()) {
            continue;
        }
        const QStringList names = TemplateNames(ListFolder(folder));
        for (const QString& name : names) {
            found.append(IsHiddenTemplateName(name) ? QString() : JoinPath(folder, name));
        }
    }
    return found;
}

}  // namespace

std::optional<QStringList> TemplateCatalog::Paths(const TemplateSources& sources) {
    QStringList found = FindTemplates(sources);
    if (found.isEmpty()) {
        return std::nullopt;
    }
    found.removeAll(QString());
    return found;
}

QList<FileResult> TemplateCatalog::Unlisted(const TemplateSources& sources) {
    QList<FileResult> unlisted;
    for (const QString& folder : FoldersOf(sources)) {
        // A folder that is not there holds no templates; one that cannot even be looked at (a
        // folder above it closed to the user) may hold them.
        const std::optional<QByteArray> name = EncodedName(folder);
        struct stat info {};
        if (folder.isEmpty() || !name) {
            continue;
        }
        if (::stat(name->constData(), &info) != 0) {
            if (errno != ENOENT && errno != ENOTDIR) {
                unlisted.append(FileResult::Failure(folder, StatFailure(errno)));
            }
        } else if (S_ISDIR(info.st_mode)) {
            FolderListing listing = ListFolder(folder);
            if (!listing.status.Ok()) {
                unlisted.append(std::move(listing.status));
            }
            for (const FolderEntry& entry : listing.unrepresentable) {
                // A template's 2x copy and shadowless variant go with it, and are not named apart.
                if (entry.raw.toLower().endsWith(".gif") && !IsHiddenTemplateName(QString::fromLatin1(entry.raw))) {
                    unlisted.append(FileResult::Failure(JoinPath(folder, PrintableName(entry.raw)),
                                                        NameNotTextReason(QStringLiteral("template"))));
                }
            }
            const QStringList names = TemplateNames(listing);
            QSet<QString> stems;
            for (const QString& name : names) {
                stems.insert(name.chopped(4));
            }
            for (const QString& name : names) {
                if (const QString orphan = OrphanReason(name, stems); !orphan.isEmpty()) {
                    unlisted.append(FileResult::Failure(JoinPath(folder, name), orphan));
                }
            }
        }
    }
    return unlisted;
}

int TemplateCatalog::Scan(const TemplateSources& sources) {
    QStringList found = FindTemplates(sources);
    if (found.isEmpty()) {
        return 0;
    }
    // Any match at all replaces the catalog, even when every match turns out to be hidden.
    found.removeAll(QString());
    paths = std::move(found);

    return Count();
}

void TemplateCatalog::Clear() {
    paths.clear();
}

int TemplateCatalog::Count() const {
    return int(paths.size());
}

bool TemplateCatalog::IsValidIndex(int i) const {
    return i >= 0 && i < Count();
}

QImage TemplateCatalog::BitmapAt(int i) const {
    return IsValidIndex(i) ? BitmapOf(paths[i]) : QImage();
}

QImage TemplateCatalog::BitmapOf(const QString& path) {
    return LoadTemplateImage(path).image;
}

QString TemplateCatalog::PathAt(int i) const {
    return IsValidIndex(i) ? paths[i] : QString();
}
