// Read-only access to a workstation database.
#include "store/WorkstationDatabase.h"

#include "base/VcError.h"
#include "store/Dates.h"
#include "store/FileDatabase.h"
#include "store/SqlStatement.h"

#include <QFileInfo>
#include <QRegularExpression>

WorkstationDatabase::WorkstationDatabase(const QString& path) {
    const QFileInfo file(path);
    if (!file.isFile())
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("File not found: ") + path);
    // The engine takes an empty file for an empty database; an agent always publishes its tables,
    // so an empty file is one cut off on its way (a full disk, a copy that failed).
    if (file.size() == 0)
        throw VcError(ErrorNumber::NotADatabase, QStringLiteral("The file is empty: ") + path);
    m_file = std::make_unique<FileDatabase>(path, FileDatabase::Access::ReadOnly, path);
    // The file comes from another machine: no functions or virtual tables run from its schema,
    // no writes to its internals, and every read ends within the budget.
    m_file->distrust();
    const auto deadline = std::chrono::steady_clock::now() + kReadBudget;
    m_file->stopWhen([deadline] { return std::chrono::steady_clock::now() > deadline; });
}

WorkstationDatabase::~WorkstationDatabase() = default;

void WorkstationDatabase::requireTable(const QString& table) const {
    // An agent file is input from another machine: a view or anything else under a table's name
    // could make the read run without end, so only a real table is read.
    SqlStatement q(*m_file, "SELECT type FROM sqlite_master WHERE name = ? COLLATE NOCASE", table);
    q.bindText(1, table);
    while (q.step()) {
        if (q.utf16Text(0) != QLatin1String("table"))
            throw VcError(ErrorNumber::DatabaseFailure, table + QStringLiteral(" is not a table"));
    }
}

namespace {

// A statement on the agent file, or nothing when the engine cannot prepare it (a table or
// field missing).
std::unique_ptr<SqlStatement> prepared(FileDatabase& db, const QByteArray& sql, const QString& context) {
    try {
        return std::make_unique<SqlStatement>(db, sql.constData(), context);
    } catch (const VcError&) {
        return nullptr;
    }
}

// Whether the file keeps its text as UTF-16; the engine then hands its UTF-16 out as stored.
bool keepsUtf16(FileDatabase& db) {
    SqlStatement encoding(db, "PRAGMA encoding");
    return encoding.step() && encoding.utf16Text(0).startsWith(QLatin1String("UTF-16"));
}

// A name from the file is one only when it is well-formed text: the bytes of a UTF-8 file (or of
// a blob) must be UTF-8, the units of a UTF-16 file whole pairs. The engine and the conversions
// after it turn damaged text into one replacement mark or another, so two different damaged
// names (two people) would become one.
bool wellFormed(const SqlStatement& q, int column, bool utf16) {
    const SqlStatement::Type type = q.type(column);
    if (type == SqlStatement::Type::Text && utf16)
        return QStringView(q.utf16Text(column)).isValidUtf16();
    if (type == SqlStatement::Type::Text)
        return q.bytes(column).isValidUtf8();
    if (type == SqlStatement::Type::Blob)
        return q.value(column).toByteArray().isValidUtf8();
    return true; // a number or nothing: the caller judges it
}

} // namespace

std::optional<QStringList> WorkstationDatabase::column(const QString& table, const QString& field) const {
    requireTable(table);
    // Only a statement the engine cannot prepare means the table or field is missing; a failure
    // once it runs (a damaged page) fails the whole file, or part of a day would pass. A read
    // that stops on an error is not the end of the table: half a list must not pass.
    // Every reader of an agent file sees the same texts (the engine's own UTF-16 conversion)
    // and types.
    const auto q = prepared(*m_file, QStringLiteral("SELECT %1 FROM %2").arg(field, table).toUtf8(), table);
    if (!q)
        return std::nullopt;
    const bool utf16 = keepsUtf16(*m_file);
    QStringList values;
    while (q->step()) {
        if (wellFormed(*q, 0, utf16))
            values << (q->isText(0) ? q->utf16Text(0) : q->value(0).toString());
    }
    return values;
}

QString WorkstationDatabase::agentVersion() const {
    // An extra the console can do without: nothing about it may fail the file.
    try {
        const QString table = QStringLiteral("PCAgentInfo");
        requireTable(table);
        const auto q = prepared(*m_file,
                                "SELECT Value FROM PCAgentInfo WHERE Name = 'AgentVersion' AND "
                                "typeof(Value) = 'text' AND length(Value) <= 32 LIMIT 1",
                                table);
        if (!q || !q->step())
            return {};
        const QString version = q->utf16Text(0);
        static const QRegularExpression sound(QStringLiteral("^[0-9A-Za-z.+-]{1,32}$"));
        return sound.match(version).hasMatch() ? version : QString();
    } catch (const VcError&) {
        return {};
    }
}

std::optional<QStringList> WorkstationDatabase::userNames() const {
    return column(QStringLiteral("PCUsers"), QStringLiteral("UserName"));
}

std::optional<QStringList> WorkstationDatabase::appTitles() const {
    return column(QStringLiteral("PCAppTitles"), QStringLiteral("AppTitle"));
}

bool WorkstationDatabase::forEachDayRow(const std::function<void(const DayRow&)>& visit,
                                        std::optional<QDate> after) const {
    requireTable(QStringLiteral("PCDaySummary"));
    QByteArray sql = "SELECT Date, UserName, AppTitle, Duration FROM PCDaySummary";
    // ISO date text sorts as the days do, so a day after `after` is text at or above the next
    // day's; values that are not text are passed on for the caller to judge.
    if (after)
        sql += " WHERE NOT (typeof(Date) = 'text' AND Date < ?)";
    const auto q = prepared(*m_file, sql, QStringLiteral("PCDaySummary"));
    if (!q)
        return false;
    if (after)
        q->bindText(1, Dates::toStored(after->addDays(1)));
    const bool utf16 = keepsUtf16(*m_file);
    const QVariant noName(QMetaType::fromType<QString>());
    DayRow row;
    while (q->step()) {
        row.date = q->value(0);
        // A damaged name is no name: the row is left out as one without a user or title.
        row.userName = wellFormed(*q, 1, utf16) ? q->value(1) : noName;
        row.appTitle = wellFormed(*q, 2, utf16) ? q->value(2) : noName;
        row.duration = q->value(3);
        visit(row);
    }
    return true;
}

const char* const kWorkstationSchemaSql =
    "CREATE TABLE PCUsers (UserID INTEGER PRIMARY KEY AUTOINCREMENT, UserName TEXT);\n"
    "CREATE TABLE PCAppTitles (AppTitleID INTEGER PRIMARY KEY AUTOINCREMENT, AppTitle TEXT);\n"
    "CREATE TABLE PCDaySummary (Date TEXT, UserName TEXT, AppTitle TEXT, Duration INTEGER);\n";

void createWorkstationDatabase(const QString& path) {
    FileDatabase file(path, FileDatabase::Access::Create, path);
    file.exec(kWorkstationSchemaSql, path);
}
