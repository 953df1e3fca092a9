// Choosing the engine behind the seam: today every location is an embedded database file.
#include "store/ManagerDatabase.h"

#include "store/MergeSession.h"
#include "store/sqlite/SqliteManagerDatabase.h"

std::unique_ptr<ManagerDatabase> ManagerDatabase::open(const QString& location) {
    return std::make_unique<SqliteManagerDatabase>(location);
}

void ManagerDatabase::create(const QString& location) {
    SqliteManagerDatabase::create(location);
}

ManagerDatabase::~ManagerDatabase() = default;

ManagerDatabase::Transaction::~Transaction() = default;

ManagerDatabase::WritersTurn::~WritersTurn() = default;

MergeSession::~MergeSession() = default;
