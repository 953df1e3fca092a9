// The title redaction cases both matchers must answer alike (tests/data/title-redaction.tsv).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct RedactionCase {
    QString name;
    QString title;
    QString stored; // the title as it is stored after the rules
    QStringList rules;
};

// Every case of the file; a file that cannot be read or a malformed line gives none, which the
// test presets fail as "no test ran" only when nothing else ran: callers check for emptiness.
QList<RedactionCase> redactionCases();
