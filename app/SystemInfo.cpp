// Help contents and system information: which is available, and the messages when not.
#include "app/SystemInfo.h"

#include "base/Captions.h"
#include "base/Feedback.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

QString helpFolder(const QString& programFolder) {
    return programFolder + QStringLiteral("/Help");
}

QString helpIndexFile(const QString& programFolder) {
    return helpFolder(programFolder) + QStringLiteral("/index.html");
}

bool helpConfigured(const QString& programFolder) {
    return QFileInfo(helpFolder(programFolder)).isDir();
}

HelpOutcome showHelpContents(const QString& programFolder, Feedback& feedback, const HelpViewer& view,
                             const QString& page) {
    if (!helpConfigured(programFolder)) {
        feedback.message(
            QStringLiteral("Unable to display Help Contents. There is no Help associated with this project."),
            Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Information, Feedback::Buttons::Ok);
        return HelpOutcome::NotConfigured;
    }
    const QString index = helpIndexFile(programFolder);
    QString error;
    {
        // The viewer shows an empty page for a file it cannot read; ask the file system first
        // so the operator learns why.
        QFile file(index);
        if (!file.open(QIODevice::ReadOnly))
            error = QDir::toNativeSeparators(index) + QStringLiteral(": ") + file.errorString();
    }
    // A page of the guide when it is there (F1 on a page), else its contents.
    QString shown = index;
    if (!page.isEmpty() && !page.contains(QLatin1Char('/'))) {
        const QString pageFile = QFileInfo(index).absolutePath() + QLatin1Char('/') + page;
        if (QFileInfo(pageFile).isFile())
            shown = pageFile;
    }
    if (error.isEmpty())
        error = view(shown);
    if (!error.isEmpty()) {
        feedback.message(error, Captions::kProduct, Feedback::Icon::None, Feedback::Buttons::Ok);
        return HelpOutcome::Failed;
    }
    return HelpOutcome::Shown;
}

QList<SystemInfoProgram> defaultSystemInfoPrograms() {
    return {
        {QStringLiteral("hardinfo2"), {}},
        {QStringLiteral("hardinfo"), {}},
        {QStringLiteral("kinfocenter"), {}},
        {QStringLiteral("cpu-x"), {}},
        {QStringLiteral("lshw-gtk"), {}},
        {QStringLiteral("gnome-system-monitor"), {}},
        {QStringLiteral("mate-system-monitor"), {}},
        {QStringLiteral("xfce4-taskmanager"), {}},
    };
}

FoundProgram findSystemInfoProgram(const QList<SystemInfoProgram>& programs, const QString& searchPath) {
    QStringList folders;
    for (const QString& folder : searchPath.split(QDir::listSeparator(), Qt::SkipEmptyParts)) {
        // Relative entries would depend on the console's working folder; a shell would take
        // them, but starting whatever happens to lie there is not what the operator asked for.
        if (QDir::isAbsolutePath(folder))
            folders << folder;
    }
    // findExecutable searches the environment's PATH when given no folders.
    if (folders.isEmpty())
        return {};
    for (const SystemInfoProgram& program : programs) {
        if (program.name.isEmpty() || program.name.contains(QLatin1Char('/')))
            continue;
        const QString path = QStandardPaths::findExecutable(program.name, folders);
        if (!path.isEmpty())
            return {path, program.arguments};
    }
    return {};
}

bool StartSysInfo(Feedback& feedback, const SystemInfoSource& source) {
    const FoundProgram found = findSystemInfoProgram(source.programs, source.searchPath);
    bool started = false;
    if (!found.path.isEmpty()) {
        if (source.start)
            started = source.start(found.path, found.arguments);
        else
            started = QProcess::startDetached(found.path, found.arguments);
    }
    if (!started)
        feedback.message(kSystemInfoUnavailable, Captions::kProduct, Feedback::Icon::None,
                         Feedback::Buttons::Ok);
    return started;
}
