// Copies a file from a machine's hidden agent share with libsmbclient, inside a network worker.
#pragma once

#include "network/WorkerMessages.h"

#include <QString>

namespace SmbShareFile {

// The share every workstation publishes its agent data on.
inline const QString kShareName = QStringLiteral("Vellumcrest$");
// The file name of a copy in its folder.
inline const QString kCopyName = QStringLiteral("VCWorkstation.mdb");
// Agent files larger than this are refused as damaged rather than filling the disk.
constexpr qint64 kMaxFileSize = qint64(1) << 30;

// A consistent copy of smb://job.machine/Vellumcrest$/job.relativePath as job.folder/
// VCWorkstation.mdb (a new file, mode 0600): a copy whose size or modification time changed
// while it was read, or that fails SQLite's quick check, is taken once more. The reply names
// the file, or says why there is none (and then nothing is left in the folder).
WorkerMessages::Reply copy(const WorkerMessages::Setup& setup, const WorkerMessages::Job& job);

// Whether the file at path is an SQLite database that passes the quick check.
bool passesQuickCheck(const QString& path);

} // namespace SmbShareFile
