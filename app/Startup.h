// The start-up routine: flags from the settings, the login, then the main window.
#pragma once

#include "app/AppContext.h"

#include <functional>
#include <memory>
#include <optional>
#include <QString>
#include <QStringList>

class DialogRunner;
class Feedback;
class frmMain;
class Network;
class Settings;
class VcError;

struct StartupOptions {
    QString home;
    QString network;
    QString screenshot;
    QString page;
    QString settingsFile; // empty: the per-user default

    // A command for scheduled runs ("collect", "report", "export", "audit", "store"); empty: the console.
    QString command;
    QString action; // store: "init"; redaction: "list", "add", "remove", "apply"
    bool quiet = false;
    bool scan = false;
    int waitSeconds = 60; // collect: for the writers' turn
    bool verify = false;  // audit: recompute the chain
    // redaction add and remove: the rule; position 0: last
    QString pattern;
    QString replacement;
    int position = 0;
    // report: users (and workstations) by pseudonym; workstations imply users.
    bool pseudonymise = false;
    bool pseudonymiseWorkstations = false;
    QString from;
    QString to;
    // Comma-separated lists; nothing when the option was not given (everything).
    std::optional<QString> applications;
    std::optional<QString> users;
    std::optional<QString> workstations;
    QString format;
    bool csvRaw = false;
    QString output;
    QString passwordFile;
};

// Parses the console's options and the commands' (see --help). Usage errors (unknown options
// or commands, a command's options without it) end the process with exit code 2.
StartupOptions parseCommandLine(const QStringList& arguments);

class Startup {
public:
    // Ends the process at once; never returns in production.
    using Terminator = std::function<void(int exitCode)>;
    // Shows the login dialog; true when the right password was entered.
    using LoginPrompt = std::function<bool()>;

    // While it lives, a setting that cannot be written is reported through the feedback.
    Startup(Settings& settings, Feedback& feedback, DialogRunner& dialogs, Terminator terminate);
    ~Startup();
    Startup(const Startup&) = delete;
    Startup& operator=(const Startup&) = delete;

    void setLoginPrompt(LoginPrompt prompt) { m_login = std::move(prompt); }

    // Runs the sequence for a program folder. Returns the shown main window, or null when the
    // login was cancelled (the program then ends because no window is open).
    std::unique_ptr<frmMain> run(const QString& programFolder, Network& network);

    // The start-up error handler: the corrupted-settings message for 5 and 13, silence for
    // 364, "Unhandled error #" otherwise; then the program ends at once.
    void handleError(int number, const QString& description);
    void handleError(const VcError& error);

    const StartupFlags& flags() const { return m_flags; }

private:
    // Tells the operator, once per file, that an existing database is readable by others.
    void reportReadableDatabase(const QString& path);
    void recordFailedLogins(const QString& databasePath);

    Settings& m_settings;
    Feedback& m_feedback;
    DialogRunner& m_dialogs;
    Terminator m_terminate;
    LoginPrompt m_login;
    int m_failedLogins = 0; // wrong passwords the login dialog saw, for the audit log
    StartupFlags m_flags;
};
