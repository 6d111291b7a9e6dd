#include "design/Design.h"

#include "files/FileNames.h"
#include "files/ReadFile.h"
#include "files/ReplaceFile.h"
#include "templates/DataFolder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// The same folder however it is written: trailing separator, "." and ".." parts aside.
bool SameFolder(const QString& a, const QString& b) {
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

}  // namespace

std::array<BannerLine, 3> Design::DefaultLines() {
    const QRgb colors[3] = {qRgb(0, 0, 100), qRgb(0, 100, 0), qRgb(100, 0, 0)};
    const int points[3] = {18, 12, 10};
    std::array<BannerLine, 3> lines;
    for (size_t i = 0; i < lines.size(); ++i) {
        lines[i].text = QStringLiteral("Line %1").arg(i + 1);
        lines[i].color = colors[i];
        lines[i].font.height = points[i];
    }
    lines[0].enabled = true;
    return lines;
}

QRgb Design::LineColor(QRgb picked) {
    const QRgb opaque = qRgb(qRed(picked), qGreen(picked), qBlue(picked));
    return opaque == qRgb(0, 0, 0) ? kBlackReplacement : opaque;
}

QString Design::CustomCodeProblem(QByteArrayView code) {
    if (code.contains('\0')) {
        return QStringLiteral("cannot hold a zero byte");
    }
    return code.size() > kMaxCustomCodeBytes ? QStringLiteral("is larger than %1").arg(ByteCount(kMaxCustomCodeBytes))
                                             : QString();
}

bool Design::IsPlainFileName(const QString& name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/');
}

bool Design::IsPageName(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0) {
        return false;
    }
    const QStringView extension = QStringView(name).mid(dot + 1);
    return std::any_of(std::begin(kPageExtensions), std::end(kPageExtensions), [extension](QLatin1StringView page) {
        return extension.compare(page, Qt::CaseInsensitive) == 0;
    });
}

QString Design::PageExtensionsText() {
    QStringList names;
    for (const QLatin1StringView extension : kPageExtensions) {
        names.append(u'.' + extension);
    }
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") + names.constLast();
}

bool Design::LandsInPage(const QString& path) {
    return IsPageName(path) && IsPageName(WriteTargetName(path));
}

bool Design::TakenUnasked(const QString& path) {
    return LandsInPage(path) || QFileInfo(path).isDir();
}

QString Design::TemplatePath() const {
    if (templateName.isEmpty()) {
        return {};
    }
    const QString folder = templateFolder.isEmpty() ? DefaultTemplatesFolder() : templateFolder;
    return JoinPath(folder, templateName);
}

void Design::SetTemplatePath(const QString& path) {
    if (path.isEmpty()) {
        templateName.clear();
        templateFolder.clear();
        return;
    }
    const QFileInfo info(path);
    templateName = info.fileName();
    templateFolder = info.absolutePath();
    if (!templateFolder.endsWith(u'/')) {  // the root's path ends in one already
        templateFolder += u'/';
    }
    if (SameFolder(templateFolder, DefaultTemplatesFolder())) {
        templateFolder.clear();
    }
}

AdSettings Design::Advert() const {
    AdSettings advert;
    advert.bannerSize = size.value_or(Banner::kInitialSize);
    advert.side = side;
    advert.linkUrl = linkUrl;
    advert.adTitle = adTitle;
    advert.newWindow = newWindow;
    advert.customCodeEnabled = customCodeEnabled;
    advert.customCode = customCode;
    advert.options = options;
    return advert;
}

OutputTarget Design::Target() const {
    OutputTarget target;
    target.createNew = mode == OutputMode::Create;
    target.removeAdvert = mode == OutputMode::Remove;
    target.outputFolder = outputFolder;
    target.fileName = fileName;
    target.pages = pages;
    // A design's pages were picked on disk (or listed by its saver): one missing is reported, never
    // made from the sample page, wherever the design was moved.
    target.pagesFound = mode != OutputMode::Create;
    return target;
}

void Design::SetTarget(const OutputTarget& target) {
    mode = target.createNew ? OutputMode::Create : target.removeAdvert ? OutputMode::Remove : OutputMode::Modify;
    outputFolder = target.outputFolder;
    fileName = target.fileName;
    pages = target.pages;
}
