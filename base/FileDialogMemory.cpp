// Save dialogs that open where the operator last saved, with the type last chosen.
#include "base/FileDialogMemory.h"

#include "base/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace {
const QString kSection = QStringLiteral("Dialogs");

// For this run, when there is no settings file to keep it in.
QHash<QString, QString>& sessionValues() {
    static QHash<QString, QString> values;
    return values;
}

// The filter's description|pattern pairs.
QList<QPair<QString, QString>> entriesOf(const QString& filter) {
    QList<QPair<QString, QString>> entries;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries.append({parts[i], parts[i + 1]});
    return entries;
}
} // namespace

QString FileDialogMemory::value(const QString& key) const {
    if (m_settings)
        return m_settings->value(kSection, m_kind + key, QString());
    return sessionValues().value(m_kind + key);
}

void FileDialogMemory::setValue(const QString& key, const QString& value) {
    if (m_settings)
        m_settings->setValue(kSection, m_kind + key, value);
    else
        sessionValues().insert(m_kind + key, value);
}

QString FileDialogMemory::filterFor(const QString& filter, const QString& fileName) {
    QString best;
    qsizetype bestLength = 0;
    for (const auto& [description, pattern] : entriesOf(filter)) {
        const QString suffix = pattern.startsWith(QLatin1String("*.")) ? pattern.mid(1) : QString();
        if (suffix.size() <= 1 || suffix == QLatin1String(".*"))
            continue;
        if (fileName.endsWith(suffix, Qt::CaseInsensitive) && suffix.size() > bestLength) {
            best = description;
            bestLength = suffix.size();
        }
    }
    return best;
}

QString FileDialogMemory::suffixOf(const QString& filter, const QString& description) {
    for (const auto& [entry, pattern] : entriesOf(filter)) {
        if (entry == description && pattern.startsWith(QLatin1String("*.")) &&
            pattern != QLatin1String("*.*"))
            return pattern.mid(2);
    }
    return {};
}

void FileDialogMemory::recall(Feedback::FileDialog& dialog) const {
    const QString folder = value(QStringLiteral("Folder"));
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        dialog.directory = folder;
    const QString type = value(QStringLiteral("Type"));
    QString suffix = dialog.defaultSuffix;
    if (!type.isEmpty() && !suffixOf(dialog.filter, type).isEmpty()) {
        dialog.selectedFilter = type;
        suffix = suffixOf(dialog.filter, type);
    }
    if (!dialog.initialName.isEmpty() && !suffix.isEmpty())
        dialog.initialName += QLatin1Char('.') + suffix;
}

void FileDialogMemory::remember(const Feedback::FileDialog& dialog, const QString& chosen) {
    const QFileInfo file(chosen);
    setValue(QStringLiteral("Folder"), QDir::cleanPath(file.absolutePath()));
    const QString type = filterFor(dialog.filter, file.fileName());
    if (!type.isEmpty())
        setValue(QStringLiteral("Type"), type);
}
