// Entry point: the start-up routine of the console.
#include "app/CommandLine.h"
#include "app/frmMain.h"
#include "app/HeadlessFeedback.h"
#include "app/ProgramFolder.h"
#include "app/Startup.h"
#include "app/VcApplication.h"
#include "base/Captions.h"
#include "base/OutputFile.h"
#include "base/Settings.h"
#include "base/VcError.h"
#include "base/Version.h"
#include "network/NetworkFactory.h"
#include "network/NetworkWorker.h"
#include "widgets/DesktopDialogRunner.h"
#include "widgets/DesktopFeedback.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <QFileInfo>
#include <QPixmap>

namespace {

QtMessageHandler g_defaultHandler = nullptr;

// Cron mails whatever a run prints: Qt's note that it made up a runtime folder (no login session
// gives one to cron) is no problem of ours, and would arrive every night.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    g_defaultHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv) {
    // A network worker is this same program started again: it never gets to the console.
    NetworkWorker::runIfAsked(argc, argv);
    // A peer that closes its end makes a write fail, not the program end.
    std::signal(SIGPIPE, SIG_IGN);
    g_defaultHandler = qInstallMessageHandler(messageHandler);
    // A command runs where no display may be (cron): the report's PDF needs the GUI classes,
    // which the offscreen platform gives without one.
    if (CommandLine::runsWithoutDisplay(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (!CommandLine::displayAvailable(argc, argv)) {
        std::fprintf(stderr, "vellumcrest-manager: no display; the commands run without one (see "
                             "vellumcrest-manager --help).\n");
        return CommandLine::kUsage;
    }
    VcApplication app(argc, argv);

    const StartupOptions options = parseCommandLine(QCoreApplication::arguments());
    Settings settings(options.settingsFile.isEmpty() ? Settings::defaultPath() : options.settingsFile);
    // Without --network, the network stored in the settings, so that a desktop launcher
    // without options (and a cron job) reaches the site's network.
    const QString network = options.network.isEmpty() ? settings.value(QStringLiteral("Settings"),
                                                                       QStringLiteral("Network"), QString())
                                                      : options.network;
    // A command locates its program folder itself and creates nothing it was not asked to.
    if (!options.command.isEmpty()) {
        settings.setWriteFailureHandler(
            [](const QString& message) { std::fprintf(stderr, "%s\n", qPrintable(message)); });
        return CommandLine::run(options, settings, QCoreApplication::applicationDirPath(), network);
    }

    QStringList copyFailures;
    const QString folder =
        ProgramFolder::resolve(options.home, QCoreApplication::applicationDirPath(), &copyFailures);
    const bool headless = !options.screenshot.isEmpty();
    DesktopFeedback desktop;
    HeadlessFeedback unattended;
    Feedback& feedback = headless ? static_cast<Feedback&>(unattended) : desktop;
    // Missing pages show blank and the guide cannot open, but the database is unaffected: say so
    // and go on.
    if (!copyFailures.isEmpty()) {
        feedback.message(QStringLiteral("The fixed pages and the user guide could not all be copied into ") +
                             folder + QStringLiteral(":\n") + copyFailures.join(QLatin1Char('\n')),
                         Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Warning,
                         Feedback::Buttons::Ok);
    }
    if (folder.isEmpty())
        return 1;
    // The save dialogs' files never land on the database.
    OutputFile::protect(folder + QStringLiteral("/Data/VCManager.mdb"));

    // The one network of this run. A source that names no usable network is a usage error, not
    // a damaged setting.
    std::unique_ptr<Network> theNetwork;
    try {
        theNetwork = createNetwork(network, folder);
    } catch (const VcError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        if (!headless)
            feedback.message(error.description(), Captions::kProduct, Feedback::Icon::Critical);
        return 2;
    }

    // Terminating at once: no further code of the program runs and nothing is saved.
    DesktopDialogRunner dialogs;
    Startup startup(settings, feedback, dialogs, [](int exitCode) { std::_Exit(exitCode); });
    if (headless) {
        startup.setLoginPrompt([] {
            std::fprintf(stderr, "A password is required at start-up; no screenshot taken.\n");
            return false;
        });
    }
    app.setErrorHandler(
        [&startup](int number, const QString& description) { startup.handleError(number, description); });

    std::unique_ptr<frmMain> window = startup.run(folder, *theNetwork);
    // No window, or one that its start-up already closed: the program ends.
    if (!window || !window->isVisible())
        return headless ? 2 : 0;
    desktop.setParent(window.get());

    if (!options.screenshot.isEmpty()) {
        if (!options.page.isEmpty() && !window->showPageByName(options.page)) {
            std::fprintf(stderr, "Unknown page: %s\n", qPrintable(options.page));
            return 2;
        }
        QCoreApplication::processEvents();
        if (!window->grab().save(options.screenshot)) {
            std::fprintf(stderr, "Could not write %s\n", qPrintable(options.screenshot));
            return 1;
        }
        std::printf("Screenshot saved to %s\n", qPrintable(QFileInfo(options.screenshot).absoluteFilePath()));
        return 0;
    }
    return QApplication::exec();
}
