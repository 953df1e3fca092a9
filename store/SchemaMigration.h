// The manager schema's versions: store/schema.sql installs the first, each later one is a step
// that brings a database of the version before it up to date.
#pragma once

#include <span>

struct sqlite3;

// The version this program reads and writes (user_version of the file).
inline constexpr int kManagerSchemaVersion = 3;

namespace SchemaMigration {

// The script that turns a database of version - 1 into one of version.
struct Step {
    int version;
    const char* sql;
};

// This program's steps, in ascending order, up to kManagerSchemaVersion.
std::span<const Step> managerSteps();

// Runs every step above version `from`, in order, then sets user_version to the last step's
// version, all as one unit (a savepoint inside an open transaction): on failure (VcError)
// the database is as it was.
void migrate(sqlite3* db, int from, std::span<const Step> steps);

} // namespace SchemaMigration
