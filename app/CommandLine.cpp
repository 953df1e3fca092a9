// The scheduled-run commands: each one the console's own code, driven from the arguments.
#include "app/CommandLine.h"

#include "app/HeadlessFeedback.h"
#include "app/Password.h"
#include "app/ProgramFolder.h"
#include "app/Startup.h"
#include "base/OutputFile.h"
#include "base/PrivateFile.h"
#include "base/Settings.h"
#include "base/VcError.h"
#include "collect/DataDownload.h"
#include "collect/RedactionStore.h"
#include "collect/Retention.h"
#include "collect/WorkstationMerge.h"
#include "discovery/AgentScan.h"
#include "discovery/WorkstationRegistry.h"
#include "export/DataExport.h"
#include "groupings/ApplicationNames.h"
#include "network/NetworkFactory.h"
#include "report/GenerateData.h"
#include "report/Pseudonyms.h"
#include "report/ReportAudit.h"
#include "report/ReportCsv.h"
#include "report/ReportHeading.h"
#include "report/ReportHtml.h"
#include "report/ReportPdf.h"
#include "report/ReportProgress.h"
#include "report/ReportSums.h"
#include "store/AuditLog.h"
#include "store/ManagerDatabase.h"

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace CommandLine {

namespace {

// The options a console start may carry, ours and those QGuiApplication reads: those that take
// a value (the word after them is that value, never the command) and plain switches.
const QStringList kConsoleValueOptions = {QStringLiteral("home"),
                                          QStringLiteral("network"),
                                          QStringLiteral("screenshot"),
                                          QStringLiteral("page"),
                                          QStringLiteral("settings"),
                                          QStringLiteral("platform"),
                                          QStringLiteral("platformpluginpath"),
                                          QStringLiteral("platformtheme"),
                                          QStringLiteral("plugin"),
                                          QStringLiteral("style"),
                                          QStringLiteral("stylesheet"),
                                          QStringLiteral("session"),
                                          QStringLiteral("display"),
                                          QStringLiteral("geometry"),
                                          QStringLiteral("qwindowgeometry"),
                                          QStringLiteral("qwindowicon"),
                                          QStringLiteral("qwindowtitle"),
                                          QStringLiteral("title"),
                                          QStringLiteral("name"),
                                          QStringLiteral("dialogs"),
                                          QStringLiteral("fontengine")};
const QStringList kConsoleSwitches = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                      QStringLiteral("nograb"), QStringLiteral("dograb"),
                                      QStringLiteral("sync")};

// A failure that ends the command: the message for standard error and the exit code.
struct Fatal {
    QString message;
    int code = kUsage;
};

class Command {
public:
    Command(const StartupOptions& options, Settings& settings, QString executableDir, QString networkSource,
            std::FILE* out, std::FILE* err)
        : m_options(options), m_settings(settings), m_executableDir(std::move(executableDir)),
          m_networkSource(std::move(networkSource)), m_out(out), m_err(err) {}

    int run() {
        try {
            AuditLog::setOrigin(AuditLog::Origin::Command);
            m_folder = ProgramFolder::locate(m_options.home, m_executableDir);
            if (m_folder.isEmpty())
                throw Fatal{
                    QStringLiteral("There is no per-user data folder (is HOME set?); give --home DIR.")};
            m_databasePath = m_folder + QStringLiteral("/Data/VCManager.mdb");
            // No output of this run may land on the database, whatever name reaches it.
            OutputFile::protect(m_databasePath);
            // Everything is checked before anything is read or written.
            checkUsage();
            login();
            // As in the console: what the commands create holds every user's usage.
            ::umask(S_IRWXG | S_IRWXO);
            if (m_options.command == QLatin1String("store"))
                return initStore();
            // A mistyped --home or the wrong account must not pass for an empty, healthy store.
            if (!QFileInfo::exists(m_databasePath))
                throw Fatal{
                    QStringLiteral("No database at %1: run \"vellumcrest-manager store init\" (with the "
                                   "same --home) to create one, or check --home and the account.")
                        .arg(m_databasePath),
                    kFailed};
            std::unique_ptr<ManagerDatabase> database;
            try {
                database = ManagerDatabase::open(m_databasePath);
            } catch (const VcError& error) {
                throw Fatal{error.description(), kFailed};
            }
            if (m_options.command == QLatin1String("collect"))
                return collect(*database);
            if (m_options.command == QLatin1String("report"))
                return report(*database);
            if (m_options.command == QLatin1String("audit"))
                return audit(*database);
            if (m_options.command == QLatin1String("redaction"))
                return redaction(*database);
            return exportData(*database);
        } catch (const Fatal& fatal) {
            say(m_err, fatal.message);
            return fatal.code;
        } catch (const VcError& error) {
            const bool settings =
                error.number() == ErrorNumber::InvalidArgument || error.number() == ErrorNumber::TypeMismatch;
            say(m_err, settings ? corruptedSettingsMessage() : error.description());
            return settings ? kUsage : kFailed;
        } catch (const std::exception& error) {
            say(m_err, QString::fromLocal8Bit(error.what()));
        }
        return kFailed;
    }

private:
    static void say(std::FILE* stream, const QString& line) {
        std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stream);
    }
    // What went well: left out with --quiet, which prints only problems.
    void tell(const QString& line) const {
        if (!m_options.quiet)
            say(m_out, line);
    }

    static QDate parseDay(const QString& option, const QString& text) {
        static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
        if (text.isEmpty())
            throw Fatal{QStringLiteral("--") + option + QStringLiteral(" DATE is required (YYYY-MM-DD)")};
        const QDate day = QDate::fromString(text, Qt::ISODate);
        if (!iso.match(text).hasMatch() || !day.isValid())
            throw Fatal{QStringLiteral("--") + option + QStringLiteral(": not a date (YYYY-MM-DD): ") + text};
        return day;
    }

    void readRange() {
        m_from = parseDay(QStringLiteral("from"), m_options.from);
        m_to = parseDay(QStringLiteral("to"), m_options.to);
        if (m_from > m_to)
            throw Fatal{QStringLiteral("--from %1 is after --to %2").arg(m_options.from, m_options.to)};
    }

    // A privacy setting out of its range stops the command before anything is read or written.
    template <typename Read> static int privacySetting(Read read) {
        try {
            return read();
        } catch (const VcError& error) {
            throw Fatal{error.description()};
        }
    }

    void checkUsage() {
        const QString& command = m_options.command;
        if (command == QLatin1String("audit"))
            checkAuditOptions();
        if (command == QLatin1String("report") || command == QLatin1String("export"))
            readRange();
        if (command == QLatin1String("report") && m_options.pseudonymise)
            m_minimumGroup = privacySetting([this] { return m_settings.minimumGroup(); });
        if (command == QLatin1String("report")) {
            static const QStringList formats = {QStringLiteral("html"), QStringLiteral("csv"),
                                                QStringLiteral("pdf")};
            if (!formats.contains(m_options.format))
                throw Fatal{
                    QStringLiteral("report needs --format html, csv or pdf") +
                    (m_options.format.isEmpty() ? QString() : QStringLiteral(", not ") + m_options.format)};
            if (m_options.csvRaw && m_options.format != QLatin1String("csv"))
                throw Fatal{QStringLiteral("--csv-raw applies to --format csv only")};
        }
        if (command == QLatin1String("report") || command == QLatin1String("export")) {
            if (m_options.output.isEmpty())
                throw Fatal{command + QStringLiteral(" needs --output FILE")};
            const QString refused = OutputFile::refusal(m_options.output);
            if (!refused.isEmpty())
                throw Fatal{QStringLiteral("--output refused: ") + refused};
        }
        if (command == QLatin1String("collect")) {
            m_keepDays = privacySetting([this] { return m_settings.keepDays(); });
            if (m_networkSource.isEmpty() && !QFileInfo(m_folder + QStringLiteral("/Network")).isDir())
                throw Fatal{QStringLiteral(
                    "No network is configured, so no workstation can be reached. Give --network "
                    "smb:FILE (a Windows network described by the INI file FILE), or set it once in the "
                    "settings file's [Settings] section as Network=smb:FILE; see man vellumcrest-manager.")};
            // The one network of this run, built only for the command that uses it.
            try {
                m_network = createNetwork(m_networkSource, m_folder);
            } catch (const VcError& error) {
                throw Fatal{error.description()};
            }
        }
    }

    void checkAuditOptions() {
        if (m_options.verify) {
            if (!m_options.from.isEmpty() || !m_options.to.isEmpty() || !m_options.format.isEmpty())
                throw Fatal{QStringLiteral("audit --verify takes no --from, --to or --format")};
            return;
        }
        readRange();
        if (!m_options.format.isEmpty() && m_options.format != QLatin1String("csv"))
            throw Fatal{QStringLiteral("audit prints text, or CSV with --format csv, not ") +
                        m_options.format};
    }

    int audit(ManagerDatabase& database) {
        if (m_options.verify) {
            const AuditLog::Verification check = AuditLog::verify(database);
            if (check.firstBad != 0) {
                say(m_err, QStringLiteral("The audit log does not verify: ") + check.reason);
                return kPartial;
            }
            tell(QStringLiteral("The audit log verifies: %1 rows, every hash matches.").arg(check.rows));
            return kOk;
        }
        const QList<ManagerDatabase::AuditRow> rows = AuditLog::rowsBetween(database, m_from, m_to);
        const QString text =
            m_options.format == QLatin1String("csv") ? AuditLog::csv(rows) : AuditLog::text(rows);
        // The rows are what was asked for, so --quiet keeps them; a full disk or closed pipe
        // must not pass for a printed log.
        if (std::fputs(text.toUtf8().constData(), m_out) < 0 || std::fflush(m_out) != 0 || std::ferror(m_out))
            throw Fatal{QStringLiteral("The audit log could not be written to standard output."), kFailed};
        return kOk;
    }

    int redaction(ManagerDatabase& database) {
        RedactionStore rules(database);
        const QString& action = m_options.action;
        try {
            if (action == QLatin1String("list")) {
                const QList<RedactionRules::Rule> listed = rules.rules();
                if (listed.isEmpty())
                    tell(QStringLiteral(
                        "No redaction rules: titles are stored as the workstations publish them."));
                QString text;
                for (qsizetype i = 0; i < listed.size(); ++i)
                    text += QStringLiteral("%1. %2=%3\n")
                                .arg(i + 1)
                                .arg(listed[i].pattern, listed[i].replacement);
                if (std::fputs(text.toUtf8().constData(), m_out) < 0 || std::fflush(m_out) != 0 ||
                    std::ferror(m_out))
                    throw Fatal{QStringLiteral("The rules could not be written to standard output."),
                                kFailed};
            } else if (action == QLatin1String("add")) {
                rules.add({m_options.pattern, m_options.replacement}, m_options.position);
                tell(QStringLiteral(
                    "Rule added; titles imported from now on follow it. Run redaction apply to "
                    "rewrite the titles already stored."));
            } else if (action == QLatin1String("remove")) {
                rules.remove(m_options.pattern);
                tell(QStringLiteral("Rule removed. Titles it replaced stay replaced."));
            } else {
                const auto turn = takeTurn(database, QStringLiteral("nothing was rewritten"));
                tell(RedactionStore::rewriteText(rules.apply()));
            }
        } catch (const VcError& error) {
            // A refused rule is the operator's to correct; anything else is the store failing.
            throw Fatal{error.description(),
                        error.number() == ErrorNumber::InvalidArgument ? kUsage : kFailed};
        }
        return kOk;
    }

    // A failed start-up password is written to the audit log of the database that is there;
    // none is created for it.
    void recordFailedLogin() {
        if (!QFileInfo::exists(m_databasePath))
            return;
        try {
            const std::unique_ptr<ManagerDatabase> database = ManagerDatabase::open(m_databasePath);
            AuditLog::record(*database, QStringLiteral("login-failed"),
                             QStringLiteral("command=") + m_options.command);
        } catch (const VcError& error) {
            say(m_err, QStringLiteral("The failed password could not be written to the audit log: ") +
                           error.description());
        }
    }

    // The login dialog's check, with the password from the file instead of the keyboard.
    void login() {
        if (!m_settings.passwordProtected())
            return;
        if (m_options.passwordFile.isEmpty())
            throw Fatal{QStringLiteral("A password is required at start-up; commands run only with "
                                       "--password-file FILE (a file only you can read, the password on its "
                                       "first line).")};
        const PasswordFile file = readPasswordFile(m_options.passwordFile);
        if (!file.ok)
            throw Fatal{file.error};
        const Password::Check check = Password::verify(m_settings.storedPassword(), file.password);
        if (!check.matches) {
            recordFailedLogin();
            throw Fatal{QStringLiteral("The password in ") + m_options.passwordFile +
                        QStringLiteral(" is not the start-up password.")};
        }
        if (check.needsUpgrade)
            m_settings.storePassword(Password::hash(file.password));
    }

    // The embedded database and its folder, made on purpose; an existing one is opened (and
    // brought up to date), never replaced.
    int initStore() {
        const bool existed = QFileInfo::exists(m_databasePath);
        const ProgramFolder::CopyReport copies = ProgramFolder::install(m_folder, m_executableDir);
        for (const QString& failure : copies.failures)
            say(m_err, failure);
        try {
            if (!existed)
                ManagerDatabase::create(m_databasePath);
            ManagerDatabase::open(m_databasePath);
        } catch (const VcError& error) {
            throw Fatal{error.description(), kFailed};
        }
        tell((existed ? QStringLiteral("The database is already there: ") : QStringLiteral("Created ")) +
             m_databasePath);
        return copies.failures.isEmpty() ? kOk : kFailed;
    }

    // One writer at a time: the console's download, a collect or a rewrite finishes first.
    std::unique_ptr<ManagerDatabase::WritersTurn> takeTurn(ManagerDatabase& database,
                                                           const QString& nothingDone) {
        QElapsedTimer waited;
        waited.start();
        bool said = false;
        std::unique_ptr<ManagerDatabase::WritersTurn> turn = database.takeWritersTurn([&] {
            if (!said)
                tell(QStringLiteral("Another program is writing to the database (the console's download or "
                                    "another collect); waiting up to %1 s.")
                         .arg(m_options.waitSeconds));
            said = true;
            return waited.elapsed() < qint64(m_options.waitSeconds) * 1000;
        });
        if (!turn)
            throw Fatal{QStringLiteral("The database is busy: another program kept writing to it for %1 s; "
                                       "%2. Run again later, or give a longer --wait.")
                            .arg(m_options.waitSeconds)
                            .arg(nothingDone),
                        kFailed};
        return turn;
    }

    int collect(ManagerDatabase& database) {
        const auto turn = takeTurn(database, QStringLiteral("nothing was collected"));
        int code = kOk;
        if (m_options.scan) {
            const std::optional<QStringList> found = scanForAgents(*m_network, m_feedback);
            if (!found) {
                const QString why = m_network->problem();
                say(m_err,
                    QStringLiteral("The network's machines could not be listed%1; nothing was scanned. "
                                   "The workstations already monitored are downloaded.")
                        .arg(why.isEmpty() ? QString() : QStringLiteral(" (") + why + QLatin1Char(')')));
                code = kPartial;
            } else {
                // As the console's scan: every machine found is written to the registry as monitored.
                QList<WorkstationRegistry::Node> nodes;
                for (const QString& name : *found)
                    nodes.append({name, true});
                WorkstationRegistry(database).update(nodes);
                AuditLog::record(database, QStringLiteral("scan"),
                                 QStringLiteral("found=%1").arg(found->size()));
                m_settings.storePreviouslyLoaded();
                tell(WorkstationRegistry::foundText(static_cast<int>(found->size())));
            }
            // Every machine found running the agent and ticked, and every one ticked before that
            // the scan did not find (switched off, or no longer answering): each gets its line.
            if (found && found->isEmpty() && !WorkstationRegistry(database).monitoredNames().isEmpty()) {
                say(m_err, QStringLiteral("The scan found no workstation running the agent, but some are "
                                          "monitored: the account may be refused or its password expired."));
                code = kPartial;
            }
        }
        const QStringList workstations = WorkstationRegistry(database).monitoredNames();
        if (workstations.isEmpty())
            say(m_err,
                m_options.scan
                    ? QStringLiteral("No workstation runs the agent on this network, so none is monitored.")
                    : QStringLiteral(
                          "No workstation is monitored: run collect --scan, or tick machines on the "
                          "Workstation Data page."));
        WorkstationMerge merge(database);
        merge.setKeptFrom(keptFrom(m_keepDays));
        const DownloadSummary summary = downloadWorkstations(merge, *m_network, workstations);
        for (const QString& name : workstations) {
            QString line = name + QStringLiteral(": read");
            bool problem = false;
            for (const auto& [notRead, reason] : summary.notRead) {
                if (notRead == name) {
                    line = name + QStringLiteral(": not read: ") + reason;
                    problem = true;
                }
            }
            if (summary.datedAfterToday.contains(name)) {
                line += QStringLiteral(" (rows dated after today left out: check the machine's clock)");
                problem = true;
            }
            if (problem)
                say(m_out, line);
            else
                tell(line);
        }
        if (summary.notRead.isEmpty() && summary.datedAfterToday.isEmpty())
            tell(downloadOutcomeText(summary));
        else
            say(m_out, downloadOutcomeText(summary));
        // Still within the writers' turn: the purge is a write like the download.
        const std::optional<RetentionOutcome> purge =
            concludeDownload(database, summary, int(workstations.size()), m_keepDays);
        if (purge)
            tell(retentionText(*purge));
        if (summary.storeFailed)
            return kFailed;
        return summary.notRead.isEmpty() ? code : kPartial;
    }
    // The names the criteria page would list, checked as the options say.
    static QStringList choose(const std::optional<QString>& given, const QStringList& listed,
                              const QString& what, Qt::CaseSensitivity sensitivity) {
        if (!given)
            return listed;
        QStringList chosen;
        QStringList unknown;
        for (const QString& raw : given->split(QLatin1Char(','))) {
            const QString name = raw.trimmed();
            if (name.isEmpty())
                continue;
            bool known = false;
            for (const QString& item : listed) {
                if (item.compare(name, sensitivity) == 0) {
                    known = true;
                    if (!chosen.contains(item))
                        chosen.append(item);
                }
            }
            if (!known)
                unknown.append(name);
        }
        if (!unknown.isEmpty())
            throw Fatal{QStringLiteral("Unknown %1: %2").arg(what, unknown.join(QStringLiteral(", ")))};
        if (chosen.isEmpty())
            throw Fatal{QStringLiteral("No %1 given").arg(what)};
        return chosen;
    }

    int report(ManagerDatabase& database) {
        QStringList applications{kUndefinedApplications};
        for (const auto& grouping : database.groupings())
            applications.append(grouping.alias);
        QStringList users;
        for (const auto& user : database.users())
            users.append(user.name);
        QStringList workstations;
        for (const auto& workstation : database.workstations())
            workstations.append(workstation.name);

        ReportCriteria criteria;
        criteria.startDate = m_from;
        criteria.endDate = m_to;
        criteria.applications =
            choose(m_options.applications, applications, QStringLiteral("applications"), Qt::CaseSensitive);
        criteria.users = choose(m_options.users, users, QStringLiteral("users"), Qt::CaseSensitive);
        criteria.workstations =
            choose(m_options.workstations, workstations, QStringLiteral("workstations"), Qt::CaseInsensitive);
        if (m_options.pseudonymise) {
            criteria.minimumGroup = m_minimumGroup;
            // No key, no report: never real names in place of pseudonyms.
            try {
                criteria.pseudonyms = std::make_shared<const Pseudonyms>(Pseudonyms::fromKeyFile(
                    m_folder + QStringLiteral("/Data/pseudonym.key"), m_options.pseudonymiseWorkstations));
            } catch (const VcError& error) {
                throw Fatal{error.description(), kFailed};
            }
        }

        const QString& output = m_options.output;
        const bool csv = m_options.format == QLatin1String("csv");
        ReportSums report(csv && ReportCsv::kindOf(output) == ReportCsv::Kind::Detail
                              ? ReportSums::Detail::Kept
                              : ReportSums::Detail::Dropped);
        ReportProgress progress;
        int progressStep = 1;
        ExtractionCounts counts;
        try {
            counts = GenerateData(database, criteria, progress, progressStep, report);
        } catch (const VcError& error) {
            // Too few people for a pseudonymised report is a refused request: nothing was written.
            throw Fatal{error.description(), error.number() == kGroupTooSmallError ? kUsage : kFailed};
        }
        try {
            if (csv) {
                ReportCsv::write(report, output, ReportCsv::kindOf(output),
                                 m_options.csvRaw ? ReportCsv::Names::Raw : ReportCsv::Names::Neutralised);
            } else if (m_options.format == QLatin1String("html")) {
                ReportHtml::write(report, output);
            } else {
                // The pages the Reports page prints, headed with the days and what was left out.
                // The people a pseudonymised report covers are counted in its heading, not named.
                const auto choice = [](const QStringList& listed, const QStringList& chosen,
                                       bool pseudonymised = false) {
                    QStringList left;
                    for (const QString& name : listed)
                        if (!chosen.contains(name))
                            left.append(name);
                    return ReportHeading::choiceText(chosen, left,
                                                     pseudonymised ? ReportHeading::Names::Counted
                                                                   : ReportHeading::Names::Shown);
                };
                ReportHeading heading;
                heading.period = ReportHeading::periodText(m_from, m_to);
                heading.criteria = ReportHeading::criteriaText(
                    choice(applications, criteria.applications),
                    choice(users, criteria.users, m_options.pseudonymise),
                    choice(workstations, criteria.workstations, m_options.pseudonymiseWorkstations));
                heading.generated = QDateTime::currentDateTime();
                const QString error = writeReportPdf(report, heading, output);
                if (!error.isEmpty())
                    throw Fatal{QStringLiteral("Could not write the report to ") + output +
                                    QStringLiteral(": ") + error,
                                kFailed};
            }
        } catch (const VcError& error) {
            throw Fatal{error.description(), kFailed};
        }
        recordReport(database, criteria, m_options.format, m_options.pseudonymise, output);
        if (counts.kept == 0)
            say(m_err, QStringLiteral("No usage matches these days and names; the report is empty."));
        tell(QStringLiteral("Report written to ") + QFileInfo(output).absoluteFilePath());
        return kOk;
    }

    int exportData(ManagerDatabase& database) {
        DataExport exporter(m_feedback, database);
        const std::optional<QString> status = exporter.ExportData(m_options.output, m_from, m_to);
        // A message means the export failed or was refused (the headless answer never deletes).
        if (!status || m_feedback.messages() > 0)
            throw Fatal{QStringLiteral("Nothing was exported to ") + m_options.output +
                            (status ? QStringLiteral(": ") + *status : QString()),
                        kFailed};
        recordExport(database, m_options.output, m_from, m_to, exporter.rowsAdded());
        tell(*status + QStringLiteral(" (%1 rows added)").arg(exporter.rowsAdded()));
        return kOk;
    }

    const StartupOptions& m_options;
    Settings& m_settings;
    QString m_executableDir;
    QString m_folder;
    QString m_databasePath;
    QString m_networkSource;
    std::unique_ptr<Network> m_network;
    std::FILE* m_out;
    std::FILE* m_err;
    HeadlessFeedback m_feedback;
    QDate m_from;
    QDate m_to;
    int m_keepDays = 0;
    int m_minimumGroup = 0;
};

} // namespace

bool runsWithoutDisplay(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--"))
            return i + 1 < argc;
        if (!argument.startsWith(QLatin1Char('-')))
            return true; // a command
        const QString name =
            argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
        if (kConsoleValueOptions.contains(name)) {
            if (!argument.contains(QLatin1Char('=')))
                ++i;
            continue;
        }
        // Help, the version, a command's option or a mistake: answered without a window.
        if (!kConsoleSwitches.contains(name))
            return true;
    }
    return false;
}

bool displayAvailable(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument = argv[i];
        // A platform or display chosen on the command line is the caller's to judge.
        if (argument == "-platform" || argument == "--platform" || argument.startsWith("-platform=") ||
            argument.startsWith("--platform=") || argument == "-display" || argument == "--display")
            return true;
    }
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool x11 = platform.isEmpty() || platform.startsWith("xcb");
    const bool wayland = platform.isEmpty() || platform.startsWith("wayland");
    if (!x11 && !wayland)
        return true; // offscreen, vnc and the like need none
    return (x11 && !qgetenv("DISPLAY").isEmpty()) || (wayland && !qgetenv("WAYLAND_DISPLAY").isEmpty()) ||
           (!platform.isEmpty() && wayland);
}

PasswordFile readPasswordFile(const QString& path) {
    PasswordFile result;
    const QByteArray name = QFile::encodeName(path);
    // Opened once and checked through the descriptor, so the file checked is the file read;
    // without blocking, so a pipe or device is refused instead of waited on.
    const int fd = ::open(name.constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.error = QStringLiteral("Cannot read the password file ") + path + QStringLiteral(": ") +
                       QString::fromLocal8Bit(std::strerror(errno));
        return result;
    }
    QString refusal = privateFileRefusal(fd);
    QByteArray bytes;
    if (refusal.isEmpty()) {
        // The first line is all that is needed; a huge file is not read whole.
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                refusal = QString::fromLocal8Bit(std::strerror(errno));
                break;
            }
            bytes.append(buffer, got);
            if (got == 0 || bytes.contains('\n') || bytes.size() > 65536)
                break;
        }
    }
    ::close(fd);
    if (!refusal.isEmpty()) {
        result.error =
            QStringLiteral("The password file ") + path + QStringLiteral(" is refused: ") + refusal;
        return result;
    }
    // Editors on Windows start a UTF-8 file with a byte order mark; it is no part of the password.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const qsizetype end = bytes.indexOf('\n');
    QByteArray line = end >= 0 ? bytes.left(end) : bytes;
    if (line.endsWith('\r'))
        line.chop(1);
    result.ok = true;
    result.password = QString::fromUtf8(line);
    return result;
}

int run(const StartupOptions& options, Settings& settings, const QString& executableDir,
        const QString& networkSource, std::FILE* out, std::FILE* err) {
    Command command(options, settings, executableDir, networkSource, out, err);
    return command.run();
}

} // namespace CommandLine
