// The list file of a network without a directory: one machine name a line.
#pragma once

#include "network/MachineName.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace MachineList {

struct Contents {
    QStringList names;                   // usable names, in the file's order, no duplicates
    QList<MachineName::Skipped> skipped; // names refused, with the reason
};

// The names in a list file's bytes: UTF-8 (with or without a byte-order mark) or UTF-16 with
// its byte-order mark, as Windows editors save it; '#' starts a comment; blank lines and the
// blanks around a name are ignored.
Contents parse(const QByteArray& bytes);

// The file itself, protected as the credentials file is. Throws VcError naming the file when
// it is missing, unprotected or larger than 16 MiB.
Contents read(const QString& path);

} // namespace MachineList
