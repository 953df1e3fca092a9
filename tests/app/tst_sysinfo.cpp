// Finding and starting a system information program, and the message when there is none.
#include "app/SystemInfo.h"
#include "base/Captions.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Writes an executable (or, when executable is false, a plain) file folder/name.
void makeProgram(const QString& folder, const QString& name, bool executable = true) {
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexit 0\n");
    file.close();
    QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (executable)
        permissions |= QFileDevice::ExeOwner;
    QVERIFY(file.setPermissions(permissions));
}

QList<SystemInfoProgram> programs(const QStringList& names) {
    QList<SystemInfoProgram> list;
    for (const QString& name : names)
        list.append({name, name == QLatin1String("overview") ? QStringList{"--about"} : QStringList{}});
    return list;
}
} // namespace

class TstSysInfo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void start_data();
    void start();
    void emptySearchPathNeverUsesTheEnvironment();
    void defaultStarterStartsARealProgram();
};

void TstSysInfo::start_data() {
    QTest::addColumn<QStringList>("listed");        // the known programs, best first
    QTest::addColumn<QStringList>("installed");     // "folder/name", "folder/name!" = not executable
    QTest::addColumn<QStringList>("searchFolders"); // joined into the search path
    QTest::addColumn<QString>("expected");          // "folder/name" started, or empty: the message

    const QStringList ab{"hardinfo", "kinfocenter"};
    QTest::newRow("first listed installed")
        << ab << QStringList{"a/hardinfo", "a/kinfocenter"} << QStringList{"a"} << "a/hardinfo";
    QTest::newRow("only a later one installed")
        << ab << QStringList{"a/kinfocenter"} << QStringList{"a"} << "a/kinfocenter";
    QTest::newRow("list order beats folder order")
        << ab << QStringList{"a/kinfocenter", "b/hardinfo"} << QStringList{"a", "b"} << "b/hardinfo";
    QTest::newRow("earlier folder wins for one program")
        << ab << QStringList{"a/hardinfo", "b/hardinfo"} << QStringList{"b", "a"} << "b/hardinfo";
    QTest::newRow("not executable is not installed")
        << ab << QStringList{"a/hardinfo!", "a/kinfocenter"} << QStringList{"a"} << "a/kinfocenter";
    QTest::newRow("installed outside the search path")
        << ab << QStringList{"a/hardinfo"} << QStringList{"b"} << QString();
    QTest::newRow("nothing installed") << ab << QStringList{} << QStringList{"a", "b"} << QString();
    QTest::newRow("unlisted program ignored") << ab << QStringList{"a/htop"} << QStringList{"a"} << QString();
    QTest::newRow("arguments passed")
        << QStringList{"overview"} << QStringList{"a/overview"} << QStringList{"a"} << "a/overview";
}

void TstSysInfo::start() {
    QFETCH(QStringList, listed);
    QFETCH(QStringList, installed);
    QFETCH(QStringList, searchFolders);
    QFETCH(QString, expected);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    for (QString entry : installed) {
        const bool executable = !entry.endsWith(QLatin1Char('!'));
        entry.remove(QLatin1Char('!'));
        const int slash = int(entry.indexOf(QLatin1Char('/')));
        makeProgram(root.filePath(entry.left(slash)), entry.mid(slash + 1), executable);
        if (QTest::currentTestFailed())
            return;
    }
    QStringList folders;
    for (const QString& folder : searchFolders)
        folders << root.filePath(folder);

    QStringList started;
    QStringList startedArguments;
    SystemInfoSource source;
    source.programs = programs(listed);
    source.searchPath = folders.join(QDir::listSeparator());
    source.start = [&](const QString& program, const QStringList& arguments) {
        started << program;
        startedArguments = arguments;
        return true;
    };
    ScriptedFeedback feedback;
    const bool result = StartSysInfo(feedback, source);

    if (expected.isEmpty()) {
        QVERIFY(!result);
        QVERIFY(started.isEmpty());
        QCOMPARE(feedback.messages.size(), 1);
        QCOMPARE(feedback.messages[0].text, "System Information Is Unavailable At This Time");
        QCOMPARE(feedback.messages[0].title, Captions::kProduct);
        QCOMPARE(feedback.messages[0].icon, Feedback::Icon::None);
        QCOMPARE(feedback.messages[0].buttons, Feedback::Buttons::Ok);
    } else {
        QVERIFY(result);
        QCOMPARE(started, QStringList{root.filePath(expected)});
        QVERIFY(feedback.messages.isEmpty());
        if (expected.endsWith(QLatin1String("overview")))
            QCOMPARE(startedArguments, QStringList{"--about"});
    }
}

void TstSysInfo::emptySearchPathNeverUsesTheEnvironment() {
    // "sh" is on every machine's PATH; an empty or relative-only search path must still find nothing.
    for (const QString& path : QStringList{QString(), "bin:usr/bin", QString(QDir::listSeparator())}) {
        QVERIFY2(findSystemInfoProgram(programs({"sh"}), path).path.isEmpty(), qPrintable(path));
    }
    QVERIFY(!findSystemInfoProgram(programs({"sh"}), "/bin:/usr/bin").path.isEmpty());
}

void TstSysInfo::defaultStarterStartsARealProgram() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString marker = root.filePath("ran");
    QDir().mkpath(root.filePath("bin"));
    QFile script(root.filePath("bin/sysinfo-probe"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(marker).toLocal8Bit());
    script.close();
    QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));

    SystemInfoSource source;
    source.programs = programs({"sysinfo-probe"});
    source.searchPath = root.filePath("bin");
    ScriptedFeedback feedback;
    QVERIFY(StartSysInfo(feedback, source));
    QVERIFY(feedback.messages.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 60000);
}

QTEST_GUILESS_MAIN(TstSysInfo)
#include "tst_sysinfo.moc"
