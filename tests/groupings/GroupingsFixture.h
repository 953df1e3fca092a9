// Shared by the groupings tests: a fresh manager database and direct views of its two tables.
#pragma once

#include "store/ManagerDatabase.h"
#include "store/SqlUtil.h"

#include <memory>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

class GroupingsFixture {
public:
    // A new manager database, holding only what installation puts there ("Desktop", rank 0).
    GroupingsFixture() : database(std::make_unique<ManagerDatabase>(m_dir.filePath("VCManager.mdb"))) {}

    void exec(const QString& sql, std::initializer_list<QVariant> values = {}) {
        Sql::run(database->db(), sql, values);
    }

    // Replaces the alias table with rows of "Alias=Rank", in table order.
    void setGroupings(const QStringList& rows) {
        exec(QStringLiteral("DELETE FROM MGRGroupings"));
        for (const QString& row : rows) {
            const qsizetype at = row.lastIndexOf(QLatin1Char('='));
            exec(QStringLiteral("INSERT INTO MGRGroupings (Alias, Rank) VALUES (?, ?)"),
                 {row.left(at), row.mid(at + 1).toInt()});
        }
    }

    void addTitleRow(const QString& alias, const QString& title) {
        exec(QStringLiteral("INSERT INTO MGRGroupingsData (AliasKey, WindowTitle) VALUES (?, ?)"),
             {alias, title});
    }

    void addCaptured(const QStringList& titles) {
        for (const QString& title : titles)
            database->addAppTitle(title);
    }

    // The alias table as "Alias=Rank", in table order.
    QStringList groupingRows() const {
        QStringList rows;
        for (const ManagerDatabase::Grouping& g : database->groupings())
            rows.append(g.alias + QLatin1Char('=') + QString::number(g.rank));
        return rows;
    }

    // The titles table as "AliasKey|WindowTitle", in table order.
    QStringList titleRows() const {
        QStringList rows;
        for (const ManagerDatabase::GroupingTitle& t : database->groupingTitles())
            rows.append(t.aliasKey + QLatin1Char('|') + t.windowTitle);
        return rows;
    }

    // Makes the engine refuse one kind of write, as a full disk or a lock would.
    void refuse(const QString& event, const QString& table, const QString& when = QStringLiteral("1")) {
        exec(QStringLiteral("CREATE TRIGGER refuse_%1_%2 BEFORE %1 ON %2 WHEN %3 BEGIN "
                            "SELECT RAISE(ABORT, 'refused by the test'); END")
                 .arg(event, table, when));
    }

private:
    QTemporaryDir m_dir;

public:
    std::unique_ptr<ManagerDatabase> database;
};
