// The manager schema's version: one number whatever engine holds the database, so that a
// database written by a newer program is refused by an older one. Each engine brings its own
// ordered steps up to it.
#pragma once

// The version this program reads and writes.
inline constexpr int kManagerSchemaVersion = 5;

// One step of an engine's schema: the script that turns a database of version - 1 into one of
// version. Steps are append only: a step once released never changes, since databases have
// taken it.
struct SchemaStep {
    int version;
    const char* script;
};
