// Start-up sequence and the start-up error handler.
#include "app/Startup.h"

#include "app/frmLogin.h"
#include "app/frmMain.h"
#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/Settings.h"
#include "base/VcError.h"
#include "base/Version.h"
#include "store/AuditLog.h"
#include "store/ManagerDatabase.h"
#include "widgets/DialogRunner.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>

namespace {

// Says what is wrong, points to --help, and ends the process as a usage error.
[[noreturn]] void refuseUsage(const QString& message) {
    std::fprintf(stderr, "%s\nSee --help.\n", qPrintable(message));
    std::exit(2);
}

} // namespace

StartupOptions parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Vellumcrest Manager: application usage monitoring console\n"
        "\n"
        "Without a command, the console starts (it needs a display). The commands run without\n"
        "one, for scheduled runs:\n"
        "  collect [--scan] [--wait SECONDS]\n"
        "      The start-up download of every monitored workstation (after a network scan with\n"
        "      --scan, which monitors every machine found), one line per workstation. Writers\n"
        "      take turns: while the console downloads or another collect runs, it waits up to\n"
        "      --wait seconds (default 60), then gives up as busy.\n"
        "  report --from DATE --to DATE [--applications A,B] [--users U,V] [--workstations W,X]\n"
        "         [--pseudonymise | --pseudonymise-workstations]\n"
        "         --format html|csv|pdf [--csv-raw] --output FILE\n"
        "      The Application Usage Report for the days, as the Reports page makes it. Lists\n"
        "      default to everything, as the criteria page starts; names are exact (letter case\n"
        "      counts) except workstation names. A CSV file whose name ends in .detail.csv gets\n"
        "      one row per day, application, user and workstation; names starting with =, +, -,\n"
        "      @, a tab or a carriage return get a leading apostrophe unless --csv-raw is given.\n"
        "      --pseudonymise names users by stable pseudonyms (the site key Data/pseudonym.key,\n"
        "      made on first use), --pseudonymise-workstations workstations as well; a selection\n"
        "      of fewer users than [Privacy] MinimumGroup (default 5) is refused.\n"
        "  export --from DATE --to DATE --output FILE\n"
        "      The Export Data command: the usage of the days into a database file.\n"
        "  audit --from DATE --to DATE [--format csv]\n"
        "      The audit log's rows of the days (UTC), as text or CSV on standard output.\n"
        "  audit --verify\n"
        "      Recomputes the audit log's hash chain and names the first row that does not match.\n"
        "  redaction list | add --pattern P [--replacement R] [--position N] |\n"
        "            remove --pattern P | apply [--wait SECONDS]\n"
        "      The site's title redaction rules, which the import applies: a title matching a\n"
        "      pattern (* any run, ? one character, letter case ignored) is stored as the\n"
        "      replacement (default (private)). apply rewrites the titles already stored.\n"
        "  store init\n"
        "      Creates the program folder and its empty database, for a machine that runs only\n"
        "      commands (the console does it at its first start). No other command creates one.\n"
        "Dates are YYYY-MM-DD. Files written are new files readable by their owner only; an\n"
        "existing --output must be a regular file (not a link, device or pipe) and never the\n"
        "database. --quiet prints only problems. When the console asks for a password at\n"
        "start-up, commands run only with --password-file, a file only its owner may read\n"
        "whose first line is the password.\n"
        "\n"
        "The network: --network smb:FILE reads a real Windows network described by the INI\n"
        "file FILE (see man vellumcrest-manager); sim:DIR is a simulated one. Without\n"
        "--network, the value Network= of the [Settings] section of the settings file is used.\n"
        "\n"
        "Exit status of a command: 0 done (collect: every monitored workstation read);\n"
        "1 collect: some workstations could not be read, or the scan could not list the\n"
        "network or found none; audit --verify: a row does not match; 2 usage error (a\n"
        "damaged settings file included) or refused request (a pseudonymised report below\n"
        "the minimum group, a [Privacy] setting out of range, a refused or unknown\n"
        "redaction rule), nothing done; 3 the database failed (none at the path, damaged,\n"
        "newer, a failed write) or is busy, the pseudonym key could not be read or made, or\n"
        "the output could not be written."));
    const QCommandLineOption help = parser.addHelpOption();
    // Our own: the program's name, not the settings' application name, before the version.
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays version information."));
    const QCommandLineOption home(QStringLiteral("home"),
                                  QStringLiteral("Program folder holding Data/ and Help/."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption network(
        QStringLiteral("network"),
        QStringLiteral("Monitored network: smb:FILE (a Windows network described by FILE) or sim:DIR "
                       "(a simulated one). Default: Network= in [Settings] of the settings file, else "
                       "sim:<program folder>/Network when it exists."),
        QStringLiteral("SOURCE"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Run the start-up, save a PNG of the main window, exit."), QStringLiteral("FILE"));
    const QCommandLineOption page(
        QStringLiteral("page"),
        QStringLiteral(
            "Page to show for --screenshot, as the breadcrumb names it; Charts: the Reports page's charts."),
        QStringLiteral("NAME"));
    const QCommandLineOption settings(QStringLiteral("settings"),
                                      QStringLiteral("Settings file to use instead of the per-user one."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Commands: print only problems (for cron)."));
    const QCommandLineOption scan(QStringLiteral("scan"),
                                  QStringLiteral("collect: scan the network for the agent first."));
    const QCommandLineOption wait(
        QStringLiteral("wait"),
        QStringLiteral("collect, redaction apply: seconds to wait for another writer (default 60)."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption pseudonymise(QStringLiteral("pseudonymise"),
                                          QStringLiteral("report: users by pseudonym."));
    const QCommandLineOption pseudonymiseWorkstations(
        QStringLiteral("pseudonymise-workstations"),
        QStringLiteral("report: users and workstations by pseudonym."));
    const QCommandLineOption verify(QStringLiteral("verify"),
                                    QStringLiteral("audit: recompute the audit log's hash chain."));
    const QCommandLineOption pattern(QStringLiteral("pattern"),
                                     QStringLiteral("redaction add, remove: the title pattern."),
                                     QStringLiteral("P"));
    const QCommandLineOption replacement(
        QStringLiteral("replacement"), QStringLiteral("redaction add: the replacement (default (private))."),
        QStringLiteral("R"));
    const QCommandLineOption position(
        QStringLiteral("position"),
        QStringLiteral("redaction add: where the rule goes (1 is first; default last)."),
        QStringLiteral("N"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("report, export, audit: first day."),
                                  QStringLiteral("DATE"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("report, export, audit: last day."),
                                QStringLiteral("DATE"));
    const QCommandLineOption applications(QStringLiteral("applications"),
                                          QStringLiteral("report: applications to include (default: all)."),
                                          QStringLiteral("A,B"));
    const QCommandLineOption users(QStringLiteral("users"),
                                   QStringLiteral("report: users to include (default: all)."),
                                   QStringLiteral("U,V"));
    const QCommandLineOption workstations(QStringLiteral("workstations"),
                                          QStringLiteral("report: workstations to include (default: all)."),
                                          QStringLiteral("W,X"));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("report: html, csv or pdf; audit: csv."),
                                    QStringLiteral("FORMAT"));
    const QCommandLineOption csvRaw(QStringLiteral("csv-raw"),
                                    QStringLiteral("report: CSV names exactly as stored, no apostrophe."));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("report, export: file to write."), QStringLiteral("FILE"));
    const QCommandLineOption passwordFile(
        QStringLiteral("password-file"),
        QStringLiteral("Commands: owner-only file whose first line is the start-up password."),
        QStringLiteral("FILE"));
    parser.addOptions({version, home,         network,  screenshot, page,         settings,
                       quiet,   scan,         wait,     verify,     pseudonymise, pseudonymiseWorkstations,
                       pattern, replacement,  position, from,       to,           applications,
                       users,   workstations, format,   csvRaw,     output,       passwordFile});
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("collect, report, export, audit, redaction ACTION or store init."),
        QStringLiteral("[command]"));
    if (!parser.parse(arguments))
        refuseUsage(parser.errorText());
    if (parser.isSet(version)) {
        std::printf("vellumcrest-manager %s\n", Version::kText);
        std::exit(0);
    }
    // The arguments are valid: this only answers --help and --help-all.
    if (parser.isSet(help) || arguments.contains(QStringLiteral("--help-all")))
        parser.process(arguments);

    StartupOptions options;
    options.home = parser.value(home);
    options.network = parser.value(network);
    options.screenshot = parser.value(screenshot);
    options.page = parser.value(page);
    options.settingsFile = parser.value(settings);
    QStringList positional = parser.positionalArguments();
    options.command = positional.isEmpty() ? QString() : positional.takeFirst();
    if (options.command == QLatin1String("store")) {
        options.action = positional.isEmpty() ? QString() : positional.takeFirst();
        if (options.action != QLatin1String("init"))
            refuseUsage(QStringLiteral("store needs an action: store init"));
    }
    if (options.command == QLatin1String("redaction")) {
        options.action = positional.isEmpty() ? QString() : positional.takeFirst();
        static const QStringList kActions = {QStringLiteral("list"), QStringLiteral("add"),
                                             QStringLiteral("remove"), QStringLiteral("apply")};
        if (!kActions.contains(options.action))
            refuseUsage(QStringLiteral("redaction needs an action: list, add, remove or apply"));
    }
    if (!positional.isEmpty())
        refuseUsage(QStringLiteral("Only one command at a time: ") +
                    parser.positionalArguments().join(QLatin1Char(' ')));
    static const QStringList kCommands = {QStringLiteral("collect"),   QStringLiteral("report"),
                                          QStringLiteral("export"),    QStringLiteral("audit"),
                                          QStringLiteral("redaction"), QStringLiteral("store")};
    if (!options.command.isEmpty() && !kCommands.contains(options.command))
        refuseUsage(QStringLiteral("Unknown command: ") + options.command);

    // Each option belongs to some commands; given elsewhere it is a mistake, not something to ignore.
    const QStringList anyCommand = {QStringLiteral("collect"),   QStringLiteral("report"),
                                    QStringLiteral("export"),    QStringLiteral("audit"),
                                    QStringLiteral("redaction"), QStringLiteral("store")};
    const QList<std::pair<const QCommandLineOption*, QStringList>> owners = {
        {&screenshot, {QString()}},
        {&page, {QString()}},
        {&quiet, anyCommand},
        {&scan, {QStringLiteral("collect")}},
        {&wait, {QStringLiteral("collect"), QStringLiteral("redaction")}},
        {&pattern, {QStringLiteral("redaction")}},
        {&replacement, {QStringLiteral("redaction")}},
        {&position, {QStringLiteral("redaction")}},
        {&verify, {QStringLiteral("audit")}},
        {&pseudonymise, {QStringLiteral("report")}},
        {&pseudonymiseWorkstations, {QStringLiteral("report")}},
        {&from, {QStringLiteral("report"), QStringLiteral("export"), QStringLiteral("audit")}},
        {&to, {QStringLiteral("report"), QStringLiteral("export"), QStringLiteral("audit")}},
        {&applications, {QStringLiteral("report")}},
        {&users, {QStringLiteral("report")}},
        {&workstations, {QStringLiteral("report")}},
        {&format, {QStringLiteral("report"), QStringLiteral("audit")}},
        {&csvRaw, {QStringLiteral("report")}},
        {&output, {QStringLiteral("report"), QStringLiteral("export")}},
        {&passwordFile, anyCommand}};
    for (const auto& [option, commands] : owners) {
        if (parser.isSet(*option) && !commands.contains(options.command))
            refuseUsage(QStringLiteral("--") + option->names().constFirst() +
                        (options.command.isEmpty()
                             ? QStringLiteral(" needs a command")
                             : QStringLiteral(" does not apply to ") + options.command));
    }
    options.quiet = parser.isSet(quiet);
    options.scan = parser.isSet(scan);
    if (parser.isSet(wait)) {
        bool number = false;
        options.waitSeconds = parser.value(wait).toInt(&number);
        // A day at most: a turn held longer is a writer that hangs, not one that works.
        if (!number || options.waitSeconds < 0 || options.waitSeconds > 86400)
            refuseUsage(QStringLiteral("--wait needs a number of seconds from 0 to 86400, not ") +
                        parser.value(wait));
    }
    // Which redaction action takes which option: given to another, it is a mistake.
    const bool adds = options.action == QLatin1String("add");
    if (options.command == QLatin1String("redaction")) {
        if ((adds || options.action == QLatin1String("remove")) != parser.isSet(pattern))
            refuseUsage(parser.isSet(pattern)
                            ? QStringLiteral("--pattern applies to redaction add and remove only")
                            : QStringLiteral("redaction ") + options.action +
                                  QStringLiteral(" needs --pattern P"));
        if (!adds && (parser.isSet(replacement) || parser.isSet(position)))
            refuseUsage(QStringLiteral("--replacement and --position apply to redaction add only"));
        if (parser.isSet(wait) && options.action != QLatin1String("apply"))
            refuseUsage(QStringLiteral("--wait applies to redaction apply only"));
    }
    options.pattern = parser.value(pattern);
    options.replacement = parser.value(replacement);
    if (parser.isSet(position)) {
        bool number = false;
        options.position = parser.value(position).toInt(&number);
        if (!number || options.position < 1)
            refuseUsage(QStringLiteral("--position needs a whole number from 1, not ") +
                        parser.value(position));
    }
    options.verify = parser.isSet(verify);
    options.pseudonymiseWorkstations = parser.isSet(pseudonymiseWorkstations);
    options.pseudonymise = parser.isSet(pseudonymise) || options.pseudonymiseWorkstations;
    options.from = parser.value(from);
    options.to = parser.value(to);
    // Not given means "everything", unlike a given empty list.
    if (parser.isSet(applications))
        options.applications = parser.value(applications);
    if (parser.isSet(users))
        options.users = parser.value(users);
    if (parser.isSet(workstations))
        options.workstations = parser.value(workstations);
    options.format = parser.value(format);
    options.csvRaw = parser.isSet(csvRaw);
    options.output = parser.value(output);
    options.passwordFile = parser.value(passwordFile);
    return options;
}

Startup::Startup(Settings& settings, Feedback& feedback, DialogRunner& dialogs, Terminator terminate)
    : m_settings(settings), m_feedback(feedback), m_dialogs(dialogs), m_terminate(std::move(terminate)) {
    m_settings.setWriteFailureHandler([this](const QString& message) {
        m_feedback.message(message, Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Warning,
                           Feedback::Buttons::Ok);
    });
    m_login = [this] {
        frmLogin dialog(m_settings, m_feedback);
        m_dialogs.run(dialog);
        m_failedLogins = dialog.failedAttempts();
        return dialog.loginSucceeded();
    };
}

void Startup::recordFailedLogins(const QString& databasePath) {
    // Only a database that is there records them: a wrong password creates nothing.
    if (!QFileInfo::exists(databasePath))
        return;
    try {
        const std::unique_ptr<ManagerDatabase> database = ManagerDatabase::open(databasePath);
        AuditLog::record(*database, QStringLiteral("login-failed"),
                         QStringLiteral("attempts=") + QString::number(m_failedLogins));
    } catch (const VcError& error) {
        m_feedback.message(error.description(), Captions::titled(QStringLiteral(" Manager")),
                           Feedback::Icon::Warning, Feedback::Buttons::Ok);
    }
}

void Startup::reportReadableDatabase(const QString& path) {
    const QFileInfo database(path);
    if (!database.isFile() || !(database.permissions() & (QFile::ReadGroup | QFile::ReadOther |
                                                          QFile::WriteGroup | QFile::WriteOther)))
        return;
    // Once per file: the operator decides; a message at every start would only be clicked away.
    const QString reported = QDir::cleanPath(database.absoluteFilePath());
    if (m_settings.value(QStringLiteral("Settings"), QStringLiteral("ReadableDatabaseReported"), QString()) ==
        reported)
        return;
    m_feedback.message(
        QStringLiteral("The database %1 can be read by other users of this computer, and it holds "
                       "every user's usage. Make it readable by its owner only (chmod 600).")
            .arg(QDir::toNativeSeparators(reported)),
        Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Warning, Feedback::Buttons::Ok);
    m_settings.setValue(QStringLiteral("Settings"), QStringLiteral("ReadableDatabaseReported"), reported);
}

Startup::~Startup() {
    m_settings.setWriteFailureHandler({});
}

void Startup::handleError(const VcError& error) {
    handleError(error.number(), error.description());
}

void Startup::handleError(int number, const QString& description) {
    const QString title = Captions::titled(QStringLiteral(" Manager"));
    if (number == ErrorNumber::InvalidArgument || number == ErrorNumber::TypeMismatch) {
        m_feedback.message(corruptedSettingsMessage(), title, Feedback::Icon::Critical,
                           Feedback::Buttons::Ok);
        m_terminate(1);
        return;
    }
    if (number == ErrorNumber::ObjectUnloaded) {
        m_terminate(0);
        return;
    }
    m_feedback.message(QStringLiteral("Unhandled error #") + QString::number(number) + QStringLiteral(" (") +
                           description + QLatin1Char(')'),
                       title, Feedback::Icon::Critical, Feedback::Buttons::Ok);
    m_terminate(1);
}

std::unique_ptr<frmMain> Startup::run(const QString& programFolder, Network& network) {
    try {
        m_flags.previouslyLoaded = m_settings.previouslyLoaded();
        m_flags.passwordProtected = m_settings.passwordProtected();
    } catch (const VcError& error) {
        handleError(error);
        return nullptr;
    }

    // The login runs with no handler active: it handles its own outcomes.
    if (m_flags.passwordProtected) {
        m_flags.loginSucceeded = m_login();
        if (m_failedLogins > 0)
            recordFailedLogins(programFolder + QStringLiteral("/Data/VCManager.mdb"));
        if (!m_flags.loginSucceeded)
            return nullptr;
    }

    // The database, the report and exports hold every user's usage: whatever the console creates
    // from here on is its owner's only.
    ::umask(S_IRWXG | S_IRWXO);
    reportReadableDatabase(programFolder + QStringLiteral("/Data/VCManager.mdb"));

    // The window outlives the handler's message: terminating leaves it exactly as it was.
    std::unique_ptr<frmMain> window;
    try {
        AppContext context{m_settings, m_feedback, m_dialogs, programFolder, network, m_flags};
        window = std::make_unique<frmMain>(context);
        window->show();
        window->run();
        return window;
    } catch (const VcError& error) {
        handleError(error);
    } catch (const std::exception& error) {
        handleError(ErrorNumber::DatabaseFailure, QString::fromLocal8Bit(error.what()));
    }
    return nullptr;
}
