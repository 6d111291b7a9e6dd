#include "templates/UserTemplates.h"

#include "banner/GifSignature.h"
#include "banner/TemplateImage.h"
#include "files/FileNames.h"
#include "files/FolderLock.h"
#include "files/Interruption.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"
#include "templatemaker/TemplateGif.h"
#include "templates/TemplateCatalog.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QScopeGuard>

#include <algorithm>

namespace {

QString FileNameOf(const QString& name, const QString& suffix) {
    return name + suffix + QStringLiteral(".gif");
}

// Whether a JPEG's bytes reach the marker that ends its picture. The image library fills in grey
// what a file cut short lacks (a download broken off) and calls the picture decoded, which would
// make a template half grey. Segments are skipped by their lengths, so that a thumbnail's own end
// inside one does not count; a scan's data runs up to the first marker that is not a restart. Stray
// bytes between segments are passed over, as the library does, which decodes such a file whole.
bool JpegEndsWhole(QByteArrayView bytes) {
    const auto at = [&bytes](qsizetype i) {
        return uchar(bytes[i]);
    };
    const auto isRestart = [](uchar marker) {
        return marker >= 0xD0 && marker <= 0xD7;
    };
    qsizetype i = 2;  // past the start of the image
    while (i + 1 < bytes.size()) {
        const uchar marker = at(i + 1);
        if (at(i) != 0xFF || marker == 0xFF) {  // a stray byte, or a fill byte before a marker
            ++i;
            continue;
        }
        if (marker == 0xD9) {
            return true;
        }
        if (marker == 0x01 || isRestart(marker)) {
            i += 2;
            continue;
        }
        if (i + 3 >= bytes.size()) {
            return false;
        }
        const qsizetype length = qsizetype(at(i + 2)) << 8 | at(i + 3);
        if (length < 2) {
            return false;
        }
        i += 2 + length;
        if (marker == 0xDA) {
            while (i + 1 < bytes.size() && (at(i) != 0xFF || at(i + 1) == 0x00 || isRestart(at(i + 1)))) {
                ++i;
            }
        }
    }
    return false;
}

}  // namespace

QString FamilyFileIn(const QString& folder, const QString& name, const QStringList& replaced) {
    const FolderListing listing = ListFolder(folder);
    for (const char* suffix : kTemplateFamily) {
        const QString wanted = FileNameOf(name, QLatin1String(suffix));
        for (const FolderEntry& entry : listing.entries) {
            if (entry.name.compare(wanted, Qt::CaseInsensitive) == 0 && entry.name.chopped(4) == wanted.chopped(4) &&
                !replaced.contains(entry.name)) {
                return entry.name;
            }
        }
    }
    return {};
}

QString SpelledOtherwiseIn(const QString& folder, const QStringList& names) {
    const FolderListing listing = ListFolder(folder);
    for (const QString& name : names) {
        const auto spelled = [&](Qt::CaseSensitivity sensitivity) {
            return std::find_if(listing.entries.cbegin(), listing.entries.cend(),
                                [&](const FolderEntry& entry) { return entry.name.compare(name, sensitivity) == 0; });
        };
        const auto other = spelled(Qt::CaseInsensitive);
        if (other == listing.entries.cend() || spelled(Qt::CaseSensitive) != listing.entries.cend()) {
            continue;
        }
        // Found by a name the folder does not hold: the file system took it for the other's.
        const QFileInfo node(JoinPath(folder, name));
        if (node.exists() || node.isSymLink()) {
            return other->name;
        }
    }
    return {};
}

QSet<QString> GifStemsIn(const QString& folder) {
    QSet<QString> stems;
    for (const FolderEntry& entry : ListFolder(folder).entries) {
        if (entry.name.endsWith(QStringLiteral(".gif"), Qt::CaseInsensitive)) {
            stems.insert(entry.name.chopped(4));
        }
    }
    return stems;
}

FileResult SaveNewTemplate(const QString& folder, const QString& name, const std::vector<TemplateFile>& files) {
    if (folder.isEmpty()) {
        return FileResult::Failure(FileNameOf(name, {}), QStringLiteral("there is no folder for your own templates"));
    }
    const QString path = JoinPath(folder, FileNameOf(name, {}));
    if (const QString problem = TemplateNameProblem(name); !problem.isEmpty()) {
        return FileResult::Failure(path, problem);
    }
    if (const FileResult made = MakeFolders(folder); !made.Ok()) {
        return made;
    }
    // In the folder's turn, as a run that makes a template takes it: a name found free stays so
    // until every file is made, and the files made are still this call's when a failure takes
    // them out again. Not waited for: the window would stand still.
    const FolderLock turn(folder, FolderLock::Waiting::DoNotWait);
    if (turn.Busy()) {
        return FileResult::Failure(path, QStringLiteral("another run is writing into this folder; try again once it "
                                                        "has finished"));
    }
    // "Logo.GIF" takes the name "Logo" as surely as "Logo.gif" does: both would be listed as it.
    // A file of the name's family takes it too: an old "Logo@2x.gif" left alone would be taken
    // for the new template's sharp copy.
    if (const QString taken = FamilyFileIn(folder, name); !taken.isEmpty()) {
        const QString suffix = taken.chopped(4).mid(name.size());
        return FileResult::Failure(
            path, suffix.isEmpty()
                      ? QStringLiteral("a template named \"%1\" is already there").arg(name)
                      : QStringLiteral("\"%1\" is already there, and would be taken for the new template's %2")
                            .arg(taken, suffix == u"@2x" ? QStringLiteral("sharp 2x copy")
                                                         : QStringLiteral("shadowless variant")));
    }
    // A signal that ends the window (a logout) waits for the whole set: a part of it would take
    // the name, and stand in the list for the template.
    const SignalHold hold;
    QStringList written;
    for (const TemplateFile& file : files) {
        const QString filePath = JoinPath(folder, FileNameOf(name, file.suffix));
        const FileResult result = CreateNewFile(file.bytes, filePath);
        if (!result.Ok()) {
            // Only what this call made goes: those files were new and nobody else's.
            for (const QString& done : std::as_const(written)) {
                QFile::remove(done);
            }
            return result;
        }
        written.append(filePath);
    }
    return FileResult::Success(path);
}

ImportedTemplate ImportTemplate(const QString& path) {
    ImportedTemplate imported{FileResult::Success(path), {}, false};
    const auto refuse = [&imported](const QString& reason) {
        imported.status.error = reason;
        imported.bytes.clear();
        return imported;
    };
    FileBytes file = ReadRegularFile(path, kMaxTemplateBytes);
    // A GIF is a template by its first image, which has to end within the bytes read of any file:
    // of an animation too long to be read whole, that start is read, and kept.
    const QFileInfo info(path);
    const bool longGif = !file.status.Ok() && info.isFile() && info.size() > kMaxTemplateBytes &&
                         HasGifSignature(ReadFileStart(path, 6).bytes);
    if (longGif) {
        file = ReadFileStart(path, kMaxTemplateBytes);
    }
    if (!file.status.Ok()) {
        return refuse(file.status.error);
    }
    if (file.bytes.isEmpty()) {
        return refuse(QStringLiteral("the file is empty"));  // as a template picked is refused
    }
    if (file.bytes.startsWith("GIF8")) {
        const TemplateImage decoded = DecodeTemplate(file.bytes);
        if (!decoded.status.Ok()) {
            return refuse(decoded.status.error);
        }
        if (longGif) {
            // The other frames would only weigh on the templates' folder: the copy ends with the
            // first image, closed as a GIF ends.
            file.bytes.truncate(qsizetype(decoded.imageEnd));
            file.bytes.append(file.bytes.endsWith('\0') ? QByteArrayView(";") : QByteArrayView("\0;", 2));
            file.bytes.squeeze();
        }
        imported.bytes = std::move(file.bytes);
        return imported;
    }

    QBuffer buffer(&file.bytes);
    buffer.open(QIODevice::ReadOnly);
    // The kind is told from the bytes; the name's ending may say anything.
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg") {
        return refuse(QStringLiteral("not a GIF, PNG or JPEG image"));
    }
    if (format == "jpeg" && !JpegEndsWhole(file.bytes)) {
        return refuse(QStringLiteral("the JPEG image is cut short: the file ends before its picture does"));
    }
    const QSize size = reader.size();
    if (size.width() > kMaxPictureEdge || size.height() > kMaxPictureEdge) {
        return refuse(QStringLiteral("its picture of %1 x %2 pixels is larger than %3 x %3")
                          .arg(size.width())
                          .arg(size.height())
                          .arg(kMaxPictureEdge));
    }
    // A photo's orientation tag is applied, so the square is cut from the picture as it is seen.
    reader.setAutoTransform(true);
    // The image library refuses, as damaged, a picture larger than it allows by default (128 MiB, a
    // square of about 5800 pixels): every picture within the edge limit is decoded, at up to 8 bytes
    // a pixel (16 bits a channel).
    constexpr int kMaxPictureMiB = int((qint64(kMaxPictureEdge) * kMaxPictureEdge * 8 >> 20) + 1);
    const int allowance = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(std::max(allowance, kMaxPictureMiB));
    const auto restore = qScopeGuard([allowance] { QImageReader::setAllocationLimit(allowance); });
    QImage picture = reader.read();
    if (picture.isNull()) {
        return refuse(QStringLiteral("the %1 image cannot be decoded: %2")
                          .arg(QString::fromLatin1(format).toUpper(), reader.errorString()));
    }
    // The colours the user saw: browsers and viewers show a picture through its colour profile (a
    // camera's wide gamut, a PNG's gamma), and a GIF has none, so the template takes them in sRGB.
    if (picture.colorSpace().isValid() && picture.colorSpace() != QColorSpace(QColorSpace::SRgb)) {
        picture.convertToColorSpace(QColorSpace::SRgb);
    }
    Result<QByteArray> encoded = EncodeTemplateGif(SquareTemplate(picture));
    if (!encoded.Ok()) {
        return refuse(encoded.error);
    }
    imported.bytes = std::move(encoded.value);
    imported.converted = true;
    return imported;
}
