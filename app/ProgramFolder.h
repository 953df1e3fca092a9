// Where the program folder is: the folder that holds Data/ and Help/.
#pragma once

#include <QString>
#include <QStringList>

namespace ProgramFolder {

// --home DIR when given; else the executable's folder when it holds Data/; else the per-user
// data folder. The chosen folder is made ready by install(); what could not be copied is added
// to failures (the console still starts: the database does not depend on these copies).
QString resolve(const QString& home, const QString& executableDir, QStringList* failures = nullptr);

// The folder resolve() chooses, without creating or filling anything (the commands, which never
// make a program folder implicitly). Empty when there is no per-user data folder.
QString locate(const QString& home, const QString& executableDir);

// Where the installed copies of Data/HTML and Help are found for an executable folder:
// the executable's own folder (build tree, portable install) or ../share/vellumcrest-manager
// (the package, also when unpacked elsewhere).
QString installedFilesDir(const QString& executableDir);

// The file in a filled folder recording which version its copies came from and what each
// copied file held, relative to the folder.
inline constexpr char kCopiesRecord[] = "Data/InstalledCopies.txt";

struct CopyReport {
    QStringList copied;   // written now (missing, or refreshed)
    QStringList kept;     // edited by the user since they were copied: left as they are
    QStringList failures; // one readable line each; the version is not recorded, so the next start retries
};

// Fills folder from the installed copies in source (Data/HTML/* and Help/*) made by the given
// program version. Files missing from folder are always copied. When version is newer than the
// one recorded in the folder (or none is recorded), copies that are still as they were copied
// are replaced; files the user edited or added, and everything else in Data/ (the database,
// the last report), are never touched.
CopyReport fill(const QString& folder, const QString& source, const QString& version);

// fill() from installedFilesDir(executableDir) with this program's version; nothing to do when
// the folder is the installed copy itself.
CopyReport install(const QString& folder, const QString& executableDir);

} // namespace ProgramFolder
