// Stable pseudonyms for a report's user and workstation names: a keyed hash with the site key,
// so the same name always gets the same pseudonym with the same key and nobody without the key
// can tell who is behind one.
#pragma once

#include <QByteArray>
#include <QString>

// The error number of a pseudonymised report refused because its selection is too small.
inline constexpr int kGroupTooSmallError = 1004;

class Pseudonyms {
public:
    // The site key's size in bytes.
    static constexpr int kKeyBytes = 32;

    // The key in the file at path, created with a new random key (mode 0600, never replacing a
    // file that is there) when nothing is there. A file that is there but unreadable, not a
    // regular file, not this account's, readable by others or of the wrong size throws VcError:
    // a report is then never made with real names instead.
    static Pseudonyms fromKeyFile(const QString& path, bool workstations);

    Pseudonyms(QByteArray key, bool workstations);

    // "User 5C1F9A": names that differ only in letter case get the same pseudonym. digits is how
    // many hexadecimal digits are shown (more only to tell apart two names whose first six agree).
    QString user(const QString& name, int digits = 6) const;
    // "Workstation 0B7D22" when workstations are covered; otherwise the name itself.
    QString workstation(const QString& name, int digits = 6) const;
    bool coversWorkstations() const { return m_workstations; }

private:
    QString pseudonym(const char* kind, const QString& label, const QString& name, int digits) const;

    QByteArray m_key;
    bool m_workstations;
};
