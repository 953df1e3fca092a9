// Writes simulated network folders for tests.
#include "support/SimNetworkWriter.h"

#include "store/FileDatabase.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"
#include "store/WorkstationDatabase.h"

#include <cstdio>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <stdexcept>

namespace {

// Binds a value as the agent would have stored it: text, whole number, real or null.
void bind(SqlStatement& statement, int index, const QVariant& value) {
    if (value.isNull())
        statement.bindNull(index);
    else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong)
        statement.bindInt64(index, value.toLongLong());
    else if (value.typeId() == QMetaType::Double)
        statement.bindDouble(index, value.toDouble());
    else
        statement.bindText(index, value.toString().toUtf8());
}

// One row per entry; the statement's parameter count says how many fields of each are used.
void insertAll(FileDatabase& db, const char* sql, const QList<AgentRow>& rows) {
    SqlStatement statement(db, sql);
    const int fields = statement.parameterCount();
    for (const AgentRow& row : rows) {
        const QVariant values[] = {row.date, row.userName, row.appTitle, row.duration};
        for (int i = 0; i < fields; ++i)
            bind(statement, i + 1, values[i]);
        statement.run();
    }
}

// Opens a file, runs work inside one transaction and closes it, whatever happens.
template <typename Work> void withFile(const QString& path, Work work) {
    FileDatabase db(path, FileDatabase::Access::Create);
    SqlTransaction transaction(db);
    work(db);
    transaction.commit();
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
                                          const QStringList& titles, const QList<AgentRow>& rows) {
    writeAgentFile(agentDatabasePath(machine), users, titles, rows);
}

void SimNetworkWriter::writeAgentFile(const QString& path, const QStringList& users,
                                      const QStringList& titles, const QList<AgentRow>& rows) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString temp = path + QStringLiteral(".tmp");
    QFile::remove(temp);
    withFile(temp, [&](FileDatabase& db) {
        db.exec("PRAGMA journal_mode=DELETE");
        db.exec(kWorkstationSchemaSql);
        QList<AgentRow> names;
        for (const QString& user : users)
            names.append({user, {}, {}, {}});
        insertAll(db, "INSERT INTO PCUsers (UserName) VALUES (?)", names);
        names.clear();
        for (const QString& title : titles)
            names.append({title, {}, {}, {}});
        insertAll(db, "INSERT INTO PCAppTitles (AppTitle) VALUES (?)", names);
        insertAll(db, "INSERT INTO PCDaySummary (Date, UserName, AppTitle, Duration) VALUES (?, ?, ?, ?)",
                  rows);
    });
    if (std::rename(temp.toLocal8Bit().constData(), path.toLocal8Bit().constData()) != 0)
        throw std::runtime_error("cannot rename " + temp.toStdString());
}

void SimNetworkWriter::appendAgentRows(const QString& path, const QList<AgentRow>& rows) {
    withFile(path, [&](FileDatabase& db) {
        insertAll(db, "INSERT INTO PCDaySummary (Date, UserName, AppTitle, Duration) VALUES (?, ?, ?, ?)",
                  rows);
    });
}
