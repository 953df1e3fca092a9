// Machine names as the network back ends accept them: safe to put in a UNC path or URL, and
// equal without regard to letter case.
#pragma once

#include <QString>
#include <QStringList>

namespace MachineName {

// Letters, digits, '-', '.' and '_' only, at most 255 characters, not starting with '.' or '-',
// no empty label: nothing that could change a share path, a URL or an RPC binding.
bool isValid(const QString& name);

// The same machine, whatever the letter case.
bool same(const QString& a, const QString& b);

// Valid names in their first spelling, later duplicates (in any letter case) dropped.
QStringList usable(const QStringList& names);

} // namespace MachineName
