// Bulk insertion of a download run's merged rows into the manager database: the names a
// workstation brings and its new usage rows, through statements made once for the whole run.
// Units and the batch around them are the database's transactions; the session only writes.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

class MergeSession {
public:
    // Gives back what the session took for its bulk work (the engine's cache memory).
    virtual ~MergeSession();
    MergeSession(const MergeSession&) = delete;
    MergeSession& operator=(const MergeSession&) = delete;

    // Stores a name exactly as given and returns its new key. Whether a name is new is the
    // caller's rule (names match without regard to letter case); the store only adds.
    virtual int addUser(const QString& name) = 0;
    virtual int addAppTitle(const QString& title) = 0;

    // One workstation's new usage, its names already resolved to keys.
    struct Rows {
        struct Row {
            int day = 0; // index into days
            int titleKey = 0;
            int userKey = 0;
            // The duration: whole seconds, or a fractional value when the agent stored one.
            bool integral = true;
            qint64 seconds = 0;
            double fractional = 0;
        };
        std::vector<QByteArray> days; // "YYYY-MM-DD"
        std::vector<Row> rows;
    };
    // Appends the rows in the order the engine writes fastest; every row is stored or, on
    // failure (VcError), the caller's unit undoes them. Returns how many were stored.
    virtual qint64 addUsage(int workstationKey, Rows rows) = 0;

protected:
    MergeSession() = default;
};
