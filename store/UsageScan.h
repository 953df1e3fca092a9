// The report's read of the stored usage: one day range, one consistent snapshot, never a write.
#pragma once

#include "store/ManagerDatabase.h"

#include <functional>
#include <memory>
#include <optional>
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

// Everything one scan hands out comes from the same snapshot of the store, taken by a read
// transaction that lasts as long as the scan: a writer elsewhere neither blocks it nor shows it
// half of its work, and the scan itself takes no write lock and writes nothing.
class UsageScan {
public:
    // One stored usage row. date is the stored text ("YYYY-MM-DD", possibly followed by a time
    // of day; null when the store holds none) and stays valid until the next call of next().
    struct Row {
        QByteArray date;
        qint64 titleKey = 0;
        qint64 userKey = 0;
        qint64 workstationKey = 0;
        double seconds = 0;
    };

    // Ends the read.
    virtual ~UsageScan() = default;

    // Every user and every workstation with its key, in stored order.
    virtual void users(const std::function<void(qint64 key, const QString& name)>& visit) = 0;
    virtual void workstations(const std::function<void(qint64 key, const QString& name)>& visit) = 0;
    // The window title stored under key; nothing when no title has it.
    virtual std::optional<QString> title(qint64 key) = 0;
    // The groupings and their window-title entries, in table order: the rule's input.
    virtual QList<ManagerDatabase::Grouping> groupings() = 0;
    virtual QList<ManagerDatabase::GroupingTitle> groupingTitles() = 0;
    // The next usage row of the day range, ascending by stored date text; false after the last.
    virtual bool next(Row& row) = 0;
};
