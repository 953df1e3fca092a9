// The embedded engine's schema steps after its first version, and the unit that runs them.
#include "store/sqlite/SqliteSchema.h"

#include "store/FileDatabase.h"
#include "store/sqlite/schema.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"

#include <algorithm>
#include <QByteArray>
#include <QString>

namespace SqliteSchema {
namespace {

constexpr SchemaStep kSteps[] = {
    // One row per workstation: when its last download was attempted (UTC,
    // YYYY-MM-DDTHH:MM:SSZ), what came of it (Result 0: RowsMerged rows merged; 1: unreachable;
    // 2: failed, Reason says why) and the newest day (YYYY-MM-DD) held for it afterwards, NULL
    // when none.
    {2, "CREATE TABLE MGRDownloadStatus (\n"
        "  WorkstationKey INTEGER PRIMARY KEY,\n"
        "  AttemptTime TEXT NOT NULL,\n"
        "  Result INTEGER NOT NULL,\n"
        "  RowsMerged INTEGER NOT NULL DEFAULT 0,\n"
        "  Reason TEXT,\n"
        "  NewestDay TEXT\n"
        ");\n"},
    // The agent version each workstation's file named when it was last read; no row when the
    // file named none (older agents).
    {3, "CREATE TABLE MGRAgentVersions (\n"
        "  WorkstationKey INTEGER PRIMARY KEY,\n"
        "  Version TEXT NOT NULL\n"
        ");\n"},
    // The audit log: one row per action, each chained to the one before by Hash (hex).
    {4, "CREATE TABLE MGRAuditLog (\n"
        "  Sequence INTEGER PRIMARY KEY,\n"
        "  Time TEXT NOT NULL,\n"
        "  Account TEXT NOT NULL,\n"
        "  Host TEXT NOT NULL,\n"
        "  Origin TEXT NOT NULL,\n"
        "  Action TEXT NOT NULL,\n"
        "  Details TEXT NOT NULL,\n"
        "  Hash TEXT NOT NULL\n"
        ");\n"},
    // The site's title redaction rules, tried in Position order.
    {5, "CREATE TABLE MGRRedactionRules (\n"
        "  Position INTEGER PRIMARY KEY,\n"
        "  Pattern TEXT NOT NULL,\n"
        "  Replacement TEXT NOT NULL\n"
        ");\n"},
};

static_assert(kSteps[0].version == kManagerBaseSchemaVersion + 1, "the steps start after schema.sql");
static_assert(kSteps[std::size(kSteps) - 1].version == kManagerSchemaVersion,
              "the last step reaches kManagerSchemaVersion");

} // namespace

int version(FileDatabase& db) {
    SqlStatement version(db, "PRAGMA user_version", db.path());
    return version.step() ? int(version.int64(0)) : 0;
}

std::span<const SchemaStep> managerSteps() {
    return kSteps;
}

void migrate(FileDatabase& db, int base, std::span<const SchemaStep> steps) {
    SqlTransaction transaction(db, SqlTransaction::Lock::Immediate,
                               QStringLiteral("Could not bring the database up to date"));
    const int from = std::max(version(db), base);
    int reached = from;
    for (const SchemaStep& step : steps) {
        if (step.version <= from)
            continue;
        db.exec(step.script, QStringLiteral("Could not bring the database up to version ") +
                                 QString::number(step.version));
        reached = step.version;
    }
    if (reached != from || reached != version(db)) {
        const QByteArray setVersion = "PRAGMA user_version = " + QByteArray::number(reached);
        db.exec(setVersion.constData());
    }
    transaction.commit();
}

} // namespace SqliteSchema
