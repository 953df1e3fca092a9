// Where the program folder is: the folder that holds Data/ and Help/.
#pragma once

#include <QString>

namespace ProgramFolder {

// --home DIR when given; else the executable's folder when it holds Data/; else the per-user
// data folder. The chosen folder is made ready: Data/ exists and the fixed pages and the help
// are copied in from the installed copies where missing (never overwriting).
QString resolve(const QString& home, const QString& executableDir);

// Where the installed copies of Data/HTML and Help are found for an executable folder:
// the executable's own folder (build tree, portable install) or ../share/vellumcrest.
QString installedFilesDir(const QString& executableDir);

// Copies Data/HTML/* and Help/* from the installed copies into folder where missing.
void install(const QString& folder, const QString& executableDir);

} // namespace ProgramFolder
