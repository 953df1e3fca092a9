// Data export: the export file's life cycle, the operator's answers and the row copy.
#include "export/DataExport.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/VcError.h"
#include "groupings/ApplicationNames.h"
#include "store/Dates.h"
#include "store/ExportFile.h"
#include "store/ManagerDatabase.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"

#include <cstring>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
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

const QByteArray* textOf(const CachedName& name) {
    return name.null ? nullptr : &name.utf8;
}

// The text of one row of a name table, found by its key.
class NameQuery {
public:
    NameQuery(sqlite3* db, const char* sql, const QString& context) : m_statement(db, sql, context) {}

    // Nothing when the table has no row with that key.
    std::optional<CachedName> read(qint64 key, NameNumbers& numbers) {
        m_statement.reset();
        m_statement.bindInt64(1, key);
        std::optional<CachedName> name;
        if (m_statement.step()) {
            name.emplace();
            name->null = m_statement.isNull(0);
            const QByteArray text = m_statement.bytes(0);
            name->utf8 = QByteArray(text.constData(), text.size()); // outlives the step
            name->number = numbers.of(QString::fromUtf8(name->utf8));
        }
        m_statement.reset();
        return name;
    }

private:
    SqlStatement m_statement;
};

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
    const QFileInfo target(path);
    QString building;
    do {
        building = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QLatin1Char('.') +
                   QString::number(QRandomGenerator::global()->generate(), 16) + QStringLiteral(".part");
    } while (QFileInfo::exists(building));
    try {
        ExportFile file(building, ExportFile::Mode::CreateNew, path);
        {
            SqlTransaction transaction(file.database(), SqlTransaction::Lock::Immediate,
                                       QStringLiteral("Could not write to ") + path);
            file.ensureTable();
            m_rowsAdded = WriteExportRows(file, m_database, from, to);
            transaction.commit();
        }
        file.close();
        QFile built(building);
        if (!built.rename(path))
            throw VcError(ErrorNumber::FileFailure, QStringLiteral("Could not create ") + path +
                                                        QStringLiteral(": ") + built.errorString());
    } catch (...) {
        QFile::remove(building);
        QFile::remove(building + QStringLiteral("-journal"));
        throw;
    }
}

void DataExport::addToFile(const QString& path, std::optional<QDate> from, std::optional<QDate> to) {
    ExportFile file(path, ExportFile::Mode::OpenExisting);
    {
        // Immediate reads the file header at once, so a file that is no database fails here.
        SqlTransaction transaction(file.database(), SqlTransaction::Lock::Immediate,
                                   QStringLiteral("Could not write to ") + path);
        file.ensureTable();
        m_rowsAdded = WriteExportRows(file, m_database, from, to);
        transaction.commit();
    }
    file.close();
}

qint64 DataExport::WriteExportRows(ExportFile& file, const ManagerDatabase& database,
                                   std::optional<QDate> from, std::optional<QDate> to) {
    if (!from || !to)
        return 0;
    sqlite3* source = database.handle();
    if (!source)
        throw VcError(ErrorNumber::DatabaseFailure, QStringLiteral("The manager database is not open"));

    // Every key the table already holds: the lookup each source row makes is one probe here.
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
    // The usage rows come through the day index alone, in its order; each name is read once
    // per key. A key without its name row drops the usage row, as a join would.
    const QString readContext = QStringLiteral("Could not read the usage data");
    SqlStatement rows(source,
                      "SELECT WorkstationKey, UserNameKey, AppTitleKey, Duration, Date FROM MGRDaySummary "
                      "WHERE Date >= ? AND Date < ?",
                      readContext);
    const QByteArray first = Dates::toStored(*from).toUtf8();
    const QByteArray afterLast = Dates::toStored(to->addDays(1)).toUtf8();
    rows.bindStaticText(1, first);
    rows.bindStaticText(2, afterLast);
    NameQuery workstationName(source, "SELECT Name FROM MGRWorkstations WHERE WorkstationID = ?",
                              readContext);
    NameQuery userName(source, "SELECT UserName FROM MGRUsers WHERE UserNameID = ?", readContext);
    NameQuery titleText(source, "SELECT AppTitle FROM MGRAppTitles WHERE AppTitleID = ?", readContext);

    ApplicationNames applicationNames(database);
    QHash<qint64, std::optional<CachedName>> workstations;
    QHash<qint64, std::optional<CachedName>> users;
    QHash<qint64, qsizetype> applicationOfTitle; // -1: no such title
    QHash<QString, qsizetype> applicationByName;
    std::vector<CachedName> applications;
    QByteArray lastDate;
    QDate lastDay;
    QByteArray lastDayText;
    qint64 added = 0;

    while (rows.step()) {
        const qint64 workstationKey = rows.int64(0);
        auto workstation = workstations.constFind(workstationKey);
        if (workstation == workstations.constEnd())
            workstation = workstations.insert(workstationKey, workstationName.read(workstationKey, numbers));
        if (!workstation.value())
            continue;

        const qint64 userKey = rows.int64(1);
        auto user = users.constFind(userKey);
        if (user == users.constEnd())
            user = users.insert(userKey, userName.read(userKey, numbers));
        if (!user.value())
            continue;

        const qint64 titleKey = rows.int64(2);
        auto application = applicationOfTitle.constFind(titleKey);
        if (application == applicationOfTitle.constEnd()) {
            qsizetype index = -1;
            if (const std::optional<CachedName> title = titleText.read(titleKey, numbers)) {
                const QString name = applicationNames.GetApplicationName(QString::fromUtf8(title->utf8));
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
            application = applicationOfTitle.insert(titleKey, index);
        }
        if (application.value() < 0)
            continue;
        const CachedName& applicationName = applications[static_cast<size_t>(application.value())];

        // Rows come in day order, so the last day read is nearly always the one needed.
        const QByteArray date = rows.bytes(4);
        if (date.size() != lastDate.size() ||
            std::memcmp(date.constData(), lastDate.constData(), size_t(date.size())) != 0) {
            lastDate = QByteArray(date.constData(), date.size());
            lastDay = Dates::fromStored(QString::fromUtf8(lastDate));
            if (!lastDay.isValid())
                throw VcError(ErrorNumber::DatabaseFailure,
                              QStringLiteral("Unreadable date in the usage data: ") +
                                  QString::fromUtf8(lastDate));
            lastDayText = Dates::toStored(lastDay).toUtf8();
        }

        const CachedName& workstationText = *workstation.value();
        const CachedName& userText = *user.value();
        const qsizetype known = keys.size();
        keys.insert({workstationText.number, userText.number, applicationName.number, lastDay.toJulianDay()});
        if (keys.size() == known)
            continue;

        file.addRow(textOf(workstationText), textOf(applicationName), rows.int64(3), lastDayText,
                    textOf(userText));
        ++added;
    }
    return added;
}
