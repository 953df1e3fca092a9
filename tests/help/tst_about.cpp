// The About box: its texts, its version and its System Info button.
#include "base/Captions.h"
#include "app/frmAbout.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class tst_about : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void texts();
    void version_data();
    void version();
    void systemInfo_data();
    void systemInfo();
    void okCloses();
};

void tst_about::texts() {
    ScriptedFeedback feedback;
    frmAbout about(feedback);
    QCOMPARE(about.windowTitle(), QStringLiteral("About Vellumcrest\u2122"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(),
             QStringLiteral("Vellumcrest Manager for Windows NT,\nWindows 2000, and Windows XP"));
    QCOMPARE(about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->text(),
             QStringLiteral("&System Info..."));
    QVERIFY(about.findChild<QPushButton*>(QStringLiteral("cmdOK")));
    QVERIFY(about.isModal());

    const QString description = about.findChild<QLabel*>(QStringLiteral("lblDescription"))->text();
    QVERIFY(!description.isEmpty());
    QVERIFY(!description.contains(QLatin1Char('\n')));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblDisclaimer"))->text().count(QLatin1Char('\n')), 1);

    // The icon comes from the library's resources, which a forgotten initialiser would leave out.
    const QLabel* picIcon = about.findChild<QLabel*>(QStringLiteral("picIcon"));
    QVERIFY(picIcon);
    QVERIFY(!picIcon->pixmap().isNull());
    QVERIFY(!frmAbout::programIcon().isNull());
}

void tst_about::version_data() {
    QTest::addColumn<QString>("applicationVersion");
    QTest::addColumn<QString>("expected");
    QTest::newRow("not named: the built version") << QString() << "Version 1.0.0";
    QTest::newRow("named by start-up") << "1.0.0"
                                       << "Version 1.0.0";
    QTest::newRow("short form") << "2.3"
                                << "Version 2.3.0";
    QTest::newRow("build number dropped") << "4.5.6.7"
                                          << "Version 4.5.6";
}

void tst_about::version() {
    QFETCH(QString, applicationVersion);
    QFETCH(QString, expected);
    QCoreApplication::setApplicationVersion(applicationVersion);
    ScriptedFeedback feedback;
    frmAbout about(feedback);
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), expected);
    QCoreApplication::setApplicationVersion(QString());
}

void tst_about::systemInfo_data() {
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("startSucceeds");
    QTest::newRow("program installed") << true << true;
    QTest::newRow("none installed") << false << true;
    QTest::newRow("start fails") << true << false;
}

void tst_about::systemInfo() {
    QFETCH(bool, installed);
    QFETCH(bool, startSucceeds);
    SystemInfoSource source;
    source.programs = {{installed ? QStringLiteral("sh") : QStringLiteral("no-such-sysinfo-program"), {}}};
    source.searchPath = QStringLiteral("/usr/bin:/bin");
    QStringList started;
    source.start = [&](const QString& program, const QStringList&) {
        started << program;
        return startSucceeds;
    };
    ScriptedFeedback feedback;
    frmAbout about(feedback, nullptr, source);
    QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);

    QCOMPARE(started.size(), installed ? 1 : 0);
    if (installed && startSucceeds) {
        QVERIFY(feedback.messages.isEmpty());
    } else {
        QCOMPARE(feedback.messages.size(), 1);
        QCOMPARE(feedback.messages[0].text, QStringLiteral("System Information Is Unavailable At This Time"));
    }
}

void tst_about::okCloses() {
    ScriptedFeedback feedback;
    frmAbout about(feedback);
    QTimer::singleShot(0, &about, [&about] {
        QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    });
    QCOMPARE(about.exec(), int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
}

QTEST_MAIN(tst_about)
#include "tst_about.moc"
