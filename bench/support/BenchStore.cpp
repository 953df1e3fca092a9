// Big manager stores for benchmarks, written through the engine in one transaction.
#include "support/BenchStore.h"

#include "base/VcError.h"
#include "store/Dates.h"
#include "store/FileDatabase.h"
#include "store/ManagerDatabase.h"
#include "store/SqlStatement.h"

#include <algorithm>
#include <array>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <vector>

namespace BenchStore {
namespace {

// Bump when the generated content changes, so stale cached files are not reused.
constexpr int kGeneratorVersion = 2;

// splitmix64: a small generator whose sequence is the same on every platform and compiler.
class Random {
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint64 next() {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<quint64>(n)); }

private:
    quint64 m_state;
};

const std::array<const char*, 45> kApplications = {
    "Writer",          "Spreadsheet Pro", "Mail Client", "Web Browser",
    "Slide Maker",     "Photo Editor",    "Code Studio", "Terminal",
    "File Manager",    "Calendar",        "Chat",        "Video Player",
    "Music Player",    "PDF Viewer",      "Notes",       "Database Designer",
    "Project Planner", "Accounting",      "CRM Desk",    "Help Desk",
    "Drawing",         "Diagram",         "Map Viewer",  "Scanner",
    "Remote Desktop",  "Virtual Machine", "Backup Tool", "Antivirus",
    "Task Manager",    "Control Panel",   "Solitaire",   "Minesweeper",
    "Dictionary",      "Calculator",      "Paint",       "Clock",
    "Weather",         "News Reader",     "Podcasts",    "E-Book Reader",
    "FTP Client",      "Zip Archiver",    "Font Viewer", "Registry Editor",
    "Event Viewer"};

const std::array<const char*, 12> kDocuments = {"Letter",  "Budget",   "Minutes",     "Invoice",
                                                "Report",  "Overview", "Résumé",      "Überblick",
                                                "Заметки", "計画",     "Q&A <draft>", "Plan 'B'"};

// Title i: a document of some kind in one application. Every 13th title carries one of the
// project markers that the groupings' many entries look for, so those entries do match.
QString titleText(int i, int groupings, int entriesPerGrouping) {
    Random r(static_cast<quint64>(i) * 7919u + 17u);
    const int application = r.below(static_cast<int>(kApplications.size()));
    QString text =
        QString::fromUtf8(kDocuments[static_cast<size_t>(r.below(static_cast<int>(kDocuments.size())))]) +
        QLatin1Char(' ') + QString::number(i);
    if (i % 13 == 0 && groupings > 0 && entriesPerGrouping > 1)
        text += QStringLiteral(" Project %1-%2 plan")
                    .arg(r.below(groupings))
                    .arg(r.below(entriesPerGrouping - 1));
    return text + QStringLiteral(" - ") + QString::fromUtf8(kApplications[static_cast<size_t>(application)]);
}

struct Usage {
    int title;
    int user;
    int workstation;
    int duration;
};

void fill(FileDatabase& db, const Parameters& p) {
    db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-65536; BEGIN");
    {
        SqlStatement ws(db, "INSERT INTO MGRWorkstations (Name, Monitored) VALUES (?, 1)");
        for (int w = 0; w < p.workstations; ++w) {
            ws.bindText(1, workstationName(w).toUtf8());
            ws.run();
        }
        SqlStatement users(db, "INSERT INTO MGRUsers (UserName) VALUES (?)");
        for (int u = 0; u < p.users; ++u) {
            users.bindText(1, userName(u).toUtf8());
            users.run();
        }
        SqlStatement titles(db, "INSERT INTO MGRAppTitles (AppTitle) VALUES (?)");
        for (int t = 0; t < p.titles; ++t) {
            titles.bindText(1, titleText(t, p.groupings, p.entriesPerGrouping).toUtf8());
            titles.run();
        }
        SqlStatement groupings(db, "INSERT INTO MGRGroupings (Alias, Rank) VALUES (?, ?)");
        SqlStatement entries(db, "INSERT INTO MGRGroupingsData (AliasKey, WindowTitle) VALUES (?, ?)");
        for (int g = 0; g < p.groupings; ++g) {
            const QByteArray alias = groupingName(g).toUtf8();
            groupings.bindText(1, alias);
            groupings.bindInt64(2, g + 1);
            groupings.run();
            // Most entries are project markers few titles hold; one, part way down the list,
            // is the application's own suffix, so a typical title is decided late.
            const int suffixAt = p.entriesPerGrouping / 2 + g % std::max(1, p.entriesPerGrouping / 2);
            for (int e = 0; e < p.entriesPerGrouping; ++e) {
                QString entry = e == suffixAt ? QStringLiteral(" - ") + groupingName(g).toLower()
                                              : QStringLiteral("project %1-%2 plan").arg(g).arg(e);
                entries.bindText(1, alias);
                entries.bindText(2, entry.toUtf8());
                entries.run();
            }
        }

        SqlStatement usage(
            db, "INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, Duration, Date) "
                "VALUES (?, ?, ?, ?, ?)");
        const qint64 cells = static_cast<qint64>(p.days) * p.workstations;
        const qint64 perCell = cells > 0 ? p.rows / cells : 0;
        const qint64 extra = cells > 0 ? p.rows % cells : 0;
        std::vector<int> stamp(static_cast<size_t>(std::max(1, p.titles)), -1);
        int stampValue = 0;
        Random random(p.seed);
        std::vector<Usage> day;
        qint64 cell = 0;
        for (int d = 0; d < p.days; ++d) {
            day.clear();
            for (int w = 0; w < p.workstations; ++w, ++cell) {
                const qint64 wanted = perCell + (cell < extra ? 1 : 0);
                const int count = static_cast<int>(std::min<qint64>(wanted, p.titles));
                const int user = p.users > 0 ? (2 * w + ((d + w) % 5 == 0 ? 1 : 0)) % p.users : 0;
                ++stampValue;
                for (int k = 0; k < count; ++k) {
                    int title = 0;
                    do {
                        // Each workstation mostly uses a pool of its own, sometimes anything.
                        title = random.below(10) < 7 ? (w * 211 + random.below(600)) % p.titles
                                                     : random.below(p.titles);
                    } while (stamp[static_cast<size_t>(title)] == stampValue);
                    stamp[static_cast<size_t>(title)] = stampValue;
                    day.push_back({title, user, w, 5 + random.below(7196)});
                }
            }
            // The order of the date index, so its pages fill from left to right.
            std::sort(day.begin(), day.end(), [](const Usage& a, const Usage& b) {
                if (a.title != b.title)
                    return a.title < b.title;
                if (a.user != b.user)
                    return a.user < b.user;
                return a.workstation < b.workstation;
            });
            const QByteArray date = Dates::toStored(p.firstDay.addDays(d)).toUtf8();
            for (const Usage& row : day) {
                usage.bindInt64(1, row.user + 1);
                usage.bindInt64(2, row.title + 1);
                usage.bindInt64(3, row.workstation + 1);
                usage.bindInt64(4, row.duration);
                usage.bindStaticText(5, date);
                usage.run();
            }
        }
    }
    db.exec("COMMIT");
}

} // namespace

QString workstationName(int index) {
    return QStringLiteral("WS-%1").arg(index + 1, 3, 10, QLatin1Char('0'));
}

QString userName(int index) {
    return QStringLiteral("User%1").arg(index + 1, 3, 10, QLatin1Char('0'));
}

QString groupingName(int index) {
    return QString::fromUtf8(kApplications[static_cast<size_t>(index) % kApplications.size()]) +
           (index >= static_cast<int>(kApplications.size()) ? QString::number(index) : QString());
}

QString key(const Parameters& p) {
    return QStringLiteral("v%1 rows=%2 days=%3 ws=%4 users=%5 titles=%6 groupings=%7x%8 first=%9 seed=%10")
        .arg(kGeneratorVersion)
        .arg(p.rows)
        .arg(p.days)
        .arg(p.workstations)
        .arg(p.users)
        .arg(p.titles)
        .arg(p.groupings)
        .arg(p.entriesPerGrouping)
        .arg(Dates::toStored(p.firstDay))
        .arg(p.seed);
}

void build(const QString& path, const Parameters& parameters) {
    ManagerDatabase::create(path);
    try {
        FileDatabase db(path, FileDatabase::Access::ReadWrite);
        fill(db, parameters);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

QString cachedPath(const Parameters& parameters, const QString& cacheDir) {
    const QString dir = cacheDir.isEmpty() ? QStringLiteral(VC_BENCH_CACHE_DIR) : cacheDir;
    const QByteArray hash =
        QCryptographicHash::hash(key(parameters).toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return dir + QStringLiteral("/manager-") + QString::fromLatin1(hash) + QStringLiteral(".mdb");
}

QString managerStore(const Parameters& parameters, const QString& cacheDir) {
    const QString path = cachedPath(parameters, cacheDir);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (QFileInfo::exists(path))
        return path;
    // Built under a name of its own, so a concurrent or interrupted build never leaves a
    // half-filled file under the cached name.
    const QString building =
        path + QStringLiteral(".building-") + QString::number(QCoreApplication::applicationPid());
    QFile::remove(building);
    build(building, parameters);
    if (QFileInfo::exists(path)) {
        QFile::remove(building);
        return path;
    }
    if (!QFile::rename(building, path)) {
        QFile::remove(building);
        if (!QFileInfo::exists(path))
            throw VcError(ErrorNumber::FileFailure, QStringLiteral("Could not store ") + path);
    }
    return path;
}

} // namespace BenchStore
