// The agent-file oracle: reads the files with plain SQL and applies the import rule by hand.
#include "support/AgentOracle.h"

#include "base/TextUtils.h"
#include "base/VcError.h"
#include "store/FileDatabase.h"
#include "store/SqlStatement.h"

#include <memory>
#include <optional>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace AgentOracle {
namespace {
QString agentFile(const QString& network, const QString& machine) {
    return network + QLatin1Char('/') + machine + QStringLiteral("/Vellumcrest$/Data/VCWorkstation.mdb");
}

// A stored day: "yyyy-mm-dd" in ASCII digits, optionally followed by a time after ' ' or 'T';
// text or bytes alike.
QDate dayOf(const QVariant& value) {
    if (value.typeId() != QMetaType::QString && value.typeId() != QMetaType::QByteArray)
        return {};
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("([0-9]{4})-([0-9]{2})-([0-9]{2})(?:[ T][\\s\\S]*)?")));
    const QRegularExpressionMatch match = pattern.match(value.toString());
    if (!match.hasMatch())
        return {};
    return QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
}

// Seconds a duration stands for: a number, or the text of one, from 0 to 2^31-1.
std::optional<double> secondsOf(const QVariant& value) {
    double seconds = 0;
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        seconds = double(value.toLongLong());
        break;
    case QMetaType::Double:
        seconds = value.toDouble();
        break;
    case QMetaType::QString: {
        static const QRegularExpression number(QRegularExpression::anchoredPattern(
            QStringLiteral("\\s*[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?\\s*")));
        if (!number.match(value.toString()).hasMatch())
            return std::nullopt;
        seconds = value.toString().trimmed().toDouble();
        break;
    }
    default:
        return std::nullopt;
    }
    if (!(seconds >= 0 && seconds <= 2147483647.0))
        return std::nullopt;
    return seconds;
}

// Whether a name column is well-formed text, from its type and its bytes as the engine casts
// them: a UTF-8 file's text and any blob must be UTF-8, a UTF-16 file's text whole pairs.
bool wellFormed(const SqlStatement& row, int column, bool utf16) {
    const QString type = row.value(column + 1).toString();
    if (type == QLatin1String("text") && utf16)
        return QStringView(row.value(column).toString()).isValidUtf16();
    if (type == QLatin1String("text") || type == QLatin1String("blob"))
        return row.value(column + 2).toByteArray().isValidUtf8();
    return true;
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

Import expected(const QString& network, const QStringList& machines, QDate since, QDate today) {
    Import result;
    QSet<QString> users;
    QSet<QString> titles;
    for (const QString& machine : machines) {
        const QString path = agentFile(network, machine);
        if (!QFile::exists(path))
            continue;
        QSet<QString> listedUsers;
        QSet<QString> listedTitles;
        Import own;
        bool readable = true;
        {
            std::unique_ptr<FileDatabase> agent;
            bool utf16 = false;
            // An empty file is one cut off on its way, not an agent's file without tables.
            readable = QFileInfo(path).size() > 0;
            try {
                agent = std::make_unique<FileDatabase>(path, FileDatabase::Access::ReadOnly);
                // Anything but a table under one of the names (a view may never end) is refused whole.
                SqlStatement q(*agent, "SELECT count(*) FROM sqlite_master WHERE type <> 'table' AND "
                                       "lower(name) IN ('pcusers', 'pcapptitles', 'pcdaysummary')");
                readable = readable && q.step() && q.int64(0) == 0;
                SqlStatement encoding(*agent, "PRAGMA encoding");
                utf16 = encoding.step() && encoding.value(0).toString().startsWith(QLatin1String("UTF-16"));
            } catch (const VcError&) {
                readable = false;
            }
            // A statement that cannot be prepared means a missing table or field: nothing read
            // from it. A failure while reading makes the file unreadable.
            const auto read = [&](const char* sql, auto&& visit) {
                if (!readable)
                    return;
                std::unique_ptr<SqlStatement> q;
                try {
                    q = std::make_unique<SqlStatement>(*agent, sql);
                } catch (const VcError&) {
                    return;
                }
                try {
                    while (q->step())
                        visit(*q);
                } catch (const VcError&) {
                    readable = false;
                }
            };
            // A name that is not well-formed text is no name.
            read("SELECT UserName, typeof(UserName), CAST(UserName AS BLOB) FROM PCUsers",
                 [&](const SqlStatement& row) {
                     const QString name = row.value(0).toString();
                     if (!name.isEmpty() && wellFormed(row, 0, utf16))
                         listedUsers.insert(name.toCaseFolded());
                 });
            read("SELECT AppTitle, typeof(AppTitle), CAST(AppTitle AS BLOB) FROM PCAppTitles",
                 [&](const SqlStatement& row) {
                     const QString title = BlankDoubleQuotes(row.value(0).toString());
                     if (!title.isEmpty() && wellFormed(row, 0, utf16))
                         listedTitles.insert(title.toCaseFolded());
                 });
            const QSet<QString> knownUsers = users + listedUsers;
            const QSet<QString> knownTitles = titles + listedTitles;
            read("SELECT Date, UserName, typeof(UserName), CAST(UserName AS BLOB), AppTitle, "
                 "typeof(AppTitle), "
                 "CAST(AppTitle AS BLOB), Duration FROM PCDaySummary",
                 [&](const SqlStatement& row) {
                     const QDate day = dayOf(row.value(0));
                     if (!day.isValid() || (since.isValid() && day <= since) || day > today)
                         return;
                     own.withNewDays.insert(machine);
                     const QString user = wellFormed(row, 1, utf16) ? row.value(1).toString() : QString();
                     const QString title =
                         wellFormed(row, 4, utf16) ? BlankDoubleQuotes(row.value(4).toString()) : QString();
                     const std::optional<double> seconds = secondsOf(row.value(7));
                     if (!seconds || user.isEmpty() || title.isEmpty() ||
                         !knownUsers.contains(user.toCaseFolded()) ||
                         !knownTitles.contains(title.toCaseFolded()))
                         return;
                     ++own.rows;
                     own.seconds[day][title] += qint64(*seconds);
                     Import::Day& total = own.byWorkstation[machine][day];
                     ++total.rows;
                     total.seconds += *seconds;
                     own.workstations.insert(machine);
                 });
        }
        if (!readable) {
            result.unreadable.insert(machine);
            continue;
        }
        users += listedUsers;
        titles += listedTitles;
        result.rows += own.rows;
        for (auto day = own.seconds.cbegin(); day != own.seconds.cend(); ++day)
            for (auto title = day->cbegin(); title != day->cend(); ++title)
                result.seconds[day.key()][title.key()] += title.value();
        result.workstations += own.workstations;
        result.withNewDays += own.withNewDays;
        result.byWorkstation.insert(own.byWorkstation);
    }
    return result;
}

} // namespace AgentOracle
