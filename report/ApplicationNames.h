// The rule that maps a captured window title to an application (grouping) name.
#pragma once

#include "store/ManagerDatabase.h"

#include <QHash>
#include <QList>
#include <QString>

inline const QString kUndefinedApplications = QStringLiteral("Undefined Applications");

class ApplicationNames {
public:
    // Reads the groupings and their entries once; later changes to the tables are not seen.
    explicit ApplicationNames(const ManagerDatabase& database);
    ApplicationNames(const QList<ManagerDatabase::Grouping>& groupings,
                     const QList<ManagerDatabase::GroupingTitle>& entries);

    // Groupings in Rank order (table order among equal ranks); within a grouping, its entries
    // in stored order. The first entry that occurs in the title, ignoring letter case, names
    // the application; an empty entry occurs in every title. No match: "Undefined Applications".
    // Results are cached per title.
    QString GetApplicationName(const QString& title);

private:
    struct Grouping {
        QString alias;
        QStringList foldedEntries;
    };
    QString map(const QString& title) const;

    QList<Grouping> m_groupings;
    QHash<QString, QString> m_cache;
};
