// The rules for template names, apart from the code that reads and writes templates: the command
// line checks a name before it loads the libraries that draw.
#include "files/FileNames.h"
#include "templates/TemplateCatalog.h"
#include "templates/UserTemplates.h"

#include <algorithm>

namespace {

// Room within the system's 255-byte limit on one name for the longest suffix ("b@2x.gif") and the
// temporary name a file is first written under.
constexpr qsizetype kMaxNameBytes = 200;

}  // namespace

bool IsHiddenTemplateName(const QString& fileName) {
    // "star1b.gif" and "b.gif" are b-variants; "star1.gif", "star1B.gif" and "a.gif" are not.
    const bool shadowless = fileName.size() >= 5 && fileName.at(fileName.size() - 5) == u'b';
    return shadowless || fileName.chopped(std::min<qsizetype>(4, fileName.size())).endsWith(u"@2x");
}

QString TemplateName(const QString& typed) {
    QString name = typed.trimmed();
    if (name.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive)) {
        name.chop(4);
    }
    return name;
}

QString TemplateNameProblem(const QString& name) {
    if (name.isEmpty()) {
        return QStringLiteral("Give the template a name.");
    }
    if (name.contains(u'/') || name.contains(QChar(0)) || name.startsWith(u'.')) {
        return QStringLiteral("A template's name cannot hold a slash (/) or begin with a dot.");
    }
    const std::optional<QByteArray> encoded = EncodedName(name);
    if (!encoded) {
        return QStringLiteral("The name \"%1\" cannot be used as a file name on this system.").arg(name);
    }
    if (encoded->size() > kMaxNameBytes) {
        return QStringLiteral("The name is too long for a file name: at most %1 bytes, which is %1 plain letters "
                              "(a, b, 1, 2) or fewer letters of other scripts.")
            .arg(kMaxNameBytes);
    }
    if (IsHiddenTemplateName(name + QStringLiteral(".gif"))) {
        return QStringLiteral("\"%1\" ends in \"%2\", which marks the %3 of another template: the template list would "
                              "leave it out. Choose another name.")
            .arg(name, name.endsWith(u"@2x") ? QStringLiteral("@2x") : QStringLiteral("b"),
                 name.endsWith(u"@2x") ? QStringLiteral("sharp 2x copy") : QStringLiteral("shadowless variant"));
    }
    return {};
}
