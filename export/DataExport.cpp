// Data export: the export file's life cycle, the operator's answers and the row copy.
#include "export/DataExport.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/OutputFile.h"
#include "base/VcError.h"
#include "groupings/ApplicationNames.h"
#include "store/AuditLog.h"
#include "store/Dates.h"
#include "store/ExportFile.h"
#include "store/ManagerDatabase.h"
#include "store/UsageScan.h"

#include <cstring>
#include <limits>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <vector>

namespace {

// One key of the export table, its names reduced to numbers of their case-folded texts.
struct ExportKey {
    int workstation = 0;
    int user = 0;
    int application = 0;
    qint64 day = 0;
    bool operator==(const ExportKey&) const = default;
};

size_t qHash(const ExportKey& key, size_t seed = 0) noexcept {
    return qHashMulti(seed, key.workstation, key.user, key.application, key.day);
}

// Numbers names so that texts a lookup in the export table treats as equal share one.
class NameNumbers {
public:
    int of(const QString& name) {
        const QString folded = name.toCaseFolded();
        const auto it = m_numbers.constFind(folded);
        if (it != m_numbers.constEnd())
            return it.value();
        const int number = static_cast<int>(m_numbers.size());
        m_numbers.insert(folded, number);
        return number;
    }

private:
    QHash<QString, int> m_numbers;
};

// A name as the copy needs it: its number for the key and its bytes for the new row.
struct CachedName {
    int number = 0;
    QByteArray utf8;
    bool null = false;
};

// Toward zero, as the engine converts a real, and within the range of the type.
qint64 wholeSeconds(double seconds) {
    constexpr double kLimit = 9223372036854775807.0;
    if (!(seconds == seconds))
        return 0;
    if (seconds >= kLimit)
        return std::numeric_limits<qint64>::max();
    if (seconds <= -kLimit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(seconds);
}

const QByteArray* textOf(const CachedName& name) {
    return name.null ? nullptr : &name.utf8;
}

// A name of the store as the copy needs it; nothing when the store holds no row for the key.
std::optional<CachedName> cachedName(const QHash<qint64, QString>& names, qint64 key, NameNumbers& numbers) {
    const auto it = names.constFind(key);
    if (it == names.constEnd())
        return std::nullopt;
    CachedName name;
    name.null = it->isNull();
    name.utf8 = it->toUtf8();
    name.number = numbers.of(*it);
    return name;
}

} // namespace

DataExport::DataExport(Feedback& feedback, const ManagerDatabase& database)
    : m_feedback(feedback), m_database(database) {}

std::optional<QString> DataExport::ExportData(const QString& path, std::optional<QDate> from,
                                              std::optional<QDate> to) {
    m_rowsAdded = 0;
    const auto showError = [this](const QString& description) {
        m_feedback.message(QStringLiteral("Error exporting data: \r\n") + description, Captions::kProduct,
                           Feedback::Icon::None, Feedback::Buttons::Ok);
    };
    if (path.isEmpty()) {
        showError(QStringLiteral("No file name was given."));
        return std::nullopt;
    }
    // Neither a new file nor rows added may land on anything but a plain file of the operator's.
    if (const QString refused = OutputFile::refusal(path); !refused.isEmpty()) {
        showError(refused);
        return std::nullopt;
    }
    bool deletedOnce = false;
    for (;;) {
        const bool exists = QFileInfo::exists(path);
        try {
            if (exists)
                addToFile(path, from, to);
            else
                writeNewFile(path, from, to);
            return QStringLiteral("Exported Data to \"") + path + QLatin1Char('"');
        } catch (const VcError& failure) {
            m_rowsAdded = 0;
            // Only the target itself may be offered for deletion: the same error from the
            // manager database must never cost the operator a valid export file.
            if (failure.number() != ErrorNumber::NotADatabase || !exists || deletedOnce ||
                !ExportFile::isUnrecognised(path)) {
                showError(failure.description());
                return std::nullopt;
            }
            const Feedback::Answer answer = m_feedback.message(
                QStringLiteral(
                    "Unrecognized database format.  Ok for Vellumcrest to delete the old database (") +
                    path + QStringLiteral(")?"),
                Captions::titled(QStringLiteral(" Data Export")), Feedback::Icon::Question,
                Feedback::Buttons::YesNo);
            if (answer != Feedback::Answer::Yes)
                return QStringLiteral("Cancelled Data Export (unrecognized file format)");
            QFile old(path);
            if (!old.remove()) {
                showError(QStringLiteral("Could not delete ") + path + QStringLiteral(": ") +
                          old.errorString());
                return std::nullopt;
            }
            deletedOnce = true;
        }
    }
}

void DataExport::writeNewFile(const QString& path, std::optional<QDate> from, std::optional<QDate> to) {
    // Built beside its final place and moved in complete, so no failure leaves a partial file.
    OutputFile output(path);
    if (!output.open())
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("Could not create ") + path +
                                                    QStringLiteral(": ") + output.errorString());
    {
        ExportFile file(output.temporaryPath(), ExportFile::Mode::CreateNew, path);
        file.begin();
        file.ensureTable();
        m_rowsAdded = WriteExportRows(file, m_database, from, to);
        file.commit();
        file.close();
    }
    if (!output.commit())
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("Could not create ") + path +
                                                    QStringLiteral(": ") + output.errorString());
}

void DataExport::addToFile(const QString& path, std::optional<QDate> from, std::optional<QDate> to) {
    ExportFile file(path, ExportFile::Mode::OpenExisting);
    file.begin();
    file.ensureTable();
    m_rowsAdded = WriteExportRows(file, m_database, from, to);
    file.commit();
    file.close();
}

qint64 DataExport::WriteExportRows(ExportFile& file, const ManagerDatabase& database,
                                   std::optional<QDate> from, std::optional<QDate> to) {
    if (!from || !to)
        return 0;
    // Every key the table held before this run: the lookup each source row makes is one probe here.
    NameNumbers numbers;
    QSet<ExportKey> keys;
    file.forEachKey([&](const QString& workstation, const QString& user, const QString& application,
                        const QString& date) {
        const QDate day = Dates::fromStored(date);
        // A value that is no day can never equal the day of an exported row.
        if (!day.isValid())
            return;
        keys.insert({numbers.of(workstation), numbers.of(user), numbers.of(application), day.toJulianDay()});
    });

    file.prepareRows();
    // The usage rows come in day order, each name resolved once per key, everything from one
    // snapshot of the store. A key without its name row drops the usage row, as a join would.
    const std::unique_ptr<UsageScan> scan = database.openUsageScan(*from, *to);
    QHash<qint64, QString> workstationNames;
    scan->workstations([&](qint64 key, const QString& name) {
        if (!workstationNames.contains(key))
            workstationNames.insert(key, name);
    });
    QHash<qint64, QString> userNames;
    scan->users([&](qint64 key, const QString& name) {
        if (!userNames.contains(key))
            userNames.insert(key, name);
    });
    ApplicationNames applicationNames(scan->groupings(), scan->groupingTitles());
    QHash<qint64, std::optional<CachedName>> workstations;
    QHash<qint64, std::optional<CachedName>> users;
    QHash<qint64, qsizetype> applicationOfTitle; // -1: no such title
    QHash<QString, qsizetype> applicationByName;
    std::vector<CachedName> applications;
    QByteArray lastDate;
    QDate lastDay;
    qint64 added = 0;
    // The run's rows, one per key in the order the keys first appear, with their summed time.
    struct PendingRow {
        qint64 workstationKey;
        qint64 userKey;
        qsizetype application;
        qint64 day; // Julian day
        qint64 seconds;
    };
    QList<PendingRow> pendingRows;
    QHash<ExportKey, qsizetype> pendingIndex;

    UsageScan::Row row;
    while (scan->next(row)) {
        auto workstation = workstations.constFind(row.workstationKey);
        if (workstation == workstations.constEnd())
            workstation = workstations.insert(row.workstationKey,
                                              cachedName(workstationNames, row.workstationKey, numbers));
        if (!workstation.value())
            continue;

        auto user = users.constFind(row.userKey);
        if (user == users.constEnd())
            user = users.insert(row.userKey, cachedName(userNames, row.userKey, numbers));
        if (!user.value())
            continue;

        auto application = applicationOfTitle.constFind(row.titleKey);
        if (application == applicationOfTitle.constEnd()) {
            qsizetype index = -1;
            if (const std::optional<QString> title = scan->title(row.titleKey)) {
                const QString name = applicationNames.GetApplicationName(*title);
                auto known = applicationByName.constFind(name);
                if (known == applicationByName.constEnd()) {
                    CachedName cached;
                    cached.utf8 = name.toUtf8();
                    cached.number = numbers.of(name);
                    applications.push_back(std::move(cached));
                    known = applicationByName.insert(name, static_cast<qsizetype>(applications.size()) - 1);
                }
                index = known.value();
            }
            application = applicationOfTitle.insert(row.titleKey, index);
        }
        if (application.value() < 0)
            continue;
        const CachedName& applicationName = applications[static_cast<size_t>(application.value())];

        // Rows come in day order, so the last day read is nearly always the one needed.
        const QByteArray& date = row.date;
        if (date.size() != lastDate.size() ||
            std::memcmp(date.constData(), lastDate.constData(), size_t(date.size())) != 0) {
            lastDate = QByteArray(date.constData(), date.size());
            lastDay = Dates::fromStored(QString::fromUtf8(lastDate));
            if (!lastDay.isValid())
                throw VcError(ErrorNumber::DatabaseFailure,
                              QStringLiteral("Unreadable date in the usage data: ") +
                                  QString::fromUtf8(lastDate));
        }

        const CachedName& workstationText = *workstation.value();
        const CachedName& userText = *user.value();
        const ExportKey key{workstationText.number, userText.number, applicationName.number,
                            lastDay.toJulianDay()};
        if (keys.contains(key))
            continue; // written by an earlier export: kept as it is, never counted twice
        auto pending = pendingIndex.constFind(key);
        if (pending == pendingIndex.constEnd()) {
            pending = pendingIndex.insert(key, pendingRows.size());
            pendingRows.append(
                {row.workstationKey, row.userKey, application.value(), lastDay.toJulianDay(), 0});
        }
        // Every title of the application adds to its one row, each in whole seconds as the
        // engine turns a stored real into a whole number; a damaged huge value saturates.
        qint64& seconds = pendingRows[pending.value()].seconds;
        if (__builtin_add_overflow(seconds, wholeSeconds(row.seconds), &seconds))
            seconds =
                row.seconds < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    }

    QByteArray dayText;
    for (const PendingRow& pendingRow : pendingRows) {
        dayText = Dates::toStored(QDate::fromJulianDay(pendingRow.day)).toUtf8();
        file.addRow(textOf(*workstations.constFind(pendingRow.workstationKey).value()),
                    textOf(applications[static_cast<size_t>(pendingRow.application)]), pendingRow.seconds,
                    dayText, textOf(*users.constFind(pendingRow.userKey).value()));
        ++added;
    }
    return added;
}

void recordExport(ManagerDatabase& database, const QString& path, std::optional<QDate> from,
                  std::optional<QDate> to, qint64 rows) {
    const auto day = [](const std::optional<QDate>& date) {
        return date ? Dates::toStored(*date) : QString();
    };
    AuditLog::record(database, QStringLiteral("export"),
                     QStringLiteral("from=") + day(from) + QStringLiteral("; to=") + day(to) +
                         QStringLiteral("; rows=") + QString::number(rows) + QStringLiteral("; output=") +
                         QFileInfo(path).absoluteFilePath());
}
