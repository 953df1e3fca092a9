// The report as CSV: the report's days, names, minutes and percents, quoting that a CSV reader
// undoes exactly, and a failed write that leaves the old file whole.
#include "base/OutputFile.h"
#include "base/VcError.h"
#include "report/ReportCsv.h"
#include "report/ReportSums.h"
#include "support/ManagerFixture.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QtTest>

namespace {

// An RFC 4180 reader written from the RFC, independent of the writer: records end at CR LF
// outside quotes; a quoted field may hold anything, its quotes doubled. Empty on anything else.
QList<QStringList> readCsv(const QString& path) {
    const QByteArray bytes = ManagerFixture::readFile(path);
    QList<QStringList> records{{}};
    QByteArray field;
    for (qsizetype i = 0, n = bytes.size(); i < n;) {
        if (bytes[i] == '"') {
            for (++i; i < n && (bytes[i] != '"' || (i + 1 < n && bytes[i + 1] == '"')); ++i)
                field += bytes[bytes[i] == '"' ? i++ : i];
            if (i++ >= n)
                return {}; // unterminated quote
        } else {
            for (; i < n && !QByteArrayView(",\r\n").contains(bytes[i]); ++i)
                field += bytes[i];
            if (field.contains('"'))
                return {};
        }
        records.last().append(QString::fromUtf8(std::exchange(field, {})));
        if (i < n && bytes[i] == ',') {
            ++i;
        } else if (bytes.mid(i, 2) == "\r\n") {
            i += 2;
            records.emplace_back();
        } else {
            return {}; // a bare CR or LF, or no line end after the last record
        }
    }
    if (!records.takeLast().isEmpty())
        return {};
    return records;
}

void add(ReportSums& sums, const char* day, const QString& application, double minutes, const QString& user,
         const QString& workstation) {
    sums.add(QDate::fromString(QLatin1String(day), Qt::ISODate), application.toUtf8(), user.toUtf8(),
             workstation.toUtf8(), minutes);
}

} // namespace

class TstReportCsv : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    // Raw, every name comes back exactly; by default one that a spreadsheet would run as a
    // formula comes back behind an apostrophe.
    void namesSurviveARoundTrip_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("neutralised");
        QTest::newRow("comma") << "Budget, final.xls - Sheet"
                               << "Budget, final.xls - Sheet";
        QTest::newRow("quotes") << "\"Quoted\" title \"\""
                                << "\"Quoted\" title \"\"";
        QTest::newRow("line breaks") << "line one\r\nline two\nthree\rfour"
                                     << "line one\r\nline two\nthree\rfour";
        QTest::newRow("leading tab") << "\tIndented"
                                     << "'\tIndented";
        QTest::newRow("leading CR") << "\rReturn first"
                                    << "'\rReturn first";
        QTest::newRow("blanks at both ends") << "  spaced  "
                                             << "  spaced  ";
        QTest::newRow("formula") << "=HYPERLINK(\"x\",\"y\")"
                                 << "'=HYPERLINK(\"x\",\"y\")";
        QTest::newRow("plus and minus signs") << "+1-2@3"
                                              << "'+1-2@3";
        QTest::newRow("minus first") << "-2+3"
                                     << "'-2+3";
        QTest::newRow("at first") << "@SUM(A1)"
                                  << "'@SUM(A1)";
        QTest::newRow("non-Latin") << "日本語 – Ελληνικά 😀"
                                   << "日本語 – Ελληνικά 😀";
    }
    void namesSurviveARoundTrip() {
        QFETCH(QString, name);
        QFETCH(QString, neutralised);
        ManagerFixture f;
        ReportSums sums(ReportSums::Detail::Kept);
        add(sums, "2024-03-01", name, 90, name, name);
        const QString summary = f.filePath("r.csv");
        const QString detail = f.filePath("r.detail.csv");
        const QString raw = f.filePath("raw.detail.csv");
        ReportCsv::write(sums, summary, ReportCsv::kindOf(summary));
        ReportCsv::write(sums, detail, ReportCsv::kindOf(detail));
        ReportCsv::write(sums, raw, ReportCsv::Kind::Detail, ReportCsv::Names::Raw);
        QCOMPARE(readCsv(summary), (QList<QStringList>{{"Date", "Application", "Minutes", "Percent"},
                                                       {"2024-03-01", neutralised, "90", "100"}}));
        const QStringList header{"Date", "Application", "User", "Workstation", "Minutes"};
        QCOMPARE(readCsv(detail),
                 (QList<QStringList>{header, {"2024-03-01", neutralised, neutralised, neutralised, "90"}}));
        QCOMPARE(readCsv(raw), (QList<QStringList>{header, {"2024-03-01", name, name, name, "90"}}));
    }

    // One row per application of a day, as the report lists it: letter cases summed, minutes
    // rounded halves to even, percents of the day's rounded total.
    void rowsAreTheReportsCells() {
        ManagerFixture f;
        ReportSums sums;
        add(sums, "2024-03-01", "Writer", 2.5, "anna", "WS-A");
        add(sums, "2024-03-01", "Mail", 3.5, "anna", "WS-A");
        add(sums, "2024-03-01", "Chat", 0.4, "bob", "WS-B");
        add(sums, "2024-03-01", "MAIL", 600.25, "bob", "WS-B");
        add(sums, "2024-03-02", "Writer", 59.5, "bob", "ws-a");
        add(sums, "2024-03-02", "Games", 1.0 / 3, "bob", "WS-A");
        add(sums, "2024-03-02", "Games", 1.0 / 3, "anna", "WS-A");
        const QString csv = f.filePath("r.csv");
        ReportCsv::write(sums, csv, ReportCsv::Kind::Summary);
        // Checked by hand: Mail and MAIL summed (603.75 of a 606-minute day), halves to even (2.5, 59.5).
        QCOMPARE(readCsv(csv), (QList<QStringList>{{"Date", "Application", "Minutes", "Percent"},
                                                   {"2024-03-01", "Chat", "0", "0"},
                                                   {"2024-03-01", "Mail", "604", "100"},
                                                   {"2024-03-01", "Writer", "2", "0"},
                                                   {"2024-03-02", "Games", "1", "1"},
                                                   {"2024-03-02", "Writer", "60", "99"}}));
    }

    // Detail cells sum the rows of one application, user and workstation, letter case aside.
    void detailPerUserAndWorkstation() {
        ManagerFixture f;
        ReportSums sums(ReportSums::Detail::Kept);
        add(sums, "2024-03-01", "Mail", 10, "anna", "WS-A");
        add(sums, "2024-03-01", "mail", 20.5, "ANNA", "ws-a");
        add(sums, "2024-03-01", "Mail", 5, "bob", "WS-A");
        add(sums, "2024-03-01", "Mail", 1, "anna", "WS-B");
        add(sums, "2024-03-01", "Chat", 2, "bob", "WS-B");
        add(sums, "2024-02-29", "Chat", 3, "bob", "WS-B");
        const QString csv = f.filePath("R.DETAIL.CSV");
        QCOMPARE(int(ReportCsv::kindOf(csv)), int(ReportCsv::Kind::Detail));
        ReportCsv::write(sums, csv, ReportCsv::kindOf(csv));
        QCOMPARE(readCsv(csv), (QList<QStringList>{{"Date", "Application", "User", "Workstation", "Minutes"},
                                                   {"2024-02-29", "Chat", "bob", "WS-B", "3"},
                                                   {"2024-03-01", "Chat", "bob", "WS-B", "2"},
                                                   {"2024-03-01", "Mail", "anna", "WS-A", "30"},
                                                   {"2024-03-01", "Mail", "anna", "WS-B", "1"},
                                                   {"2024-03-01", "Mail", "bob", "WS-A", "5"}}));
    }

    // A failed write names the file and leaves what was there; a replaced file is owner-only.
    void failedWriteKeepsTheOldFile_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("written");
        QTest::newRow("replaces a readable older file") << "old.csv" << true;
        QTest::newRow("missing folder") << "missing/r.csv" << false;
        QTest::newRow("target is a folder") << "folder.csv" << false;
        // The console's save dialogs go through the same rule as the commands.
        QTest::newRow("a link to the older file") << "link.csv" << false;
        QTest::newRow("the manager database's journal") << "VCManager.mdb-wal" << false;
    }
    void failedWriteKeepsTheOldFile() {
        QFETCH(QString, target);
        QFETCH(bool, written);
        ManagerFixture f;
        QFile old(f.filePath("old.csv"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("older content") > 0);
        old.close();
        QVERIFY(old.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        QVERIFY(QDir(f.folder()).mkdir("folder.csv"));
        QVERIFY(QFile::link(old.fileName(), f.filePath("link.csv")));
        OutputFile::protect(f.filePath("VCManager.mdb"));
        const QString path = f.filePath(target);
        try {
            ReportCsv::write(ReportSums(), path, ReportCsv::Kind::Summary);
            QVERIFY(written);
            QCOMPARE(ManagerFixture::readFile(path), QByteArray("Date,Application,Minutes,Percent\r\n"));
            // User, group and other bits: the user's alone.
            QCOMPARE(QFile::permissions(path) & 0x0777, QFile::ReadUser | QFile::WriteUser);
        } catch (const VcError& error) {
            QVERIFY(!written);
            QVERIFY2(error.description().contains(path), qPrintable(error.description()));
            QCOMPARE(ManagerFixture::readFile(f.filePath("old.csv")), QByteArray("older content"));
            QVERIFY(QFileInfo(f.filePath("link.csv")).isSymLink());
            QVERIFY(!QFileInfo::exists(f.filePath("VCManager.mdb-wal")));
        }
        for (const QString& name : QDir(f.folder()).entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(!name.contains("vctmp"), qPrintable(name)); // no temporary left
    }
};

QTEST_GUILESS_MAIN(TstReportCsv)
#include "tst_reportcsv.moc"
