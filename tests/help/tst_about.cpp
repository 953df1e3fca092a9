// The About box: its texts, its version and its System Info button.
#include "app/frmAbout.h"
#include "base/Captions.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TstAbout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void versionAndIcon_data() {
        QTest::addColumn<QString>("applicationVersion");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not named: the built version") << QString() << "Version 1.0.0";
        QTest::newRow("named by start-up") << QString("1.0.0") << "Version 1.0.0";
        QTest::newRow("short form") << QString("2.3") << "Version 2.3.0";
        QTest::newRow("build number dropped") << QString("4.5.6.7") << "Version 4.5.6";
    }

    void versionAndIcon() {
        QFETCH(QString, applicationVersion);
        QCoreApplication::setApplicationVersion(applicationVersion);
        ScriptedFeedback feedback;
        frmAbout about(feedback);
        QTEST(TestEnv::child<QLabel>(&about, "lblVersion")->text(), "expected");
        QCoreApplication::setApplicationVersion(QString());
        // The icon comes from the library's resources, which a forgotten initialiser would leave out.
        QVERIFY(!TestEnv::child<QLabel>(&about, "picIcon")->pixmap().isNull());
        QVERIFY(!frmAbout::programIcon().isNull());
    }

    void systemInfo_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("startSucceeds");
        QTest::newRow("program installed") << true << true;
        QTest::newRow("none installed") << false << true;
        QTest::newRow("start fails") << true << false;
    }

    void systemInfo() {
        QFETCH(bool, installed);
        QFETCH(bool, startSucceeds);
        SystemInfoSource source;
        source.programs = {{installed ? "sh" : "no-such-sysinfo-program", {}}};
        source.searchPath = "/usr/bin:/bin";
        QStringList started;
        source.start = [&](const QString& program, const QStringList&) {
            started << program;
            return startSucceeds;
        };
        ScriptedFeedback feedback;
        frmAbout about(feedback, nullptr, source);
        QTest::mouseClick(about.findChild<QPushButton*>("cmdSysInfo"), Qt::LeftButton);

        QCOMPARE(started.size(), installed ? 1 : 0);
        QCOMPARE(feedback.messages.size(), installed && startSucceeds ? 0 : 1);
        if (!feedback.messages.isEmpty())
            QCOMPARE(feedback.messages[0].text, "System Information Is Unavailable At This Time");
    }

    void okCloses() {
        ScriptedFeedback feedback;
        frmAbout about(feedback);
        QTimer::singleShot(0, &about, [&about] {
            QTest::mouseClick(about.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        });
        QCOMPARE(about.exec(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
    }
};

QTEST_MAIN(TstAbout)
#include "tst_about.moc"
