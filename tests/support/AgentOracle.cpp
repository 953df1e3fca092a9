// The agent-file oracle: reads the files with plain SQL and applies the import rule by hand.
#include "support/AgentOracle.h"

#include "base/TextUtils.h"
#include "store/Dates.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace AgentOracle {
namespace {
QString agentFile(const QString& network, const QString& machine) {
    return network + QLatin1Char('/') + machine + QStringLiteral("/Vellumcrest$/Data/VCWorkstation.mdb");
}

QStringList lines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
}
} // namespace

QStringList machines(const QString& network) {
    for (const QString& line : lines(network + QStringLiteral("/network.ini"))) {
        if (line.startsWith(QLatin1String("machines=")))
            return line.mid(9).trimmed().split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    return {};
}

QStringList agentMachines(const QString& network) {
    QStringList found;
    for (const QString& m : machines(network)) {
        const QStringList services = lines(network + QLatin1Char('/') + m + QStringLiteral("/services.ini"));
        const bool agent = std::any_of(services.begin(), services.end(), [](const QString& l) {
            return l.startsWith(QLatin1String("VCWorkstation="));
        });
        if (agent && QFile::exists(agentFile(network, m)))
            found << m;
    }
    return found;
}

Import expected(const QString& network, const QStringList& machines, QDate since) {
    Import result;
    QSet<QString> users;
    QSet<QString> titles;
    for (const QString& machine : machines) {
        const QString path = agentFile(network, machine);
        if (!QFile::exists(path))
            continue;
        {
            QSqlDatabase agent =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("oracle"));
            agent.setDatabaseName(path);
            agent.open();
            QSqlQuery q(agent);
            q.exec(QStringLiteral("SELECT UserName FROM PCUsers"));
            while (q.next())
                users.insert(q.value(0).toString().toCaseFolded());
            q.exec(QStringLiteral("SELECT AppTitle FROM PCAppTitles"));
            while (q.next())
                titles.insert(BlankDoubleQuotes(q.value(0).toString()).toCaseFolded());
            q.exec(QStringLiteral("SELECT Date, UserName, AppTitle, Duration FROM PCDaySummary"));
            while (q.next()) {
                const QDate day = Dates::fromStored(q.value(0).toString());
                if (!day.isValid() || (since.isValid() && day <= since))
                    continue;
                result.withNewDays.insert(machine);
                const QString title = BlankDoubleQuotes(q.value(2).toString());
                const qint64 seconds = q.value(3).toLongLong();
                if (seconds < 0 || !users.contains(q.value(1).toString().toCaseFolded()) ||
                    !titles.contains(title.toCaseFolded()))
                    continue;
                ++result.rows;
                result.seconds[day][title] += seconds;
                result.workstations.insert(machine);
            }
            agent.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("oracle"));
    }
    return result;
}

} // namespace AgentOracle
