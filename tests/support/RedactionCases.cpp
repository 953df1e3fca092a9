// Reads the shared redaction cases.
#include "support/RedactionCases.h"

#include "support/TestEnv.h"

#include <QFile>

QList<RedactionCase> redactionCases() {
    QFile file(TestEnv::sourceDir() + QStringLiteral("/tests/data/title-redaction.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<RedactionCase> cases;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() < 4)
            return {};
        RedactionCase c;
        c.name = fields.takeFirst();
        c.title = fields.takeFirst();
        c.stored = fields.takeFirst();
        c.rules = fields;
        cases.append(c);
    }
    return cases;
}
