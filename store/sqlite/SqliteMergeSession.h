// The merge session on the embedded engine: prepared statements for the whole run and a cache
// large enough for a first download, given back at the end.
#pragma once

#include "store/MergeSession.h"
#include "store/SqlStatement.h"

class FileDatabase;

class SqliteMergeSession : public MergeSession {
public:
    explicit SqliteMergeSession(FileDatabase& file);
    ~SqliteMergeSession() override;

    int addUser(const QString& name) override;
    int addAppTitle(const QString& title) override;
    qint64 addUsage(int workstationKey, Rows rows) override;

private:
    int addName(SqlStatement& insert, const QString& name);

    FileDatabase& m_file;
    SqlStatement m_insertUser;
    SqlStatement m_insertTitle;
    SqlStatement m_insertDay;
    qint64 m_previousCacheSize = -2000; // the engine's default
};
