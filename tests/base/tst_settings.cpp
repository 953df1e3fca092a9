// The settings store's failure path: a value that cannot reach the file is reported, never
// silently kept in memory only.
#include "base/FileDialogMemory.h"
#include "base/Settings.h"
#include "base/VcError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TstSettings : public QObject {
    Q_OBJECT
private slots:
    void writeFailureIsReported_data() {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<bool>("fails");
        // Root may write anywhere, so the failures are made of paths no one can write to.
        QTest::newRow("writable") << "settings/Vellumcrest.ini" << false;
        QTest::newRow("folder is a file") << "blocker/Vellumcrest.ini" << true;
        QTest::newRow("file is a folder") << "folder.ini" << true;
    }

    void writeFailureIsReported() {
        QFETCH(QString, relativePath);
        QFETCH(bool, fails);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile blocker(dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(QDir(dir.path()).mkpath("folder.ini"));

        Settings settings(dir.filePath(relativePath));
        QStringList reports;
        settings.setWriteFailureHandler([&reports](const QString& message) { reports << message; });
        settings.storePasswordProtectedCheckbox(true);

        QCOMPARE(reports.size(), fails ? 1 : 0);
        if (fails) {
            QVERIFY(reports[0].startsWith("The setting could not be saved to "));
            QVERIFY(reports[0].contains(QDir::toNativeSeparators(dir.filePath(relativePath))));
        }
        // The next start reads the file (QSettings shares its memory within one process).
        QFile file(dir.filePath(relativePath));
        const bool stored = file.open(QIODevice::ReadOnly) && file.readAll().contains("PasswordProtected=");
        QCOMPARE(stored, !fails);
    }

    void daysBehindLimit_data() {
        QTest::addColumn<QString>("stored"); // the file's line, or empty for none
        QTest::addColumn<int>("limit");
        QTest::newRow("missing") << "" << 3;
        QTest::newRow("stored") << "DaysBehindLimit=7" << 7;
        QTest::newRow("zero is a limit") << "DaysBehindLimit=0" << 0;
        QTest::newRow("blanks around it") << "DaysBehindLimit= 5 " << 5;
        QTest::newRow("largest") << "DaysBehindLimit=3650" << 3650;
        QTest::newRow("too large") << "DaysBehindLimit=3651" << 3;
        QTest::newRow("negative") << "DaysBehindLimit=-1" << 3;
        QTest::newRow("fraction") << "DaysBehindLimit=2.5" << 3;
        QTest::newRow("text") << "DaysBehindLimit=soon" << 3;
        QTest::newRow("beyond any number") << "DaysBehindLimit=99999999999999999999" << 3;
    }

    void daysBehindLimit() {
        QFETCH(QString, stored);
        QTemporaryDir dir;
        const QString path = dir.filePath("Vellumcrest.ini");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Settings]\n" + stored.toUtf8() + "\n");
        }
        Settings settings(path);
        QTEST(settings.daysBehindLimit(), "limit");
        // What is stored is read back by the next start.
        settings.storeDaysBehindLimit(12);
        QCOMPARE(Settings(path).daysBehindLimit(), 12);
    }

    // Retention and the minimum group are privacy settings: a value that is not a number in range
    // is refused (-1), never read as "keep everything" or "any group".
    void privacyNumbers_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("keepDays");
        QTest::addColumn<int>("minimumGroup");
        QTest::newRow("missing") << "" << 0 << 5;
        QTest::newRow("stored") << "KeepDays=90\nMinimumGroup=3" << 90 << 3;
        QTest::newRow("negative") << "KeepDays=-1\nMinimumGroup=0" << -1 << -1;
        QTest::newRow("too large") << "KeepDays=36501\nMinimumGroup=99999999999" << -1 << -1;
        QTest::newRow("text") << "KeepDays=30 days\nMinimumGroup=abc" << -1 << -1;
        QTest::newRow("a list") << "KeepDays=30,40\nMinimumGroup=\"5,6\"" << -1 << -1;
    }
    void privacyNumbers() {
        QFETCH(QString, stored);
        QTemporaryDir dir;
        const QString path = dir.filePath("Vellumcrest.ini");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Privacy]\n" + stored.toUtf8() + "\n");
        }
        const Settings settings(path);
        const auto read = [](auto&& get) {
            try {
                return get();
            } catch (const VcError& error) {
                return error.description().contains("[Privacy]") ? -1 : -2;
            }
        };
        QTEST(read([&] { return settings.keepDays(); }), "keepDays");
        QTEST(read([&] { return settings.minimumGroup(); }), "minimumGroup");
    }

    // A save dialog opens where the last one was left, with the type then chosen, and proposes
    // its name with that type's suffix; the next run too.
    void saveDialogsRemember_data() {
        QTest::addColumn<QString>("chosen"); // file name, in the temporary folder
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("offered");
        QTest::newRow("pdf") << "r.PDF"
                             << "PDF Files (*.pdf)"
                             << "Report 2024-03-01.pdf";
        QTest::newRow("detail csv, not csv") << "r.detail.csv"
                                             << "Detailed CSV Files (*.detail.csv)"
                                             << "Report 2024-03-01.detail.csv";
        QTest::newRow("no known type: the default") << "r.txt" << QString() << "Report 2024-03-01.html";
    }

    void saveDialogsRemember() {
        QFETCH(QString, chosen);
        QFETCH(QString, type);
        QFETCH(QString, offered);
        QTemporaryDir dir;
        Feedback::FileDialog dialog;
        dialog.filter = "HTML Files (*.html)|*.html|PDF Files (*.pdf)|*.pdf|CSV Files (*.csv)|*.csv|"
                        "Detailed CSV Files (*.detail.csv)|*.detail.csv";
        dialog.defaultSuffix = "html";
        {
            Settings settings(dir.filePath("settings.ini"));
            FileDialogMemory(&settings, "Report").remember(dialog, dir.filePath(chosen));
        }
        Settings settings(dir.filePath("settings.ini"));
        dialog.initialName = "Report 2024-03-01";
        FileDialogMemory(&settings, "Report").recall(dialog);
        QCOMPARE(dialog.directory, QDir::cleanPath(dir.path()));
        QCOMPARE(dialog.selectedFilter, type);
        QCOMPARE(dialog.initialName, offered);
        // Another kind of file keeps its own.
        Feedback::FileDialog other = dialog;
        other.directory.clear();
        FileDialogMemory(&settings, "Charts").recall(other);
        QVERIFY(other.directory.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
