// The two services the console borrows from the platform: the help contents and a system
// information program.
#pragma once

#include <functional>
#include <QString>
#include <QStringList>

class Feedback;

// ---- Help contents ----------------------------------------------------------------------------

// The help is "configured" when the program folder holds a Help folder: the install step copies
// it there together with the fixed pages, so a folder without one was set up without help.
// The guide itself starts at Help/index.html.
QString helpFolder(const QString& programFolder);
QString helpIndexFile(const QString& programFolder);
bool helpConfigured(const QString& programFolder);

// Shows the guide at a file that is known to be readable; returns an empty text when the guide is
// shown, else the description of what went wrong.
using HelpViewer = std::function<QString(const QString& indexFile)>;

enum class HelpOutcome { NotConfigured, Failed, Shown };

// The "&Contents..." command. Not configured: the information message "Unable to display Help
// Contents. There is no Help associated with this project." under the main window's caption.
// Configured but the index cannot be read, or the viewer fails: the error's description in a
// plain message box titled with the product name. Otherwise the viewer shows the index.
// With a page ("reports.html"), the viewer shows that page of the guide instead of its index,
// when the guide has it.
HelpOutcome showHelpContents(const QString& programFolder, Feedback& feedback, const HelpViewer& view,
                             const QString& page = QString());

// ---- System information -----------------------------------------------------------------------

struct SystemInfoProgram {
    QString name;          // looked up in the search path
    QStringList arguments; // some programs need a page named to show the system overview
};

// Known system information programs, best first.
QList<SystemInfoProgram> defaultSystemInfoPrograms();

// Where the programs are looked for and how one is started; tests inject all three.
struct SystemInfoSource {
    QList<SystemInfoProgram> programs = defaultSystemInfoPrograms();
    QString searchPath = qEnvironmentVariable("PATH"); // folders joined by the list separator
    // Starts the program without waiting for it and without tying its life to the console's.
    std::function<bool(const QString& program, const QStringList& arguments)> start;
};

// The absolute path of the first listed program that is an executable file in one of the
// folders of searchPath, and that program's arguments; an empty path when there is none.
// An empty search path finds nothing (it never falls back to the environment's PATH).
struct FoundProgram {
    QString path;
    QStringList arguments;
};
FoundProgram findSystemInfoProgram(const QList<SystemInfoProgram>& programs, const QString& searchPath);

inline const QString kSystemInfoUnavailable =
    QStringLiteral("System Information Is Unavailable At This Time");

// Starts a system information program when one is installed. When none is, or starting it fails,
// shows "System Information Is Unavailable At This Time" (OK button, no icon, titled with the
// product name). True when a program was started.
bool StartSysInfo(Feedback& feedback, const SystemInfoSource& source = {});
