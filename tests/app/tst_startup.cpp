// Start-up paths, the login dialog, the Security page and the settings file.
#include "app/frameSecurity.h"
#include "app/frmLogin.h"
#include "app/frmMain.h"
#include "app/Password.h"
#include "app/Startup.h"
#include "base/Captions.h"
#include "base/Settings.h"
#include "base/TextUtils.h"
#include "base/VcError.h"
#include "store/ManagerDatabase.h"
#include "support/ScriptedDialogRunner.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {
QLineEdit* box(const QWidget& form, const char* name) {
    return TestEnv::child<QLineEdit>(&form, name);
}
} // namespace

class TstStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void init();
    void firstStartOpensMainWindow();
    void passwordProtectedForms_data();
    void passwordProtectedForms();
    void corruptedFlagEndsProgram();
    void cancelledLoginEndsWithoutWindow();
    void errorHandlerReactions_data();
    void errorHandlerReactions();
    void emptyStoredPasswordAcceptsEmptyEntry();
    void wrongPasswordsThenRight();
    void olderPasswordIsUpgradedToHash();
    void securityPageWriteThrough();
    void settingsFileIsOwnerOnly();
    void usageFilesAreOwnerOnly();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Settings> m_settings;
    ScriptedFeedback m_feedback;
    ScriptedDialogRunner m_dialogs;
    QList<int> m_terminations;
    Startup::Terminator terminator() {
        return [this](int code) { m_terminations.append(code); };
    }
};

void TstStartup::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<Settings>(m_dir->filePath("settings.ini"));
    m_feedback.clear();
    m_terminations.clear();
}

void TstStartup::firstStartOpensMainWindow() {
    Startup startup(*m_settings, m_feedback, m_dialogs, terminator());
    int prompts = 0;
    startup.setLoginPrompt([&] { return ++prompts, true; });
    auto window = startup.run(m_dir->path(), TestEnv::network(QString(), m_dir->path()));
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(prompts, 0);
    QVERIFY(!startup.flags().previouslyLoaded);
    QVERIFY(m_feedback.messages.isEmpty());
    QVERIFY(m_terminations.isEmpty());
}

void TstStartup::passwordProtectedForms_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("asks");
    QTest::newRow("digit 1 (check box)") << Base64Encode("1") << true;
    QTest::newRow("word True") << Base64Encode("True") << true;
    QTest::newRow("digit 0") << Base64Encode("0") << false;
    QTest::newRow("word False") << Base64Encode("False") << false;
}

void TstStartup::passwordProtectedForms() {
    QFETCH(QString, stored);
    QFETCH(bool, asks);
    m_settings->setValue("Settings", "PasswordProtected", stored);
    Startup startup(*m_settings, m_feedback, m_dialogs, terminator());
    int prompts = 0;
    startup.setLoginPrompt([&] { return ++prompts, true; });
    auto window = startup.run(m_dir->path(), TestEnv::network(QString(), m_dir->path()));
    QVERIFY(window);
    QCOMPARE(prompts, asks ? 1 : 0);
    QCOMPARE(startup.flags().passwordProtected, asks);
}

void TstStartup::corruptedFlagEndsProgram() {
    m_settings->setValue("Settings", "PasswordProtected", "True");
    Startup startup(*m_settings, m_feedback, m_dialogs, terminator());
    startup.setLoginPrompt([] { return true; });
    auto window = startup.run(m_dir->path(), TestEnv::network(QString(), m_dir->path()));
    QVERIFY(!window);
    QCOMPARE(m_feedback.messages.size(), 1);
    QCOMPARE(m_feedback.messages[0].text, corruptedSettingsMessage());
    QVERIFY(m_feedback.messages[0].text.startsWith(
        "The registry settings for this application have been corrupted.  Please reinstall"));
    QCOMPARE(m_feedback.messages[0].title, "Vellumcrest\u2122 Manager");
    QCOMPARE(m_feedback.messages[0].icon, Feedback::Icon::Critical);
    QCOMPARE(m_terminations, QList<int>{1});
}

void TstStartup::cancelledLoginEndsWithoutWindow() {
    m_settings->storePasswordProtectedCheckbox(true);
    Startup startup(*m_settings, m_feedback, m_dialogs, terminator());
    startup.setLoginPrompt([] { return false; });
    QVERIFY(!startup.run(m_dir->path(), TestEnv::network(QString(), m_dir->path())));
    QVERIFY(m_feedback.messages.isEmpty());
    QVERIFY(m_terminations.isEmpty());
}

void TstStartup::errorHandlerReactions_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("type mismatch") << 13 << corruptedSettingsMessage() << 1;
    QTest::newRow("invalid argument") << 5 << corruptedSettingsMessage() << 1;
    QTest::newRow("unloaded object") << 364 << QString() << 0;
    QTest::newRow("anything else") << 3146 << "Unhandled error #3146 (disk I/O error)" << 1;
}

void TstStartup::errorHandlerReactions() {
    QFETCH(int, number);
    QFETCH(QString, text);
    QFETCH(int, exitCode);
    Startup startup(*m_settings, m_feedback, m_dialogs, terminator());
    startup.handleError(VcError(number, "disk I/O error"));
    QCOMPARE(m_terminations, QList<int>{exitCode});
    if (text.isEmpty()) {
        QVERIFY(m_feedback.messages.isEmpty());
    } else {
        QCOMPARE(m_feedback.messages.size(), 1);
        QCOMPARE(m_feedback.messages[0].text, text);
        QCOMPARE(m_feedback.messages[0].icon, Feedback::Icon::Critical);
    }
}

void TstStartup::emptyStoredPasswordAcceptsEmptyEntry() {
    frmLogin login(*m_settings, m_feedback);
    QCOMPARE(box(login, "txtPassword")->echoMode(), QLineEdit::Password);
    QTest::mouseClick(TestEnv::child<QPushButton>(&login, "cmdOK"), Qt::LeftButton);
    QVERIFY(login.loginSucceeded());
    QVERIFY(m_feedback.messages.isEmpty());
}

void TstStartup::wrongPasswordsThenRight() {
    m_settings->storePassword(Password::hash("Open Sesame"));
    frmLogin login(*m_settings, m_feedback);
    login.show();
    QVERIFY(QTest::qWaitForWindowExposed(&login));
    for (const QString& wrong : QStringList{"open sesame", "x", QString()}) {
        box(login, "txtPassword")->setText(wrong);
        QTest::mouseClick(TestEnv::child<QPushButton>(&login, "cmdOK"), Qt::LeftButton);
        QVERIFY(!login.loginSucceeded());
        QVERIFY(login.isVisible());
        QCOMPARE(box(login, "txtPassword")->selectedText(), wrong);
    }
    QCOMPARE(m_feedback.messages.size(), 3);
    for (const auto& message : m_feedback.messages) {
        QCOMPARE(message.text, "Invalid Password, try again!");
        QCOMPARE(message.title, "Vellumcrest\u2122 Login");
        QCOMPARE(message.icon, Feedback::Icon::Warning);
    }
    box(login, "txtPassword")->setText("Open Sesame");
    QTest::mouseClick(TestEnv::child<QPushButton>(&login, "cmdOK"), Qt::LeftButton);
    QVERIFY(login.loginSucceeded());
    QCOMPARE(m_feedback.messages.size(), 3);
}

void TstStartup::olderPasswordIsUpgradedToHash() {
    m_settings->storePassword(Base64Encode("Tr\u00e8s secret"));
    {
        frmLogin login(*m_settings, m_feedback);
        box(login, "txtPassword")->setText("tr\u00e8s secret");
        QTest::mouseClick(TestEnv::child<QPushButton>(&login, "cmdOK"), Qt::LeftButton);
        QVERIFY(!login.loginSucceeded());
        QCOMPARE(m_settings->storedPassword(), Base64Encode("Tr\u00e8s secret"));
    }
    frmLogin login(*m_settings, m_feedback);
    box(login, "txtPassword")->setText("Tr\u00e8s secret");
    QTest::mouseClick(TestEnv::child<QPushButton>(&login, "cmdOK"), Qt::LeftButton);
    QVERIFY(login.loginSucceeded());
    const QString stored = m_settings->storedPassword();
    QVERIFY(Password::isHash(stored));
    QVERIFY(!stored.contains("secret"));
    QVERIFY(Password::verify(stored, "Tr\u00e8s secret").matches);
    QVERIFY(!Password::verify(stored, "Tres secret").matches);
}

void TstStartup::securityPageWriteThrough() {
    m_settings->storePassword(Password::hash("old"));
    const QString before = m_settings->storedPassword();
    const QString path = m_dir->filePath("security.mdb");
    ManagerDatabase::create(path);
    const auto database = ManagerDatabase::open(path);
    frameSecurity page(*m_settings, m_feedback);
    page.setDatabase(database.get());
    page.load("operator", false);
    QCOMPARE(box(page, "txtUserName")->text(), "operator");
    QVERIFY(box(page, "txtPassword")->text().isEmpty());
    QVERIFY(!box(page, "txtPassword")->isEnabled());
    // Loading writes nothing, and a box never edited changes nothing.
    page.commitPassword();
    QCOMPARE(m_settings->storedPassword(), before);

    TestEnv::child<QCheckBox>(&page, "chkPasswordProtected")->click();
    QVERIFY(box(page, "txtPassword")->isEnabled());
    QCOMPARE(m_settings->value("Settings", "PasswordProtected", QString()), Base64Encode("1"));
    QVERIFY(m_settings->passwordProtected());

    page.show();
    box(page, "txtPassword")->setFocus();
    QTest::keyClicks(box(page, "txtPassword"), "n3w");
    QCOMPARE(m_settings->storedPassword(), before); // not at every keystroke
    QTest::keyClick(box(page, "txtPassword"), Qt::Key_Return);
    QVERIFY(Password::verify(m_settings->storedPassword(), "n3w").matches);

    TestEnv::child<QCheckBox>(&page, "chkPasswordProtected")->click();
    QVERIFY(!box(page, "txtPassword")->isEnabled());
    QCOMPARE(m_settings->value("Settings", "PasswordProtected", QString()), Base64Encode("0"));

    // Each change is in the audit log, the password itself never; loading is no change.
    QStringList details;
    for (const ManagerDatabase::AuditRow& row : database->auditRows())
        details << row.action + ": " + row.details;
    QCOMPARE(details,
             (QStringList{"settings: start-up password required", "settings: start-up password changed",
                          "settings: start-up password not required"}));
    QVERIFY(m_feedback.messages.isEmpty());

    // A change the log cannot account for is not made, and the operator is told.
    page.setDatabase(nullptr);
    TestEnv::child<QCheckBox>(&page, "chkPasswordProtected")->click();
    QVERIFY(!TestEnv::child<QCheckBox>(&page, "chkPasswordProtected")->isChecked());
    QCOMPARE(m_settings->value("Settings", "PasswordProtected", QString()), Base64Encode("0"));
    QCOMPARE(m_feedback.messages.size(), 1);
    QVERIFY(m_feedback.messages[0].text.contains("not made"));
}

void TstStartup::settingsFileIsOwnerOnly() {
    m_settings->storePreviouslyLoaded();
    const QFile::Permissions permissions = QFile::permissions(m_settings->filePath());
    QCOMPARE(permissions & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
             QFile::Permissions());
    QVERIFY(permissions & QFile::ReadOwner);
    QVERIFY(m_settings->previouslyLoaded());
    Settings reread(m_settings->filePath());
    QVERIFY(reread.previouslyLoaded());
    QCOMPARE(reread.value("Settings", "PreviouslyLoaded", QString()), "VHJ1ZQ==");
}

// The database holds every user's usage: created owner-only whatever the umask was, and an
// older world-readable one is reported once.
void TstStartup::usageFilesAreOwnerOnly() {
    ::umask(S_IWGRP | S_IWOTH);
    const QString database = m_dir->filePath("Data/VCManager.mdb");
    const auto start = [this] {
        Startup startup(*m_settings, m_feedback, m_dialogs, terminator());
        return startup.run(m_dir->path(), TestEnv::network(QString(), m_dir->path())) != nullptr;
    };
    QVERIFY(start());
    QCOMPARE(QFile::permissions(database) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    QVERIFY(m_feedback.messages.isEmpty());

    QVERIFY(
        QFile::setPermissions(database, QFile::permissions(database) | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(start());
    QCOMPARE(m_feedback.messages.size(), 1);
    QVERIFY(m_feedback.messages[0].text.contains("can be read by other users"));
    QVERIFY(start());
    QCOMPARE(m_feedback.messages.size(), 1);
}

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
