// The embedded engine's schema: store/sqlite/schema.sql installs the first version, each later
// one is a step that brings a database of the version before it up to date.
#pragma once

#include "store/SchemaVersion.h"

#include <span>

class FileDatabase;

namespace SqliteSchema {

// The version of the file (its user_version).
int version(FileDatabase& db);

// This engine's steps, in ascending order, up to kManagerSchemaVersion.
std::span<const SchemaStep> managerSteps();

// Runs every step above the file's version, in order, then records the last step's version, all
// as one unit (a savepoint inside an open transaction) that holds the write lock from the start:
// the version is read inside it, so a second program opening the same old file at the same time
// finds the work done. A version below base counts as base (files written before the version
// was recorded). On failure (VcError) the database is as it was.
void migrate(FileDatabase& db, int base, std::span<const SchemaStep> steps);

} // namespace SqliteSchema
