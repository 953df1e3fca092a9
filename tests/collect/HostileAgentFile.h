// Hostile agent files for the download campaign: a valid file that holds every kind of database
// page, and variants of it damaged by a table of mutations chosen from a seed.
#pragma once

#include <cstdint>
#include <QString>
#include <QStringList>
#include <random>

class HostileAgentFile {
public:
    // Every case draws from its own generator, so that any case can be run again on its own.
    HostileAgentFile(std::uint64_t seed, std::uint64_t caseNumber);

    // A valid agent file of past days: a few users and titles (some spelled as in other files,
    // letter case aside), an index, a title long enough for overflow pages and free pages.
    void writeValid(const QString& path);
    // Damages a valid file in place with one or two mutations; returns their names.
    QStringList mutate(const QString& path);

private:
    std::uint64_t below(std::uint64_t bound) { return bound == 0 ? 0 : m_random() % bound; }
    std::mt19937_64 m_random;
};
