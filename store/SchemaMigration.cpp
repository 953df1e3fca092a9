// The steps of the manager schema after its first version, and the unit that runs them.
#include "store/SchemaMigration.h"

#include "store/schema.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"

#include <QByteArray>
#include <QString>

namespace SchemaMigration {
namespace {

// Append only: a step once released never changes, since databases have taken it.
constexpr Step kSteps[] = {
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
};

static_assert(kSteps[0].version == kManagerBaseSchemaVersion + 1, "the steps start after schema.sql");
static_assert(kSteps[std::size(kSteps) - 1].version == kManagerSchemaVersion,
              "the last step reaches kManagerSchemaVersion");

} // namespace

std::span<const Step> managerSteps() {
    return kSteps;
}

void migrate(sqlite3* db, int from, std::span<const Step> steps) {
    SqlTransaction transaction(db, SqlTransaction::Lock::Immediate,
                               QStringLiteral("Could not bring the database up to date"));
    int version = from;
    for (const Step& step : steps) {
        if (step.version <= from)
            continue;
        SqlStatement::exec(db, step.sql,
                           QStringLiteral("Could not bring the database up to version ") +
                               QString::number(step.version));
        version = step.version;
    }
    const QByteArray setVersion = "PRAGMA user_version = " + QByteArray::number(version);
    SqlStatement::exec(db, setVersion.constData());
    transaction.commit();
}

} // namespace SchemaMigration
