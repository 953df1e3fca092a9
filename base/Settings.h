// The per-user settings store: string values by section and key under the application
// name "Vellumcrest", kept in an INI file readable by its owner only.
#pragma once

#include <functional>
#include <memory>
#include <QString>

class QSettings;

class Settings {
public:
    // The store in the given file; created (owner-only) on the first write.
    explicit Settings(const QString& filePath);
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // The platform's per-user location for organisation and application "Vellumcrest".
    static QString defaultPath();

    QString filePath() const { return m_path; }

    // Called with a message for the operator whenever a value could not be written to the file
    // (the value then holds for this run only). Without a handler the message goes to stderr.
    using WriteFailureHandler = std::function<void(const QString& message)>;
    void setWriteFailureHandler(WriteFailureHandler handler) { m_onWriteFailure = std::move(handler); }

    // A missing key yields the caller's default; writing creates or replaces the value.
    QString value(const QString& section, const QString& key, const QString& defaultValue) const;
    void setValue(const QString& section, const QString& key, const QString& value);

    // Typed access with the stored forms. Damaged values throw VcError (type mismatch).
    bool previouslyLoaded() const;
    void storePreviouslyLoaded(); // the encoding of the word True
    bool passwordProtected() const;
    void storePasswordProtectedCheckbox(bool ticked); // the encoding of the digit 1 or 0
    int mainLeft() const;                             // twips, default 1000
    int mainTop() const;
    void storeMainPosition(int leftTwips, int topTwips);
    // Workstations more than this many days behind are marked (health page, workstation tree).
    // A missing, unreadable or out-of-range value gives the default: a mark is advice, and a
    // damaged value must not keep the console from starting.
    static constexpr int kDefaultDaysBehindLimit = 3; // a weekend is not yet a fault
    static constexpr int kMaxDaysBehindLimit = 3650;
    int daysBehindLimit() const;
    void storeDaysBehindLimit(int days);
    // [Privacy] KeepDays: usage older than this many days is deleted; 0 (the default) keeps
    // everything. [Privacy] MinimumGroup: the fewest users a pseudonymised report may show
    // (default 5). A value that is no whole number in range throws VcError (Overflow)
    // naming it: deleting or concealing by a misread number is worse than stopping. Storing an
    // out-of-range value throws the same and writes nothing.
    static constexpr int kMaxKeepDays = 36500;
    static constexpr int kDefaultMinimumGroup = 5;
    static constexpr int kMaxMinimumGroup = 100000;
    int keepDays() const;
    void storeKeepDays(int days);
    int minimumGroup() const;
    void storeMinimumGroup(int users);
    QString storedPassword() const; // as stored: a password hash or an older encoded value
    void storePassword(const QString& stored);

private:
    bool encodedBoolean(const QString& key) const;
    int twips(const QString& key) const;
    int privacyNumber(const QString& key, int defaultValue, int lowest, int highest) const;

    void reportWriteFailure(const QString& reason) const;

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
    WriteFailureHandler m_onWriteFailure;
};

// A decimal text converted to a whole number as the settings expect: blanks around it are
// allowed, fractions round half to even; other text, infinities and values beyond a whole
// number throw type mismatch.
int settingsTextToInt(const QString& text);

// The message for settings that cannot be read (type mismatch or invalid argument while reading
// them), shown by the start-up handler, the main window's own handler and the commands.
QString corruptedSettingsMessage();
