// Hostile agent files: a table of mutations, each damaging a valid file in one way an agent
// file from another machine could be damaged (or crafted).
#include "HostileAgentFile.h"

#include "base/VcError.h"
#include "store/FileDatabase.h"
#include "store/SqlStatement.h"
#include "support/SimNetworkWriter.h"

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <QDate>
#include <QFile>
#include <QList>
#include <QVariant>
#include <vector>

namespace {

using Random = std::mt19937_64;

std::uint64_t below(Random& r, std::uint64_t bound) {
    return bound == 0 ? 0 : r() % bound;
}
template <typename T> const T& pick(Random& r, const std::vector<T>& values) {
    return values[below(r, values.size())];
}

// A value as stored: null, integer, real, text, or bytes (stored as text when rawText is set,
// which lets a test store text that is not valid UTF-8).
struct Value {
    QVariant value;
    bool rawText = false;
};

void bind(SqlStatement& statement, int index, const Value& v) {
    const QVariant& value = v.value;
    if (value.isNull()) {
        statement.bindNull(index);
    } else if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int) {
        statement.bindInt64(index, value.toLongLong());
    } else if (value.typeId() == QMetaType::Double) {
        statement.bindDouble(index, value.toDouble());
    } else if (value.typeId() == QMetaType::QByteArray) {
        if (v.rawText)
            statement.bindText(index, value.toByteArray());
        else
            statement.bindBlob(index, value.toByteArray());
    } else {
        statement.bindText(index, value.toString().toUtf8());
    }
}

// Runs one statement with its parameters. A mutation may not apply to a file an earlier one
// already changed (a table gone); it then leaves the file as it was.
void run(FileDatabase& db, const QString& sql, const QList<Value>& values = {}) {
    try {
        SqlStatement statement(db, sql.toUtf8().constData());
        for (int i = 0; i < values.size(); ++i)
            bind(statement, i + 1, values[i]);
        while (statement.step()) {
        }
    } catch (const VcError&) {
    }
}

void script(FileDatabase& db, const char* sql) {
    try {
        db.exec(sql);
    } catch (const VcError&) {
    }
}

qint64 maxRowid(FileDatabase& db, const QString& table) {
    try {
        SqlStatement statement(db, ("SELECT max(rowid) FROM " + table).toUtf8().constData());
        return statement.step() ? statement.int64(0) : 0;
    } catch (const VcError&) {
        return 0;
    }
}

const QStringList kTables = {"PCUsers", "PCAppTitles", "PCDaySummary"};
const std::map<QString, QStringList> kFields = {
    {"PCUsers", {"UserName"}},
    {"PCAppTitles", {"AppTitle"}},
    {"PCDaySummary", {"Date", "UserName", "AppTitle", "Duration"}}};

QString pickTable(Random& r) {
    return kTables[qsizetype(below(r, 3))];
}

// Sets a field of one to eight rows, chosen by the seed, to values drawn from a list.
void setField(FileDatabase& db, Random& r, const QString& table, const QString& field,
              const std::vector<Value>& values) {
    const qint64 rows = maxRowid(db, table);
    for (std::uint64_t n = 1 + below(r, 8); n > 0; --n)
        run(db, QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?").arg(table, field),
            {pick(r, values), {qint64(1 + below(r, std::uint64_t(std::max<qint64>(rows, 1))))}});
}

QString pastDay(Random& r) {
    return QDate::currentDate().addDays(-1 - qint64(below(r, 60))).toString(Qt::ISODate);
}

// Adds usage rows for a name it also lists, so that the name has to travel all the way.
void addNamed(FileDatabase& db, Random& r, const Value& user, const Value& title, int rows) {
    run(db, "INSERT INTO PCUsers (UserName) VALUES (?)", {user});
    run(db, "INSERT INTO PCAppTitles (AppTitle) VALUES (?)", {title});
    for (int i = 0; i < rows; ++i)
        run(db, "INSERT INTO PCDaySummary (Date, UserName, AppTitle, Duration) VALUES (?, ?, ?, ?)",
            {{pastDay(r)}, user, title, {qint64(1 + below(r, 600))}});
}

QByteArray randomBytes(Random& r, qsizetype size) {
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = char(r());
    return bytes;
}

// Pages of the file by kind, read from its own structures: the free list from its trunk pages,
// b-tree pages from their type byte, and whatever is left (overflow chains).
enum PageKind { Header, TableInterior, TableLeaf, IndexInterior, IndexLeaf, Overflow, Freelist, KindCount };

quint32 be32(const QByteArray& bytes, qsizetype at) {
    if (at + 4 > bytes.size())
        return 0;
    const auto b = [&](qsizetype i) { return quint32(quint8(bytes[at + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

qsizetype pageSizeOf(const QByteArray& bytes) {
    if (bytes.size() < 100)
        return 0;
    const quint32 size = quint32(quint8(bytes[16])) << 8 | quint8(bytes[17]);
    return size == 1 ? 65536 : qsizetype(size);
}

std::vector<std::vector<qsizetype>> classify(const QByteArray& bytes) {
    std::vector<std::vector<qsizetype>> pages(KindCount);
    const qsizetype size = pageSizeOf(bytes);
    if (size < 512)
        return pages;
    const qsizetype count = bytes.size() / size;
    std::vector<bool> free(size_t(count + 1), false);
    quint32 trunk = be32(bytes, 32);
    for (int guard = 0; trunk > 0 && trunk <= count && guard < count; ++guard) {
        const qsizetype at = (trunk - 1) * size;
        free[trunk] = true;
        const quint32 leaves = be32(bytes, at + 4);
        for (quint32 i = 0; i < leaves && 8 + 4 * i + 4 <= size; ++i) {
            const quint32 leaf = be32(bytes, at + 8 + 4 * i);
            if (leaf > 0 && leaf <= count)
                free[leaf] = true;
        }
        trunk = be32(bytes, at);
    }
    pages[Header].push_back(1);
    for (qsizetype page = 1; page <= count; ++page) {
        if (free[size_t(page)]) {
            pages[Freelist].push_back(page);
            continue;
        }
        switch (quint8(bytes[(page - 1) * size + (page == 1 ? 100 : 0)])) {
        case 2:
            pages[IndexInterior].push_back(page);
            break;
        case 5:
            pages[TableInterior].push_back(page);
            break;
        case 10:
            pages[IndexLeaf].push_back(page);
            break;
        case 13:
            pages[TableLeaf].push_back(page);
            break;
        default:
            pages[Overflow].push_back(page);
            break;
        }
    }
    return pages;
}

// Flips one to eight bytes of a page of the kind, half of them in its first bytes (the page's
// own header, where damage changes how everything after it is read).
void flip(QByteArray& bytes, Random& r, PageKind kind) {
    const qsizetype size = pageSizeOf(bytes);
    const auto pages = classify(bytes);
    qsizetype page = 0;
    qsizetype span = size;
    if (kind == Header || size < 512 || pages[size_t(kind)].empty()) {
        span = kind == Header || size < 512 ? 100 : size; // no page of the kind: any page
        page = kind == Header || size < 512 ? 1 : qsizetype(1 + below(r, std::uint64_t(bytes.size() / size)));
    } else {
        page = pick(r, pages[size_t(kind)]);
    }
    const qsizetype start =
        (page - 1) * std::max<qsizetype>(size, 1) + (page == 1 && kind != Header ? 100 : 0);
    for (std::uint64_t n = 1 + below(r, 8); n > 0; --n) {
        const qsizetype within =
            below(r, 2) ? qsizetype(below(r, 12)) : qsizetype(below(r, std::uint64_t(span)));
        const qsizetype at = std::min(start + within, bytes.size() - 1);
        if (at >= 0)
            bytes[at] = char(quint8(bytes[at]) ^ quint8(1 + below(r, 255)));
    }
}

struct Mutation {
    const char* name;
    std::function<void(FileDatabase&, Random&)> sql; // changes the file through the engine, or
    std::function<void(QByteArray&, Random&)> raw;   // changes its bytes
};

const std::vector<Value> kDurations = {{qint64(-1)},
                                       {std::numeric_limits<qint64>::min()},
                                       {qint64(2147483647)},
                                       {qint64(2147483648LL)},
                                       {std::numeric_limits<qint64>::max()},
                                       {1e300},
                                       {-0.0},
                                       {std::numeric_limits<double>::infinity()},
                                       {-std::numeric_limits<double>::infinity()},
                                       {std::nan("")},
                                       {0.5},
                                       {2147483647.5},
                                       {QStringLiteral("abc")},
                                       {QString()},
                                       {QStringLiteral(" 42 ")},
                                       {QStringLiteral("+7")},
                                       {QStringLiteral("-7")},
                                       {QStringLiteral("1e3")},
                                       {QStringLiteral("2.5e9")},
                                       {QStringLiteral("0x10")},
                                       {QStringLiteral("nan")},
                                       {QStringLiteral("inf")},
                                       {QStringLiteral("99999999999999999999")},
                                       {QStringLiteral("12abc")},
                                       {QStringLiteral("\u0661\u0662")},
                                       {QByteArray("12")},
                                       {QStringLiteral(".5")},
                                       {QStringLiteral("5.")}};

std::vector<Value> oddDates() {
    const QDate today = QDate::currentDate();
    return {{QStringLiteral("2024-13-01")},
            {QStringLiteral("2024-02-30")},
            {QStringLiteral("yesterday")},
            {QString()},
            {QStringLiteral("2024-3-1")},
            {QStringLiteral(" 2024-01-01")},
            {QStringLiteral("9999-12-31")},
            {QStringLiteral("2100-01-01")},
            {today.addDays(1).toString(Qt::ISODate)},
            {today.toString(Qt::ISODate)},
            {QStringLiteral("2024-01-01 12:00:00")},
            {QStringLiteral("2024-01-01T08:00")},
            {QStringLiteral("0000-01-01")},
            {QStringLiteral("-001-01-01")},
            {QStringLiteral("0001-01-01")},
            {QStringLiteral("\uff12\uff10\uff12\uff14-\uff10\uff11-\uff10\uff11")},
            {QStringLiteral("2024-01-01\u00e9")},
            {QStringLiteral("2024-01-01\u0100")},
            {QStringLiteral("2024\u201001\u201001")},
            {QStringLiteral("2024-01-01\n")},
            {QByteArray("2024-01-02")},
            {QByteArray("\xff\xfe\x00\x01", 4)},
            {qint64(20240101)},
            {2024.5},
            {QStringLiteral("1900-01-01")},
            {QStringLiteral("2024-01-0")},
            {QStringLiteral("2024-01-01\u0000x")},
            {QByteArray("2024-01-03\xed\xa0\x80")}};
}

const std::vector<Mutation>& mutations() {
    static const std::vector<Mutation> all = {
        {"flip:header", {}, [](QByteArray& b, Random& r) { flip(b, r, Header); }},
        {"flip:table-interior", {}, [](QByteArray& b, Random& r) { flip(b, r, TableInterior); }},
        {"flip:table-leaf", {}, [](QByteArray& b, Random& r) { flip(b, r, TableLeaf); }},
        {"flip:index-interior", {}, [](QByteArray& b, Random& r) { flip(b, r, IndexInterior); }},
        {"flip:index-leaf", {}, [](QByteArray& b, Random& r) { flip(b, r, IndexLeaf); }},
        {"flip:overflow", {}, [](QByteArray& b, Random& r) { flip(b, r, Overflow); }},
        {"flip:freelist", {}, [](QByteArray& b, Random& r) { flip(b, r, Freelist); }},
        {"truncate",
         {},
         [](QByteArray& b, Random& r) {
             b.truncate(qsizetype(1 + below(r, std::uint64_t(std::max<qsizetype>(b.size() - 1, 1)))));
         }},
        {"truncate:page",
         {},
         [](QByteArray& b, Random& r) {
             const qsizetype size = std::max<qsizetype>(pageSizeOf(b), 512);
             b.truncate(size *
                        qsizetype(1 + below(r, std::uint64_t(std::max<qsizetype>(b.size() / size - 1, 1)))));
         }},
        {"zero-length", {}, [](QByteArray& b, Random&) { b.clear(); }},
        {"not-a-database",
         {},
         [](QByteArray& b, Random& r) { b = randomBytes(r, qsizetype(1 + below(r, 16384))); }},
        {"text-file",
         {},
         [](QByteArray& b, Random&) { b = QByteArray("This is no database.\r\n").repeated(200); }},
        {"grown", {}, [](QByteArray& b, Random& r) { b += randomBytes(r, qsizetype(1 + below(r, 8192))); }},
        {"wrong-types",
         [](FileDatabase& db, Random& r) {
             const QString table = pickTable(r);
             setField(db, r, table,
                      pick(r, std::vector<QString>(kFields.at(table).begin(), kFields.at(table).end())),
                      {{QByteArray("\x00\xff", 2)},
                       {12.5},
                       {qint64(42)},
                       {QStringLiteral("12")},
                       {QByteArray("alice")},
                       {QByteArray("Inbox - Mail")},
                       {-3.25}});
         },
         {}},
        {"nulls",
         [](FileDatabase& db, Random& r) {
             const QString table = pickTable(r);
             setField(db, r, table,
                      pick(r, std::vector<QString>(kFields.at(table).begin(), kFields.at(table).end())),
                      {{QVariant()}});
         },
         {}},
        {"durations",
         [](FileDatabase& db, Random& r) { setField(db, r, "PCDaySummary", "Duration", kDurations); },
         {}},
        {"dates",
         [](FileDatabase& db, Random& r) { setField(db, r, "PCDaySummary", "Date", oddDates()); },
         {}},
        {"huge-title",
         [](FileDatabase& db, Random& r) {
             QString title = QStringLiteral("Huge \"<b>'");
             while (title.size() < (1 << 20))
                 title += QString::number(r(), 36);
             addNamed(db, r, {QStringLiteral("alice")}, {title}, 1 + int(below(r, 3)));
         },
         {}},
        {"view",
         [](FileDatabase& db, Random& r) {
             const QString table = pickTable(r);
             run(db, QStringLiteral("ALTER TABLE %1 RENAME TO %1Data").arg(table));
             run(db, QStringLiteral("CREATE VIEW %1 AS SELECT * FROM %1Data").arg(table));
         },
         {}},
        {"recursive-view",
         [](FileDatabase& db, Random& r) {
             const QString table = pickTable(r);
             const std::map<QString, QString> columns = {
                 {"PCUsers", "'u' || n AS UserName"},
                 {"PCAppTitles", "'t' || n AS AppTitle"},
                 {"PCDaySummary",
                  "'2024-01-01' AS Date, 'alice' AS UserName, 'Notes' AS AppTitle, n AS Duration"}};
             run(db, QStringLiteral("DROP TABLE %1").arg(table));
             run(db, QStringLiteral(
                         "CREATE VIEW %1 AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) "
                         "SELECT %2 FROM r")
                         .arg(table, columns.at(table)));
         },
         {}},
        {"trigger",
         [](FileDatabase& db, Random& r) {
             const QString table = pickTable(r);
             run(db,
                 QStringLiteral("CREATE TRIGGER Hostile%1 AFTER INSERT ON %2 BEGIN DELETE FROM PCUsers; END")
                     .arg(r() % 1000)
                     .arg(table));
         },
         {}},
        {"extra-column",
         [](FileDatabase& db, Random& r) {
             const QString table = pickTable(r);
             run(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN Extra TEXT DEFAULT 'x'").arg(table));
             if (below(r, 2))
                 run(db,
                     QStringLiteral("ALTER TABLE %1 ADD COLUMN Computed AS (length(Extra) * 2)").arg(table));
         },
         {}},
        {"renamed-column",
         [](FileDatabase& db, Random& r) {
             const QString table = pickTable(r);
             const QString field =
                 pick(r, std::vector<QString>(kFields.at(table).begin(), kFields.at(table).end()));
             run(db, QStringLiteral("ALTER TABLE %1 RENAME COLUMN %2 TO %2Old").arg(table, field));
         },
         {}},
        {"dropped-table", [](FileDatabase& db, Random& r) { run(db, "DROP TABLE " + pickTable(r)); }, {}},
        {"emptied-table", [](FileDatabase& db, Random& r) { run(db, "DELETE FROM " + pickTable(r)); }, {}},
        {"letter-case",
         [](FileDatabase& db, Random& r) {
             const QString table = pickTable(r);
             run(db, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(table, table.toLower()));
             run(db,
                 QStringLiteral("UPDATE PCDaySummary SET UserName = upper(UserName) WHERE rowid % 3 = 0"));
         },
         {}},
        {"many-users",
         [](FileDatabase& db, Random& r) {
             script(db, "BEGIN");
             for (int i = 0; i < 20000; ++i)
                 run(db, "INSERT INTO PCUsers (UserName) VALUES (?)", {{QStringLiteral("user%1").arg(i)}});
             for (int i = 0; i < 200; ++i)
                 run(db,
                     "INSERT INTO PCDaySummary (Date, UserName, AppTitle, Duration) "
                     "SELECT ?, ?, AppTitle, 60 FROM PCAppTitles LIMIT 1",
                     {{pastDay(r)}, {QStringLiteral("USER%1").arg(below(r, 20000))}});
             script(db, "COMMIT");
         },
         {}},
        {"invalid-utf8",
         [](FileDatabase& db, Random& r) {
             const std::vector<QByteArray> names = {QByteArray("\xed\xa0\x80surrogate"),
                                                    QByteArray("\xff\xfe"), QByteArray("over\xc0\xaflong"),
                                                    QByteArray("\x80lead"), QByteArray("cut\xe2\x82")};
             addNamed(db, r, {pick(r, names), true}, {pick(r, names), true}, 1 + int(below(r, 4)));
         },
         {}},
        {"wal", [](FileDatabase& db, Random&) { script(db, "PRAGMA journal_mode=WAL"); }, {}},
        {"page-size",
         [](FileDatabase& db, Random& r) {
             script(db, below(r, 2) ? "PRAGMA page_size=512" : "PRAGMA page_size=65536");
             script(db, "VACUUM");
         },
         {}},
        {"utf16",
         [](FileDatabase& db, Random&) {
             // The same content in a file whose text is UTF-16: made in a new database, then
             // copied over this one page by page.
             try {
                 FileDatabase other(QStringLiteral(":memory:"), FileDatabase::Access::Create);
                 script(other, "PRAGMA encoding='UTF-16le'");
                 db.copyTo(other);
                 other.copyTo(db);
             } catch (const VcError&) {
             }
         },
         {}},
        {"without-rowid",
         [](FileDatabase& db, Random&) {
             script(db,
                    "CREATE TABLE Users2 (UserName TEXT PRIMARY KEY) WITHOUT ROWID;"
                    "INSERT OR IGNORE INTO Users2 SELECT UserName FROM PCUsers WHERE UserName IS NOT NULL;"
                    "DROP TABLE PCUsers; ALTER TABLE Users2 RENAME TO PCUsers;");
         },
         {}},
        {"duplicate-rows",
         [](FileDatabase& db, Random& r) {
             run(db, "INSERT INTO PCDaySummary SELECT * FROM PCDaySummary WHERE rowid <= ?",
                 {{qint64(1 + below(r, 50))}});
         },
         {}},
        {"expression-index",
         [](FileDatabase& db, Random&) {
             script(db, "CREATE INDEX Hostile ON PCDaySummary (lower(AppTitle), Duration * 2)");
         },
         {}},
        {"quoted-titles",
         [](FileDatabase& db, Random& r) {
             setField(db, r, "PCAppTitles", "AppTitle",
                      {{QStringLiteral("\"Quoted\" - Writer")}, {QStringLiteral("Bob's \"Letter\".doc")}});
             run(db, "UPDATE PCDaySummary SET AppTitle = replace(AppTitle, 'Mail', '\"Mail\"')");
         },
         {}},
    };
    return all;
}

// The pools every valid file draws from: some names recur across files in another letter case.
const std::vector<QString> kUsers = {"alice", "Bob", "carol", "dave", "Erin", "frank", "ALICE", "bob"};
const std::vector<QString> kTitles = {"Inbox - Mail",        "Report.doc - Writer",
                                      "Budget.xls - Sheets", "Bob's Letter.doc - Writer",
                                      "Search - Browser",    "Terminal",
                                      "inbox - mail",        "Notes"};

} // namespace

HostileAgentFile::HostileAgentFile(std::uint64_t seed, std::uint64_t caseNumber) {
    std::seed_seq sequence{std::uint32_t(seed), std::uint32_t(seed >> 32), std::uint32_t(caseNumber),
                           std::uint32_t(caseNumber >> 32)};
    m_random.seed(sequence);
}

void HostileAgentFile::writeValid(const QString& path) {
    QStringList users;
    for (std::uint64_t n = 3 + below(3); n > 0; --n)
        users << pick(m_random, kUsers);
    QStringList titles;
    for (std::uint64_t n = 4 + below(4); n > 0; --n)
        titles << pick(m_random, kTitles);
    // Longer than a page: its rows and index entries spill into overflow pages.
    titles << QStringLiteral("Long - ") + QString(qsizetype(5000 + below(4000)), QLatin1Char('x'));
    QList<AgentRow> rows;
    for (std::uint64_t n = 300 + below(300); n > 0; --n)
        rows.append({pastDay(m_random), users[qsizetype(below(std::uint64_t(users.size())))],
                     titles[qsizetype(below(std::uint64_t(titles.size())))], qint64(1 + below(3600))});
    SimNetworkWriter::writeAgentFile(path, users, titles, rows);

    try {
        FileDatabase db(path, FileDatabase::Access::Create);
        // An index (interior and leaf pages of its own), and a dropped table's pages on the free list.
        script(
            db,
            "CREATE INDEX DayIndex ON PCDaySummary (Date, UserName, AppTitle);"
            "CREATE TABLE Scratch (x); INSERT INTO Scratch SELECT zeroblob(1500) FROM PCDaySummary LIMIT 24;"
            "DROP TABLE Scratch;");
    } catch (const VcError&) {
    }
}

QStringList HostileAgentFile::mutate(const QString& path) {
    const std::vector<Mutation>& table = mutations();
    std::vector<const Mutation*> chosen{&table[below(table.size())]};
    if (below(3) == 0)
        chosen.push_back(&table[below(table.size())]);
    // Changes through the engine first; then at most one change of the bytes.
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const Mutation* a, const Mutation* b) { return bool(a->sql) && !b->sql; });
    if (chosen.size() == 2 && !chosen[0]->sql)
        chosen.pop_back();

    QStringList names;
    for (const Mutation* m : chosen)
        names << QString::fromLatin1(m->name);
    if (chosen[0]->sql) {
        try {
            FileDatabase db(path, FileDatabase::Access::Create);
            // A mutation that reads what an earlier one made a recursive view would never end:
            // the generator's own statements stop after a bounded amount of work.
            int budget = 20000;
            db.stopWhen([&budget] { return --budget < 0; }, 1000);
            for (const Mutation* m : chosen)
                if (m->sql)
                    m->sql(db, m_random);
        } catch (const VcError&) {
        }
    }
    if (!chosen.back()->sql) {
        QFile file(path);
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
        file.close();
        chosen.back()->raw(bytes, m_random);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    }
    return names;
}
