// Files that steer where the account's password goes (settings, machine list, credentials, the
// directory's CA) are read only when nobody but their owner can change them.
#pragma once

#include <QByteArray>
#include <QString>

namespace ProtectedFile {

enum class Access {
    OwnerOnly,     // no access at all for group or others (what ssh asks of a key)
    OwnerWritable, // others may read it, only the owner may change it
};

// The whole file, at most maxSize bytes. Throws VcError (its description starts with
// "<what> <path>: ") when the file is missing, not a regular file, owned by another user than
// the one running (or root), too open for `access`, or larger than maxSize. The message never
// quotes the file's content. `wipe` is called on every buffer that held the content and is
// not returned (for secrets).
QByteArray read(const QString& path, const QString& what, Access access, qint64 maxSize);

// Overwrites the bytes of a buffer that held secret text before it is released.
void wipe(QByteArray& bytes);

} // namespace ProtectedFile
