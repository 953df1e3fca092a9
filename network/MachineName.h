// Machine names as the network back ends accept them: safe to put in a UNC path or URL, never a
// number that the resolver would quietly take for an address, and equal without regard to
// letter case.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace MachineName {

// Why the name cannot be used, in words for the operator; empty when it can. Accepted: host
// names of letters, digits, '-', '.' and '_' (at most 255 characters, no empty label, not
// starting with '.' or '-', one trailing dot allowed), dotted IPv4 addresses and IPv6
// addresses (bare or in brackets). Refused: anything else, including all-digit and hex names
// such as 2130706433 or 0x7f.1, which the resolver takes for addresses.
QString refusal(const QString& name);
inline bool isValid(const QString& name) {
    return refusal(name).isEmpty();
}

// The name as it is used: a fully qualified name's trailing dot and an IPv6 address's brackets
// dropped.
QString normalised(const QString& name);

// The name is an IPv4 or IPv6 address (Kerberos needs names, not addresses).
bool isAddress(const QString& name);

// The same machine, whatever the letter case.
bool same(const QString& a, const QString& b);

struct Skipped {
    QString name;
    QString reason;
};

// Valid names, normalised, in their first spelling; later duplicates (in any letter case)
// dropped. Refused names go into `skipped` with the reason, and each is named in a warning.
QStringList usable(const QStringList& names, QList<Skipped>* skipped = nullptr);

// The operator's line for a skipped name: `"name" skipped: reason`.
QString skippedText(const Skipped& skipped);

// The name with control and other invisible characters shown as \xNN, for messages.
QString printable(const QString& name);

} // namespace MachineName
