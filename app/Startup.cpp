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

#include <sys/stat.h>

StartupOptions ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Vellumcrest Manager: application usage monitoring console"));
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
        QStringLiteral("page"), QStringLiteral("Page to show for --screenshot, as the breadcrumb names it."),
        QStringLiteral("NAME"));
    const QCommandLineOption settings(QStringLiteral("settings"),
                                      QStringLiteral("Settings file to use instead of the per-user one."),
                                      QStringLiteral("FILE"));
    parser.addOptions({home, network, screenshot, page, settings});
    parser.process(arguments);
    return {parser.value(home), parser.value(network), parser.value(screenshot), parser.value(page),
            parser.value(settings)};
}

QString CorruptedSettingsMessage() {
    return QStringLiteral("The registry settings for this application have been corrupted.  Please reinstall "
                          "Vellumcrest Manager to fix the problem.  Please email ") +
           Captions::kSupportEmail + QStringLiteral(" if you think that no one has hacked the settings.");
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
        m_feedback.message(CorruptedSettingsMessage(), title, Feedback::Icon::Critical,
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

std::unique_ptr<frmMain> Startup::run(const QString& programFolder, const QString& networkSource) {
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
        AppContext context{m_settings, m_feedback, m_dialogs, programFolder, networkSource, m_flags};
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
