#include "templates/DataFolder.h"

#include "files/FileNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ExecutableFolder() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
    // Without an application object Qt cannot tell; the kernel's link still can.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
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
