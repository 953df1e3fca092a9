// Writes simulated network folders for tests.
#include "support/SimNetworkWriter.h"

#include "store/WorkstationDatabase.h"

#include <cstdio>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <sqlite3.h>
#include <stdexcept>

namespace {

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
}

void bindText(sqlite3_stmt* statement, int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

} // namespace

SimNetworkWriter::SimNetworkWriter(QString dir) : m_dir(std::move(dir)) {
    QDir().mkpath(m_dir);
}

void SimNetworkWriter::writeText(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        throw std::runtime_error("cannot write " + path.toStdString());
}

void SimNetworkWriter::writeNetwork(const QString& domain, const QStringList& machines, bool enumerationOk) {
    writeText(
        m_dir + QStringLiteral("/network.ini"),
        QStringLiteral("# simulated network written by a test\ndomain=%1\nenumeration=%2\nmachines=%3\n")
            .arg(domain, enumerationOk ? QStringLiteral("ok") : QStringLiteral("fail"),
                 machines.join(QLatin1Char(','))));
}

void SimNetworkWriter::writeServiceLines(const QString& machine, const QStringList& lines) {
    writeText(m_dir + QLatin1Char('/') + machine + QStringLiteral("/services.ini"),
              lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void SimNetworkWriter::writeServices(const QString& machine, const QList<QPair<QString, int>>& services) {
    QStringList lines;
    for (const auto& service : services)
        lines << service.first + QLatin1Char('=') + QString::number(service.second);
    writeServiceLines(machine, lines);
}

void SimNetworkWriter::writeAgentService(const QString& machine, int state) {
    writeServices(machine, {{QStringLiteral("Spooler"), 4},
                            {QStringLiteral("VCWorkstation"), state},
                            {QStringLiteral("W32Time"), 1}});
}

void SimNetworkWriter::writeNoAgent(const QString& machine) {
    writeServices(machine, {{QStringLiteral("Spooler"), 4}, {QStringLiteral("W32Time"), 1}});
}

void SimNetworkWriter::removeServices(const QString& machine) {
    QFile::remove(m_dir + QLatin1Char('/') + machine + QStringLiteral("/services.ini"));
}

QString SimNetworkWriter::agentDatabasePath(const QString& machine) const {
    return m_dir + QLatin1Char('/') + machine + QStringLiteral("/Vellumcrest$/Data/VCWorkstation.mdb");
}

void SimNetworkWriter::writeAgentDatabase(const QString& machine, const QStringList& users,
                                          const QStringList& titles, const QList<DayRow>& rows) {
    const QString path = agentDatabasePath(machine);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString temp = path + QStringLiteral(".tmp");
    QFile::remove(temp);
    sqlite3* db = nullptr;
    check(sqlite3_open(temp.toUtf8().constData(), &db), db, "open");
    try {
        check(sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr), db, "journal");
        check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
        check(sqlite3_exec(db, kWorkstationSchemaSql, nullptr, nullptr, nullptr), db, "schema");
        auto insertAll = [db](const char* sql, const auto& values, const auto& bind) {
            sqlite3_stmt* statement = nullptr;
            check(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), db, sql);
            for (const auto& value : values) {
                bind(statement, value);
                const int rc = sqlite3_step(statement);
                if (rc != SQLITE_DONE) {
                    sqlite3_finalize(statement);
                    check(rc, db, sql);
                }
                sqlite3_reset(statement);
            }
            sqlite3_finalize(statement);
        };
        auto bindName = [](sqlite3_stmt* statement, const QString& name) { bindText(statement, 1, name); };
        insertAll("INSERT INTO PCUsers (UserName) VALUES (?)", users, bindName);
        insertAll("INSERT INTO PCAppTitles (AppTitle) VALUES (?)", titles, bindName);
        insertAll("INSERT INTO PCDaySummary (Date, UserName, AppTitle, Duration) VALUES (?, ?, ?, ?)", rows,
                  [](sqlite3_stmt* statement, const DayRow& row) {
                      bindText(statement, 1, row.date);
                      bindText(statement, 2, row.userName);
                      bindText(statement, 3, row.appTitle);
                      sqlite3_bind_int64(statement, 4, row.duration);
                  });
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
    if (std::rename(temp.toLocal8Bit().constData(), path.toLocal8Bit().constData()) != 0)
        throw std::runtime_error("cannot rename " + temp.toStdString());
}
