// Program folder resolution, and the copies of the fixed pages and the user guide that a
// program folder receives from the installed ones: added on first start, refreshed on upgrade.
#include "app/ProgramFolder.h"

#include "base/Version.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVersionNumber>

namespace {

const QStringList kCopiedFolders{QStringLiteral("Data/HTML"), QStringLiteral("Help")};
// A record larger than this was not written by the console: it is ignored as damaged.
constexpr qint64 kMaxRecordSize = 1024 * 1024;

struct Record {
    bool present = false;
    QVersionNumber version;            // null: none recorded, or unreadable
    QHash<QString, QByteArray> hashes; // relative path -> SHA-256 of the content as copied
};

QByteArray hashOf(const QByteArray& content) {
    return QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
}

// Empty when the file cannot be read.
QByteArray hashOfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result().toHex();
}

Record readRecord(const QString& path) {
    Record record;
    QFile file(path);
    if (!file.exists())
        return record;
    record.present = true;
    if (file.size() > kMaxRecordSize || !file.open(QIODevice::ReadOnly))
        return record;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        const qsizetype space = line.indexOf(' ');
        if (line.isEmpty() || line.startsWith('#') || space <= 0)
            continue;
        const QByteArray key = line.left(space);
        const QString value = QString::fromUtf8(line.mid(space + 1).trimmed());
        if (key == "version")
            record.version = QVersionNumber::fromString(value);
        else if (key.size() == 64 && !value.isEmpty())
            record.hashes.insert(value, key.toLower());
    }
    return record;
}

bool writeRecord(const QString& path, const Record& record, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QByteArray text = "# Copies of the installed fixed pages and user guide, read at every start to refresh\n"
                      "# them after an upgrade. A copy whose content differs from the one recorded here was\n"
                      "# edited and is never replaced.\n";
    if (!record.version.isNull())
        text += "version " + record.version.toString().toUtf8() + '\n';
    QStringList paths = record.hashes.keys();
    paths.sort();
    for (const QString& relative : paths)
        text += record.hashes.value(relative) + ' ' + relative.toUtf8() + '\n';
    file.write(text);
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

// Relative paths (from source) of every installed file to copy, in a stable order.
QStringList installedFiles(const QString& source) {
    QStringList files;
    const QDir root(source);
    for (const QString& folder : kCopiedFolders) {
        QDirIterator it(root.filePath(folder), QDir::Files | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(root.relativeFilePath(it.next()));
    }
    files.sort();
    return files;
}

bool writeCopy(const QString& target, const QByteArray& content, QString* error) {
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        *error = QStringLiteral("cannot create the folder");
        return false;
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    file.write(content);
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                      QFileDevice::ReadOther);
    return true;
}

} // namespace

namespace ProgramFolder {

QString installedFilesDir(const QString& executableDir) {
    if (QFileInfo(executableDir + QStringLiteral("/Data/HTML")).isDir())
        return executableDir;
    return QDir::cleanPath(executableDir + QStringLiteral("/../share/vellumcrest-manager"));
}

CopyReport fill(const QString& folder, const QString& source, const QString& version) {
    CopyReport report;
    const QDir root(folder);
    if (!QDir().mkpath(root.filePath(QStringLiteral("Data")))) {
        report.failures.append(
            QStringLiteral("Cannot create the folder %1").arg(root.filePath(QStringLiteral("Data"))));
        return report;
    }
    // Without them, pages show blank and Help finds no guide: an incomplete installation.
    const QDir installedRoot(source);
    if (!installedRoot.exists(kCopiedFolders.first()) || !installedRoot.exists(kCopiedFolders.last())) {
        report.failures.append(QStringLiteral("The installed fixed pages and user guide are not in %1")
                                   .arg(QDir::cleanPath(installedRoot.absolutePath())));
        return report;
    }
    const QString recordPath = root.filePath(QString::fromLatin1(kCopiesRecord));
    const Record old = readRecord(recordPath);
    const QVersionNumber installed = QVersionNumber::fromString(version);
    // Without a readable record the copies came from a console that never refreshed them: they
    // are taken as unedited copies, which is what that console left there.
    const bool trusted = old.present && !old.version.isNull();
    const bool refresh = !trusted || old.version < installed;

    Record next = old;
    next.present = true;
    if (!trusted)
        next.hashes.clear();
    for (const QString& relative : installedFiles(source)) {
        const QString from = QDir(source).filePath(relative);
        const QString to = root.filePath(relative);
        const QFileInfo target(to);
        // A link or a folder in place of a copy was put there by the user.
        if (target.isSymLink() || target.isDir()) {
            report.kept.append(relative);
            continue;
        }
        if (target.exists() && !refresh)
            continue;
        QFile input(from);
        if (!input.open(QIODevice::ReadOnly)) {
            report.failures.append(QStringLiteral("Cannot read %1: %2").arg(from, input.errorString()));
            continue;
        }
        const QByteArray content = input.readAll();
        const QByteArray wanted = hashOf(content);
        if (target.exists()) {
            const QByteArray current = hashOfFile(to);
            if (current == wanted) {
                next.hashes.insert(relative, wanted);
                continue;
            }
            const bool unedited = !trusted || (!current.isEmpty() && old.hashes.value(relative) == current);
            if (!unedited) {
                report.kept.append(relative);
                continue;
            }
        }
        QString error;
        if (!writeCopy(to, content, &error)) {
            report.failures.append(QStringLiteral("Cannot write %1: %2").arg(to, error));
            continue;
        }
        report.copied.append(relative);
        next.hashes.insert(relative, wanted);
    }

    // The version is recorded only once every copy is in place, so a failed refresh is retried.
    if (refresh && report.failures.isEmpty())
        next.version = installed;
    if (old.present && next.version == old.version && next.hashes == old.hashes)
        return report;
    QString error;
    if (!writeRecord(recordPath, next, &error))
        report.failures.append(QStringLiteral("Cannot write %1: %2").arg(recordPath, error));
    return report;
}

CopyReport install(const QString& folder, const QString& executableDir) {
    const QString source = installedFilesDir(executableDir);
    if (QDir::cleanPath(QFileInfo(source).absoluteFilePath()) ==
        QDir::cleanPath(QFileInfo(folder).absoluteFilePath())) {
        QDir().mkpath(folder + QStringLiteral("/Data"));
        return {};
    }
    return fill(folder, source, QString::fromLatin1(Version::kText));
}

QString locate(const QString& home, const QString& executableDir) {
    QString folder;
    if (!home.isEmpty())
        folder = QFileInfo(home).absoluteFilePath();
    else if (QFileInfo(executableDir + QStringLiteral("/Data")).isDir())
        folder = executableDir;
    else
        folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return folder.isEmpty() ? folder : QDir::cleanPath(folder);
}

QString resolve(const QString& home, const QString& executableDir, QStringList* failures) {
    const QString folder = locate(home, executableDir);
    if (folder.isEmpty()) {
        if (failures)
            failures->append(QStringLiteral("There is no per-user data folder (is HOME set?)"));
        return folder;
    }
    const CopyReport report = install(folder, executableDir);
    if (failures)
        failures->append(report.failures);
    return folder;
}

} // namespace ProgramFolder
