// Program folder copies: first fill, refresh on upgrade, and what a refresh must never touch.
#include "app/ProgramFolder.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TstProgramFolder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void init();
    void firstFillCopiesAndRecords();
    void refreshRule_data();
    void refreshRule();
    void refreshSparesTheUsersFiles();
    void failedCopyIsReportedAndRetried();
    void missingInstalledFilesAreReported();
    void resolveFindsSharedFilesBesideBin();

private:
    QString source(const QString& relative) const { return m_source->filePath(relative); }
    QString target(const QString& relative) const { return m_folder->filePath(relative); }
    static void write(const QString& path, const QByteArray& content);
    static QByteArray read(const QString& path);
    std::unique_ptr<QTemporaryDir> m_source;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void TstProgramFolder::write(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray TstProgramFolder::read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TstProgramFolder::init() {
    m_source = std::make_unique<QTemporaryDir>();
    m_folder = std::make_unique<QTemporaryDir>();
    write(source("Data/HTML/Blank.html"), "blank 1");
    write(source("Help/index.html"), "index 1");
    write(source("Help/images/logo.png"), "logo 1");
}

void TstProgramFolder::firstFillCopiesAndRecords() {
    const auto report = ProgramFolder::fill(m_folder->path(), m_source->path(), "1.0.0");
    QCOMPARE(report.copied, (QStringList{"Data/HTML/Blank.html", "Help/images/logo.png", "Help/index.html"}));
    QVERIFY(report.failures.isEmpty());
    QCOMPARE(read(target("Help/images/logo.png")), QByteArray("logo 1"));
    QVERIFY(read(target(QString::fromLatin1(ProgramFolder::kCopiesRecord))).contains("\nversion 1.0.0\n"));

    // Nothing to do on the next start, and a copy the user deleted comes back.
    QVERIFY(QFile::remove(target("Help/index.html")));
    const auto again = ProgramFolder::fill(m_folder->path(), m_source->path(), "1.0.0");
    QCOMPARE(again.copied, QStringList{"Help/index.html"});
}

// Whether an unedited copy is replaced after the installed page changed.
void TstProgramFolder::refreshRule_data() {
    QTest::addColumn<QByteArray>("record"); // "<fill VERSION>": as a fill by that version left it
    QTest::addColumn<QString>("installed");
    QTest::addColumn<bool>("refreshed");
    QTest::newRow("same version") << QByteArray("<fill 1.0.0>") << "1.0.0" << false;
    QTest::newRow("newer") << QByteArray("<fill 1.0.0>") << "1.0.1" << true;
    QTest::newRow("older (downgrade)") << QByteArray("<fill 1.1.0>") << "1.0.9" << false;
    QTest::newRow("numeric, not text order") << QByteArray("<fill 1.9.0>") << "1.10.0" << true;
    QTest::newRow("no record (earlier console)") << QByteArray() << "1.0.0" << true;
    QTest::newRow("damaged record") << QByteArray("\x01\xff version x.y\nnonsense") << "1.0.0" << true;
}

void TstProgramFolder::refreshRule() {
    QFETCH(QByteArray, record);
    QFETCH(QString, installed);
    QFETCH(bool, refreshed);
    const QString recordPath = target(QString::fromLatin1(ProgramFolder::kCopiesRecord));
    if (record.startsWith("<fill ")) {
        const QString version = QString::fromLatin1(record.mid(6, record.size() - 7));
        QVERIFY(ProgramFolder::fill(m_folder->path(), m_source->path(), version).failures.isEmpty());
    } else {
        write(target("Help/index.html"), "index 1");
        if (!record.isEmpty())
            write(recordPath, record);
    }
    write(source("Help/index.html"), "index 2");

    const auto report = ProgramFolder::fill(m_folder->path(), m_source->path(), installed);
    QVERIFY(report.failures.isEmpty());
    QCOMPARE(read(target("Help/index.html")), refreshed ? QByteArray("index 2") : "index 1");
    if (refreshed) {
        QVERIFY(read(recordPath).contains("\nversion " + installed.toLatin1() + '\n'));
        // Recorded: the next start at the same version leaves everything alone.
        QVERIFY(ProgramFolder::fill(m_folder->path(), m_source->path(), installed).copied.isEmpty());
    }
}

void TstProgramFolder::refreshSparesTheUsersFiles() {
    QVERIFY(ProgramFolder::fill(m_folder->path(), m_source->path(), "1.0.0").failures.isEmpty());
    write(target("Data/VCManager.mdb"), "database");
    write(target("Data/HTML/Report.html"), "last report");
    write(target("Help/index.html"), "edited by the user");
    write(target("Help/notes.html"), "the user's own page");
    write(target("Help/new.html"), "the user's page, same name as a new one");
    QVERIFY(QFile::remove(target("Data/HTML/Blank.html")));
    QVERIFY(QFile::link(target("Help/notes.html"), target("Data/HTML/Blank.html")));
    for (const char* page :
         {"Data/HTML/Blank.html", "Help/index.html", "Help/images/logo.png", "Help/new.html"})
        write(source(QLatin1String(page)), "version 2");

    const auto report = ProgramFolder::fill(m_folder->path(), m_source->path(), "2.0.0");
    QVERIFY(report.failures.isEmpty());
    QCOMPARE(report.copied, QStringList{"Help/images/logo.png"});
    QCOMPARE(report.kept, (QStringList{"Data/HTML/Blank.html", "Help/index.html", "Help/new.html"}));
    QCOMPARE(read(target("Data/VCManager.mdb")), QByteArray("database"));
    QCOMPARE(read(target("Data/HTML/Report.html")), QByteArray("last report"));
    QCOMPARE(read(target("Help/index.html")), QByteArray("edited by the user"));
    QCOMPARE(read(target("Help/notes.html")), QByteArray("the user's own page"));
    QCOMPARE(read(target("Help/new.html")), QByteArray("the user's page, same name as a new one"));
    QVERIFY(QFileInfo(target("Data/HTML/Blank.html")).isSymLink());

    // The edit stays recognised as an edit at the next upgrade too.
    write(source("Help/index.html"), "version 3");
    const auto next = ProgramFolder::fill(m_folder->path(), m_source->path(), "3.0.0");
    QVERIFY(next.kept.contains("Help/index.html"));
    QCOMPARE(read(target("Help/index.html")), QByteArray("edited by the user"));
}

void TstProgramFolder::failedCopyIsReportedAndRetried() {
    QVERIFY(ProgramFolder::fill(m_folder->path(), m_source->path(), "1.0.0").failures.isEmpty());
    write(source("Help/images/logo.png"), "logo 2");
    // A file where the folder should be: the copy fails even for root.
    QVERIFY(QDir(target("Help/images")).removeRecursively());
    write(target("Help/images"), "in the way");

    const auto failed = ProgramFolder::fill(m_folder->path(), m_source->path(), "1.1.0");
    QCOMPARE(failed.failures.size(), 1);
    QVERIFY2(failed.failures.first().contains(QLatin1String("Help/images/logo.png")),
             qPrintable(failed.failures.first()));
    const QString recordPath = target(QString::fromLatin1(ProgramFolder::kCopiesRecord));
    QVERIFY(read(recordPath).contains("\nversion 1.0.0\n"));

    QVERIFY(QFile::remove(target("Help/images")));
    const auto retried = ProgramFolder::fill(m_folder->path(), m_source->path(), "1.1.0");
    QVERIFY(retried.failures.isEmpty());
    QCOMPARE(read(target("Help/images/logo.png")), QByteArray("logo 2"));
    QVERIFY(read(recordPath).contains("\nversion 1.1.0\n"));
}

void TstProgramFolder::missingInstalledFilesAreReported() {
    QTemporaryDir empty;
    const auto report = ProgramFolder::fill(m_folder->path(), empty.path(), "1.0.0");
    QCOMPARE(report.failures.size(), 1);
    // Nothing recorded: once the files are installed, the next start copies them.
    QVERIFY(!QFileInfo::exists(target(QString::fromLatin1(ProgramFolder::kCopiesRecord))));
    QVERIFY(ProgramFolder::fill(m_folder->path(), m_source->path(), "1.0.0").failures.isEmpty());
    QCOMPARE(read(target("Help/index.html")), QByteArray("index 1"));
}

// The layout of the package, also unpacked anywhere: bin/ beside share/vellumcrest-manager/.
void TstProgramFolder::resolveFindsSharedFilesBesideBin() {
    QTemporaryDir root;
    const QString bin = root.filePath("usr/bin");
    QVERIFY(QDir().mkpath(bin));
    write(root.filePath("usr/share/vellumcrest-manager/Help/index.html"), "guide");
    write(root.filePath("usr/share/vellumcrest-manager/Data/HTML/Blank.html"), "blank");
    QCOMPARE(ProgramFolder::installedFilesDir(bin), root.filePath("usr/share/vellumcrest-manager"));

    const QString home = m_folder->filePath("home");
    QStringList failures;
    QCOMPARE(ProgramFolder::resolve(home, bin, &failures), home);
    QVERIFY(failures.isEmpty());
    QCOMPARE(read(home + "/Help/index.html"), QByteArray("guide"));

    // Without --home and without Data/ beside the executable: the per-user folder.
    const QString perUser = ProgramFolder::resolve(QString(), bin, &failures);
    QVERIFY(failures.isEmpty());
    QCOMPARE(perUser, QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
    QCOMPARE(read(perUser + "/Data/HTML/Blank.html"), QByteArray("blank"));
    QDir(perUser).removeRecursively();
}

QTEST_GUILESS_MAIN(TstProgramFolder)
#include "tst_programfolder.moc"
