// Start-up sequence and the start-up error handler.
#include "app/Startup.h"

#include "app/frmLogin.h"
#include "app/frmMain.h"
#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/Settings.h"
#include "base/VcError.h"
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
        "Without a command, the console starts. The commands run without a display, for\n"
        "scheduled runs:\n"
        "  collect [--scan]\n"
        "      The start-up download of every monitored workstation (after a network scan with\n"
        "      --scan), one line per workstation. Exit 0 when all were read, 1 when some could\n"
        "      not be, 2 on a fatal error.\n"
        "  report --from DATE --to DATE [--applications A,B] [--users U,V] [--workstations W,X]\n"
        "         --format html|csv|pdf --output FILE\n"
        "      The Application Usage Report for the days, as the Reports page makes it. Lists\n"
        "      default to everything, as the criteria page starts; names are exact (letter case\n"
        "      counts) except workstation names. A CSV file whose name ends in .detail.csv gets\n"
        "      one row per day, application, user and workstation.\n"
        "  export --from DATE --to DATE --output FILE\n"
        "      The Export Data command: the usage of the days into a database file.\n"
        "Dates are YYYY-MM-DD. Written files are readable by their owner only. Commands exit 2\n"
        "on a usage error. When the console asks for a password at start-up, commands run only\n"
        "with --password-file, a file only its owner may read whose first line is the password."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption home(QStringLiteral("home"),
                                  QStringLiteral("Program folder holding Data/ and Help/."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption network(
        QStringLiteral("network"), QStringLiteral("Monitored network, e.g. sim:DIR for a simulated network."),
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
    const QCommandLineOption scan(QStringLiteral("scan"),
                                  QStringLiteral("collect: scan the network for the agent first."));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("report, export: first day."),
                                  QStringLiteral("DATE"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("report, export: last day."),
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
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("report: html, csv or pdf."),
                                    QStringLiteral("FORMAT"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("report, export: file to write."), QStringLiteral("FILE"));
    const QCommandLineOption passwordFile(
        QStringLiteral("password-file"),
        QStringLiteral("Commands: owner-only file whose first line is the start-up password."),
        QStringLiteral("FILE"));
    parser.addOptions({home, network, screenshot, page, settings, scan, from, to, applications, users,
                       workstations, format, output, passwordFile});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("collect, report or export."),
                                 QStringLiteral("[command]"));
    if (!parser.parse(arguments))
        refuseUsage(parser.errorText());
    // The arguments are valid: this only answers --help, --help-all and --version.
    parser.process(arguments);

    StartupOptions options;
    options.home = parser.value(home);
    options.network = parser.value(network);
    options.screenshot = parser.value(screenshot);
    options.page = parser.value(page);
    options.settingsFile = parser.value(settings);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        refuseUsage(QStringLiteral("Only one command at a time: ") + positional.join(QLatin1Char(' ')));
    options.command = positional.value(0);
    static const QStringList kCommands = {QStringLiteral("collect"), QStringLiteral("report"),
                                          QStringLiteral("export")};
    if (!options.command.isEmpty() && !kCommands.contains(options.command))
        refuseUsage(QStringLiteral("Unknown command: ") + options.command);

    // Each option belongs to some commands; given elsewhere it is a mistake, not something to ignore.
    const QList<std::pair<const QCommandLineOption*, QStringList>> owners = {
        {&screenshot, {QString()}},
        {&page, {QString()}},
        {&scan, {QStringLiteral("collect")}},
        {&from, {QStringLiteral("report"), QStringLiteral("export")}},
        {&to, {QStringLiteral("report"), QStringLiteral("export")}},
        {&applications, {QStringLiteral("report")}},
        {&users, {QStringLiteral("report")}},
        {&workstations, {QStringLiteral("report")}},
        {&format, {QStringLiteral("report")}},
        {&output, {QStringLiteral("report"), QStringLiteral("export")}},
        {&passwordFile, {QStringLiteral("collect"), QStringLiteral("report"), QStringLiteral("export")}}};
    for (const auto& [option, commands] : owners) {
        if (parser.isSet(*option) && !commands.contains(options.command))
            refuseUsage(QStringLiteral("--") + option->names().constFirst() +
                        (options.command.isEmpty()
                             ? QStringLiteral(" needs a command")
                             : QStringLiteral(" does not apply to ") + options.command));
    }
    options.scan = parser.isSet(scan);
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
        return dialog.loginSucceeded();
    };
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
