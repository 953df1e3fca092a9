// The site's title redaction rules as the console database keeps them, and their rewrite of the
// titles it already holds.
#pragma once

#include "collect/RedactionRules.h"
#include "store/ManagerDatabase.h"

#include <QList>
#include <QString>

class RedactionStore {
public:
    explicit RedactionStore(ManagerDatabase& database);

    // The stored rules in the order they are tried.
    QList<RedactionRules::Rule> rules() const;
    // The rules the import applies (a stored rule that is no longer valid is left out).
    RedactionRules compiled() const;

    // Inserts the rule at position (1 is first; 0 puts it last), with its audit row in the same
    // unit. Throws VcError (InvalidArgument) naming why when the rule is refused: an invalid
    // pattern, one already there in any letter case, a position past the end.
    void add(RedactionRules::Rule rule, int position = 0);
    // Removes the rule whose pattern equals pattern in any letter case, with its audit row.
    // Throws VcError (InvalidArgument) when there is none.
    void remove(const QString& pattern);

    struct Rewrite {
        qint64 titles = 0; // stored titles replaced
        qint64 rows = 0;   // usage rows moved onto a replacement
        // False when the replaced titles could not be overwritten in every file now (another
        // reader); a later rewrite or purge finishes it.
        bool scrubbed = true;
    };
    // Rewrites every stored title a rule matches into its replacement, merging the usage, in one
    // unit with its audit row; then overwrites the old titles in the store's files. Throws
    // VcError when the store fails: nothing is then changed.
    Rewrite apply();

    // The operator's line about a rewrite.
    static QString rewriteText(const Rewrite& rewrite);

private:
    ManagerDatabase& m_database;
};
