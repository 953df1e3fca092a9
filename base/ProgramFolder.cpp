// Program folder resolution and the first-start copy of the fixed pages and the help.
#include "base/ProgramFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
void copyMissing(const QString& from, const QString& to) {
    if (!QFileInfo(from).isDir())
        return;
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        if (QFileInfo::exists(target))
            continue;
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(source, target);
        QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                          QFileDevice::ReadOther);
    }
}
} // namespace

namespace ProgramFolder {

QString installedFilesDir(const QString& executableDir) {
    if (QFileInfo(executableDir + QStringLiteral("/Data/HTML")).isDir())
        return executableDir;
    return QDir::cleanPath(executableDir + QStringLiteral("/../share/vellumcrest"));
}

void install(const QString& folder, const QString& executableDir) {
    const QString source = installedFilesDir(executableDir);
    QDir().mkpath(folder + QStringLiteral("/Data"));
    if (QDir::cleanPath(QFileInfo(source).absoluteFilePath()) == QDir::cleanPath(QFileInfo(folder).absoluteFilePath()))
        return;
    copyMissing(source + QStringLiteral("/Data/HTML"), folder + QStringLiteral("/Data/HTML"));
    copyMissing(source + QStringLiteral("/Help"), folder + QStringLiteral("/Help"));
}

QString resolve(const QString& home, const QString& executableDir) {
    QString folder;
    if (!home.isEmpty())
        folder = QFileInfo(home).absoluteFilePath();
    else if (QFileInfo(executableDir + QStringLiteral("/Data")).isDir())
        folder = executableDir;
    else
        folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    folder = QDir::cleanPath(folder);
    install(folder, executableDir);
    return folder;
}

} // namespace ProgramFolder
