// The scheduled-run commands: each one the console's own code, driven from the arguments.
#include "app/CommandLine.h"

#include "app/HeadlessFeedback.h"
#include "app/Password.h"
#include "app/Startup.h"
#include "base/Settings.h"
#include "base/VcError.h"
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "discovery/AgentScan.h"
#include "discovery/WorkstationRegistry.h"
#include "export/DataExport.h"
#include "groupings/ApplicationNames.h"
#include "network/NetworkFactory.h"
#include "report/GenerateData.h"
#include "report/ReportCsv.h"
#include "report/ReportHeading.h"
#include "report/ReportHtml.h"
#include "report/ReportPdf.h"
#include "report/ReportProgress.h"
#include "report/ReportSums.h"
#include "store/ManagerDatabase.h"

#include <QDate>
#include <QDateTime>
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

// Options that take a value, ours and those QGuiApplication reads: the word after them is that
// value, never the command.
const QStringList kValueOptions = {QStringLiteral("home"),
                                   QStringLiteral("network"),
                                   QStringLiteral("screenshot"),
                                   QStringLiteral("page"),
                                   QStringLiteral("settings"),
                                   QStringLiteral("from"),
                                   QStringLiteral("to"),
                                   QStringLiteral("applications"),
                                   QStringLiteral("users"),
                                   QStringLiteral("workstations"),
                                   QStringLiteral("format"),
                                   QStringLiteral("output"),
                                   QStringLiteral("password-file"),
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

// A failure that ends the command with exit code 2.
struct Fatal {
    QString message;
};

class Command {
public:
    Command(const StartupOptions& options, Settings& settings, QString programFolder, QString networkSource,
            std::FILE* out, std::FILE* err)
        : m_options(options), m_settings(settings), m_folder(std::move(programFolder)),
          m_networkSource(std::move(networkSource)), m_out(out), m_err(err) {}

    int run() {
        try {
            // Everything is checked before anything is read or written.
            if (m_options.command != QLatin1String("collect"))
                readRange();
            if (m_options.command == QLatin1String("report"))
                checkReportOptions();
            if (m_options.command == QLatin1String("export") && m_options.output.isEmpty())
                throw Fatal{QStringLiteral("export needs --output FILE")};
            login();
            // As in the console: what the commands create holds every user's usage.
            ::umask(S_IRWXG | S_IRWXO);
            const std::unique_ptr<ManagerDatabase> database =
                ManagerDatabase::open(m_folder + QStringLiteral("/Data/VCManager.mdb"));
            if (m_options.command == QLatin1String("collect"))
                return collect(*database);
            if (m_options.command == QLatin1String("report"))
                return report(*database);
            return exportData(*database);
        } catch (const Fatal& fatal) {
            say(m_err, fatal.message);
        } catch (const VcError& error) {
            const bool settings =
                error.number() == ErrorNumber::InvalidArgument || error.number() == ErrorNumber::TypeMismatch;
            say(m_err, settings ? corruptedSettingsMessage() : error.description());
        } catch (const std::exception& error) {
            say(m_err, QString::fromLocal8Bit(error.what()));
        }
        return kFatal;
    }

private:
    static void say(std::FILE* stream, const QString& line) {
        std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stream);
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

    void checkReportOptions() {
        static const QStringList formats = {QStringLiteral("html"), QStringLiteral("csv"),
                                            QStringLiteral("pdf")};
        if (!formats.contains(m_options.format))
            throw Fatal{
                QStringLiteral("report needs --format html, csv or pdf") +
                (m_options.format.isEmpty() ? QString() : QStringLiteral(", not ") + m_options.format)};
        if (m_options.output.isEmpty())
            throw Fatal{QStringLiteral("report needs --output FILE")};
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
        if (!check.matches)
            throw Fatal{QStringLiteral("The password in ") + m_options.passwordFile +
                        QStringLiteral(" is not the start-up password.")};
        if (check.needsUpgrade)
            m_settings.storePassword(Password::hash(file.password));
    }

    int collect(ManagerDatabase& database) {
        std::unique_ptr<Network> network = createNetwork(m_networkSource, m_folder);
        QStringList workstations;
        if (m_options.scan) {
            const std::optional<QStringList> found = scanForAgents(*network, m_feedback);
            if (!found)
                throw Fatal{
                    QStringLiteral("The network's machines could not be listed; nothing was scanned.")};
            // As the console's scan: every machine found is written to the registry as monitored.
            QList<WorkstationRegistry::Node> nodes;
            for (const QString& name : *found)
                nodes.append({name, true});
            WorkstationRegistry(database).update(nodes);
            m_settings.storePreviouslyLoaded();
            say(m_out, WorkstationRegistry::foundText(static_cast<int>(found->size())));
            workstations = *found;
        } else {
            workstations = WorkstationRegistry(database).monitoredNames();
        }
        if (workstations.isEmpty())
            say(m_err,
                QStringLiteral("No workstation is monitored: run collect --scan, or tick machines on the "
                               "Workstation Data page."));
        WorkstationMerge merge(database);
        const DownloadSummary summary = downloadWorkstations(merge, *network, workstations);
        for (const QString& name : workstations) {
            QString line = name + QStringLiteral(": read");
            for (const auto& [notRead, reason] : summary.notRead) {
                if (notRead == name)
                    line = name + QStringLiteral(": not read: ") + reason;
            }
            if (summary.datedAfterToday.contains(name))
                line += QStringLiteral(" (rows dated after today left out: check the machine's clock)");
            say(m_out, line);
        }
        say(m_out, downloadOutcomeText(summary));
        return summary.notRead.isEmpty() ? kOk : kPartial;
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

        const QString& output = m_options.output;
        const bool csv = m_options.format == QLatin1String("csv");
        ReportSums report(csv && ReportCsv::kindOf(output) == ReportCsv::Kind::Detail
                              ? ReportSums::Detail::Kept
                              : ReportSums::Detail::Dropped);
        ReportProgress progress;
        int progressStep = 1;
        const ExtractionCounts counts = GenerateData(database, criteria, progress, progressStep, report);
        if (csv) {
            ReportCsv::write(report, output, ReportCsv::kindOf(output));
        } else if (m_options.format == QLatin1String("html")) {
            ReportHtml::write(report, output);
        } else {
            // The pages the Reports page prints, headed with the days and what was left out.
            const auto choice = [](const QStringList& listed, const QStringList& chosen) {
                QStringList left;
                for (const QString& name : listed)
                    if (!chosen.contains(name))
                        left.append(name);
                return ReportHeading::choiceText(chosen, left);
            };
            ReportHeading heading;
            heading.period = ReportHeading::periodText(m_from, m_to);
            heading.criteria = ReportHeading::criteriaText(choice(applications, criteria.applications),
                                                           choice(users, criteria.users),
                                                           choice(workstations, criteria.workstations));
            heading.generated = QDateTime::currentDateTime();
            const QString error = writeReportPdf(report, heading, output);
            if (!error.isEmpty())
                throw Fatal{QStringLiteral("Could not write the report to ") + output + QStringLiteral(": ") +
                            error};
        }
        ownerOnly(output);
        if (counts.kept == 0)
            say(m_err, QStringLiteral("No usage matches these days and names; the report is empty."));
        say(m_out, QStringLiteral("Report written to ") + QFileInfo(output).absoluteFilePath());
        return kOk;
    }

    int exportData(ManagerDatabase& database) {
        DataExport exporter(m_feedback, database);
        const std::optional<QString> status = exporter.ExportData(m_options.output, m_from, m_to);
        // A message means the export failed or was refused (the headless answer never deletes).
        if (!status || m_feedback.messages() > 0)
            throw Fatal{QStringLiteral("Nothing was exported to ") + m_options.output +
                        (status ? QStringLiteral(": ") + *status : QString())};
        ownerOnly(m_options.output);
        say(m_out, *status + QStringLiteral(" (%1 rows added)").arg(exporter.rowsAdded()));
        return kOk;
    }

    // A file that was already there keeps its permissions through a replace; these never may.
    static void ownerOnly(const QString& path) {
        if (!QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            throw Fatal{QStringLiteral("Written, but could not be made owner-only: ") + path};
    }

    const StartupOptions& m_options;
    Settings& m_settings;
    QString m_folder;
    QString m_networkSource;
    std::FILE* m_out;
    std::FILE* m_err;
    HeadlessFeedback m_feedback;
    QDate m_from;
    QDate m_to;
};

} // namespace

bool runsWithoutDisplay(int argc, char** argv) {
    static const QStringList headless = {
        QStringLiteral("help"),         QStringLiteral("h"),       QStringLiteral("?"),
        QStringLiteral("help-all"),     QStringLiteral("version"), QStringLiteral("v"),
        QStringLiteral("scan"),         QStringLiteral("from"),    QStringLiteral("to"),
        QStringLiteral("applications"), QStringLiteral("users"),   QStringLiteral("workstations"),
        QStringLiteral("format"),       QStringLiteral("output"),  QStringLiteral("password-file")};
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--"))
            return i + 1 < argc;
        if (argument.startsWith(QLatin1Char('-'))) {
            const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1)
                                     .section(QLatin1Char('='), 0, 0);
            if (headless.contains(name))
                return true;
            if (!argument.contains(QLatin1Char('=')) && kValueOptions.contains(name))
                ++i;
            continue;
        }
        return true;
    }
    return false;
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
    struct stat info {};
    QString refusal;
    if (::fstat(fd, &info) != 0)
        refusal = QString::fromLocal8Bit(std::strerror(errno));
    else if (!S_ISREG(info.st_mode))
        refusal = QStringLiteral("it is not a regular file");
    else if (info.st_uid != ::geteuid())
        refusal = QStringLiteral("it is owned by another user");
    else if (info.st_mode & (S_IRWXG | S_IRWXO))
        refusal = QStringLiteral("others may read or change it (chmod 600)");
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
    const qsizetype end = bytes.indexOf('\n');
    QByteArray line = end >= 0 ? bytes.left(end) : bytes;
    if (line.endsWith('\r'))
        line.chop(1);
    result.ok = true;
    result.password = QString::fromUtf8(line);
    return result;
}

int run(const StartupOptions& options, Settings& settings, const QString& programFolder,
        const QString& networkSource, std::FILE* out, std::FILE* err) {
    Command command(options, settings, programFolder, networkSource, out, err);
    return command.run();
}

} // namespace CommandLine
