#include "templates/DataFolder.h"

#include "files/FileNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString& ProgramPath() {
    static QString path;
    return path;
}

}  // namespace

void SetProgramPath(const QString& path) {
    ProgramPath() = path;
}

QString ExecutableFolder() {
    if (QCoreApplication::instance() != nullptr) {
        if (const QString folder = QCoreApplication::applicationDirPath(); !folder.isEmpty()) {
            return folder;
        }
    }
    // Without an application object Qt cannot tell; the kernel's link still can, where there is
    // /proc, and the program can, where it has said. (The canonical path of a file that is not
    // there is ".", the current folder's.)
    for (const QString& program : {QStringLiteral("/proc/self/exe"), ProgramPath()}) {
        const QString real = program.isEmpty() ? QString() : QFileInfo(program).canonicalFilePath();
        if (!real.isEmpty()) {
            return QFileInfo(real).path();
        }
    }
    // A folder whose name is not valid text has no path as text: the name as Qt reads it, which
    // names no folder there (but one whose valid name reads the same, should there be one), so
    // that the program's data is not found, rather than looked for from the root.
    const QString read = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString program = !read.isEmpty() ? read : ProgramPath();
    return program.isEmpty() ? QString() : QFileInfo(program).absolutePath();
}

QString DataFolder(const QString& name) {
    const QString exeDir = ExecutableFolder();
    const QString beside = QDir::cleanPath(exeDir + u'/' + name);
    if (QFileInfo(beside).isDir()) {
        return beside + u'/';
    }
    const QString dataSubdir = QStringLiteral(VORNET_DATA_SUBDIR);
    const QString dataRoot =
        QDir::isAbsolutePath(dataSubdir) ? dataSubdir : exeDir + QStringLiteral("/../") + dataSubdir;
    return QDir::cleanPath(dataRoot + u'/' + name) + u'/';
}

QString DefaultTemplatesFolder() {
    return DataFolder(QStringLiteral("vornets"));
}

QString UserTemplatesFolder() {
    // Not the application's own data folder: the command line runs under another name.
    const QString data = UserDataFolder();
    return data.isEmpty() ? QString() : data + QStringLiteral("/vornetad/vornets/");
}

TemplateSources DefaultTemplateSources() {
    return {DefaultTemplatesFolder(), UserTemplatesFolder()};
}
