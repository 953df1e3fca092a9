// Local copies of share files: one owner-only folder per user, a subfolder per copy named after
// the process that made it, so the copies a killed console left behind go at the next start.
#pragma once

#include "network/Network.h"

#include <memory>
#include <QString>
#include <QTemporaryDir>

namespace ShareCopies {

// The per-user folder (created owner-only); empty when it cannot be made.
QString folder();

// A new, empty, owner-only folder for one copy; nothing when it cannot be made. The first call
// in a process removes the folders of processes that no longer run.
std::unique_ptr<QTemporaryDir> newCopyFolder();

// Removes the copy folders of processes that no longer run; returns how many went.
int removeStale();

// The file `fileName` copied into a new copy folder, read-only; nothing when the copy failed
// (nothing is left behind then). The folder goes with the returned object.
std::unique_ptr<ShareFileCopy> copyFile(const QString& source, const QString& fileName);

} // namespace ShareCopies
