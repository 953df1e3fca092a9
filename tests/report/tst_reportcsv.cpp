// The report as CSV: the same days, names, minutes and percents as the report file, quoting
// that a CSV reader undoes exactly, and a failed write that leaves the old file whole.
#include "base/VcError.h"
#include "report/ReportCsv.h"
#include "report/ReportProgress.h"
#include "report/WriteReportFile.h"
#include "store/SqlUtil.h"
#include "support/ManagerFixture.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QRegularExpression>
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

} // namespace

class TstReportCsv : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void namesSurviveARoundTrip_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("comma") << QStringLiteral("Budget, final.xls - Sheet");
        QTest::newRow("quotes") << QStringLiteral("\"Quoted\" title \"\"");
        QTest::newRow("line breaks") << QStringLiteral("line one\r\nline two\nthree\rfour");
        QTest::newRow("leading tab") << QStringLiteral("\tIndented");
        QTest::newRow("leading CR") << QStringLiteral("\rReturn first");
        QTest::newRow("blanks at both ends") << QStringLiteral("  spaced  ");
        QTest::newRow("formula, left as it is") << QStringLiteral("=HYPERLINK(\"x\",\"y\")");
        QTest::newRow("plus and minus signs") << QStringLiteral("+1-2@3");
        QTest::newRow("non-Latin") << QStringLiteral("日本語 – Ελληνικά 😀");
    }
    void namesSurviveARoundTrip() {
        QFETCH(QString, name);
        ManagerFixture f;
        f.addExtractedRow(QStringLiteral("2024-03-01"), name, 90, name + QStringLiteral("-user"),
                          name + QStringLiteral("-ws"));
        const QString summary = f.filePath(QStringLiteral("r.csv"));
        const QString detail = f.filePath(QStringLiteral("r.detail.csv"));
        ReportCsv::write(f.db(), summary, ReportCsv::kindOf(summary));
        ReportCsv::write(f.db(), detail, ReportCsv::kindOf(detail));
        QCOMPARE(readCsv(summary), (QList<QStringList>{{"Date", "Application", "Minutes", "Percent"},
                                                       {"2024-03-01", name, "90", "100"}}));
        QCOMPARE(readCsv(detail),
                 (QList<QStringList>{{"Date", "Application", "User", "Workstation", "Minutes"},
                                     {"2024-03-01", name, name + QStringLiteral("-user"),
                                      name + QStringLiteral("-ws"), "90"}}));
    }

    // Every application line of the report file, with its time and percent, is a CSV row with the
    // same minutes and percent; no more rows, no fewer.
    void rowsAreTheReportsCells() {
        ManagerFixture f;
        const QString d1 = QStringLiteral("2024-03-01");
        const QString d2 = QStringLiteral("2024-03-02");
        // Halves round to even on the cell (2.5 -> 2, 3.5 -> 4) and percents of a rounded total.
        f.addExtractedRow(d1, QStringLiteral("Writer"), 2.5, QStringLiteral("anna"), QStringLiteral("WS-A"));
        f.addExtractedRow(d1, QStringLiteral("Mail"), 3.5, QStringLiteral("anna"), QStringLiteral("WS-A"));
        f.addExtractedRow(d1, QStringLiteral("Chat"), 0.4, QStringLiteral("bob"), QStringLiteral("WS-B"));
        f.addExtractedRow(d1, QStringLiteral("MAIL"), 600.25, QStringLiteral("bob"), QStringLiteral("WS-B"));
        f.addExtractedRow(d2, QStringLiteral("Writer"), 59.5, QStringLiteral("bob"), QStringLiteral("ws-a"));
        f.addExtractedRow(d2, QStringLiteral("Games"), 1.0 / 3, QStringLiteral("bob"),
                          QStringLiteral("WS-A"));
        f.addExtractedRow(d2, QStringLiteral("Games"), 1.0 / 3, QStringLiteral("anna"),
                          QStringLiteral("WS-A"));
        const QString html = f.filePath(QStringLiteral("r.html"));
        const QString csv = f.filePath(QStringLiteral("r.csv"));
        ReportProgress progress;
        WriteReportFile(f.db(), html, progress, 0);
        ReportCsv::write(f.db(), csv, ReportCsv::Kind::Summary);

        // Day heading, then per application: name, "H:MM", "(N%)".
        const QString report = QString::fromLatin1(ManagerFixture::readFile(html));
        QList<QStringList> fromReport;
        const QRegularExpression cell(QStringLiteral(
            R"(<B>(\d+)/(\d+)/(\d+)</B>|SIZE=1>([^<]+)</FONT> </TD>\r\n<TD> <FONT FACE="Arial" SIZE=1>(?:&nbsp;)*(\d+):(\d\d)</FONT> </TD>\r\n<TD>[^\r]*\r\n[^(]*\((\d+)%\))"));
        QString day;
        for (const auto& m : cell.globalMatch(report)) {
            if (!m.captured(1).isEmpty()) {
                day = QDate(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt())
                          .toString(Qt::ISODate);
                continue;
            }
            fromReport.append({day, m.captured(4),
                               QString::number(m.captured(5).toInt() * 60 + m.captured(6).toInt()),
                               m.captured(7)});
        }
        // Checked by hand: Mail and MAIL summed (603.75 of a 606-minute day), halves to even (2.5, 59.5).
        const QList<QStringList> expected{{"Date", "Application", "Minutes", "Percent"},
                                          {"2024-03-01", "Chat", "0", "0"},
                                          {"2024-03-01", "Mail", "604", "100"},
                                          {"2024-03-01", "Writer", "2", "0"},
                                          {"2024-03-02", "Games", "1", "1"},
                                          {"2024-03-02", "Writer", "60", "99"}};
        QCOMPARE(readCsv(csv), expected);
        QCOMPARE(fromReport, expected.mid(1));
    }

    // Detail cells sum the rows of one application, user and workstation, letter case aside.
    void detailPerUserAndWorkstation() {
        ManagerFixture f;
        const QString d = QStringLiteral("2024-03-01");
        f.addExtractedRow(d, QStringLiteral("Mail"), 10, QStringLiteral("anna"), QStringLiteral("WS-A"));
        f.addExtractedRow(d, QStringLiteral("mail"), 20.5, QStringLiteral("ANNA"), QStringLiteral("ws-a"));
        f.addExtractedRow(d, QStringLiteral("Mail"), 5, QStringLiteral("bob"), QStringLiteral("WS-A"));
        f.addExtractedRow(d, QStringLiteral("Mail"), 1, QStringLiteral("anna"), QStringLiteral("WS-B"));
        f.addExtractedRow(d, QStringLiteral("Chat"), 2, QStringLiteral("bob"), QStringLiteral("WS-B"));
        f.addExtractedRow(QStringLiteral("2024-02-29"), QStringLiteral("Chat"), 3, QStringLiteral("bob"),
                          QStringLiteral("WS-B"));
        const QString csv = f.filePath(QStringLiteral("R.DETAIL.CSV"));
        QCOMPARE(int(ReportCsv::kindOf(csv)), int(ReportCsv::Kind::Detail));
        ReportCsv::write(f.db(), csv, ReportCsv::kindOf(csv));
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
    }
    void failedWriteKeepsTheOldFile() {
        QFETCH(QString, target);
        QFETCH(bool, written);
        ManagerFixture f;
        QFile old(f.filePath(QStringLiteral("old.csv")));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("older content") > 0);
        old.close();
        QVERIFY(old.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        QVERIFY(QDir(f.folder()).mkdir(QStringLiteral("folder.csv")));
        const QString path = f.filePath(target);
        try {
            ReportCsv::write(f.db(), path, ReportCsv::Kind::Summary);
            QVERIFY(written);
            QCOMPARE(ManagerFixture::readFile(path), QByteArray("Date,Application,Minutes,Percent\r\n"));
            // User, group and other bits: the user's alone.
            QCOMPARE(QFile::permissions(path) & 0x0777, QFile::ReadUser | QFile::WriteUser);
        } catch (const VcError& error) {
            QVERIFY(!written);
            QVERIFY2(error.description().contains(path), qPrintable(error.description()));
            QCOMPARE(ManagerFixture::readFile(f.filePath(QStringLiteral("old.csv"))),
                     QByteArray("older content"));
        }
        for (const QString& name : QDir(f.folder()).entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(!name.contains(QStringLiteral("r.csv.")), qPrintable(name)); // no temporary left
    }
};

QTEST_GUILESS_MAIN(TstReportCsv)
#include "tst_reportcsv.moc"
