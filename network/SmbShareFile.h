// Copies a file from a machine's hidden agent share with libsmbclient into a private local file.
#pragma once

#include "network/Network.h"

#include <memory>

class SmbCredentials;

namespace SmbShareFile {

// The share every workstation publishes its agent data on.
inline const QString kShareName = QStringLiteral("Vellumcrest$");

// A consistent copy of smb://machine/Vellumcrest$/relativePath in a folder of ShareCopies
// (only this user can enter it), the file itself mode 0600, removed with the returned object. A copy whose
// size or modification time changed while it was read, or that fails SQLite's quick check, is taken once
// more; a second failure, like any network failure, gives nothing.
std::unique_ptr<ShareFileCopy> copy(const QString& machine, const QString& relativePath,
                                    const SmbCredentials& credentials, int timeoutSeconds);

// Whether the file at path is an SQLite database that passes the quick check.
bool passesQuickCheck(const QString& path);

} // namespace SmbShareFile
