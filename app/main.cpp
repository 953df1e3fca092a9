// Entry point: the start-up routine of the console.
#include "app/CommandLine.h"
#include "app/frmMain.h"
#include "app/HeadlessFeedback.h"
#include "app/ProgramFolder.h"
#include "app/Startup.h"
#include "app/VcApplication.h"
#include "base/Captions.h"
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

int main(int argc, char** argv) {
    // A network worker is this same program started again: it never gets to the console.
    NetworkWorker::runIfAsked(argc, argv);
    // A peer that closes its end makes a write fail, not the program end.
    std::signal(SIGPIPE, SIG_IGN);
    // A command runs where no display may be (cron): the report's PDF needs the GUI classes,
    // which the offscreen platform gives without one.
    if (CommandLine::runsWithoutDisplay(argc, argv))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    VcApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vellumcrest"));
    QCoreApplication::setApplicationName(QStringLiteral("Vellumcrest"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(Version::kText));

    const StartupOptions options = parseCommandLine(QCoreApplication::arguments());
    QStringList copyFailures;
    const QString folder =
        ProgramFolder::resolve(options.home, QCoreApplication::applicationDirPath(), &copyFailures);
    Settings settings(options.settingsFile.isEmpty() ? Settings::defaultPath() : options.settingsFile);
    const bool command = !options.command.isEmpty();
    const bool headless = !options.screenshot.isEmpty() || command;
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
        return command ? CommandLine::kFatal : 1;

    // Without --network, the network stored in the settings, so that a desktop launcher
    // without options reaches the site's network.
    const QString network = options.network.isEmpty() ? settings.value(QStringLiteral("Settings"),
                                                                       QStringLiteral("Network"), QString())
                                                      : options.network;
    // The commands build the network themselves, and only those that use it.
    if (command) {
        settings.setWriteFailureHandler(
            [](const QString& message) { std::fprintf(stderr, "%s\n", qPrintable(message)); });
        return CommandLine::run(options, settings, folder, network);
    }

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
