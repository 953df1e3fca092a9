// Reading a report file back for the screen: the writer's own files and nothing else.
#include "report/ReportOutline.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QtTest>

namespace {

QByteArray golden() {
    QFile file(QStringLiteral(VC_REPORT_TEST_DATA "/expected_report.html"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TstReportOutline : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void readsWhatTheFileShows() {
        const std::optional<ReportOutline> outline = ReportOutline::parse(golden());
        QVERIFY(outline);
        QCOMPARE(outline->title, QStringLiteral("Application Usage Report"));
        QCOMPARE(outline->days.size(), 3);
        const ReportOutline::Day& first = outline->days[0];
        QCOMPARE(first.date, QStringLiteral("3/1/2024"));
        QCOMPARE(first.total, QStringLiteral("2:02"));
        QCOMPARE(first.applications.size(), 3);
        // References and the blanks that pad the columns are read as the page shows them.
        QCOMPARE(first.applications[1].name, QStringLiteral("Web & <Mail>"));
        QCOMPARE(first.applications[1].time, QStringLiteral("1:45"));
        QCOMPARE(first.applications[1].percent, QStringLiteral("(86%)"));
        QCOMPARE(first.applications[0].percent, QStringLiteral("(1%)"));
        QCOMPARE(outline->days[1].applications[1].name, QStringLiteral("Ελληνικά"));
        QCOMPARE(outline->days[1].applications[1].percent, QStringLiteral("(100%)"));
        QCOMPARE(outline->users,
                 (QStringList{QStringLiteral("anna"), QStringLiteral("Bob \"B\""), QStringLiteral("Zoë")}));
        QCOMPARE(outline->workstations,
                 (QStringList{QStringLiteral("WS-A"), QStringLiteral("WS-B"), QStringLiteral("ПК-1")}));
        QCOMPARE(outline->grandTotal, QStringLiteral("12:02"));
    }

    // Anything the writer would not have written is left to the HTML view, whole.
    void refusesOtherFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray file = golden();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut short") << file.left(file.size() / 2);
        QTest::newRow("last line end missing") << file.chopped(2);
        QTest::newRow("bytes after the end") << file + "<P>more</P>\r\n";
        QTest::newRow("line ends of another system") << QByteArray(file).replace("\r\n", "\n");
        QTest::newRow("a name line edited")
            << QByteArray(file).replace("SIZE=1>Writer</FONT> </TD>", "SIZE=1><B>Writer</B></FONT> </TD> ");
        QTest::newRow("a row without its percentage")
            << QByteArray(file).replace("&nbsp;&nbsp;(86%)</FONT>\r\n", "");
        QTest::newRow("a fixed page")
            << QByteArray("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\r\n"
                          "<HTML><BODY>There is no usage data.</BODY></HTML>\r\n");
    }
    void refusesOtherFiles() {
        QFETCH(QByteArray, bytes);
        QVERIFY(!ReportOutline::parse(bytes));
    }

    void decodesReferences_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("named") << QByteArray("a &amp; b &lt;c&gt; &quot;d&quot;")
                               << QStringLiteral("a & b <c> \"d\"");
        QTest::newRow("numeric") << QByteArray("&#1055;&#1050;") << QStringLiteral("ПК");
        QTest::newRow("beyond the first plane")
            << QByteArray("&#128512;") << QString::fromUcs4(U"\U0001F600", 1);
        QTest::newRow("code page byte") << QByteArray("Zo\xEB") << QStringLiteral("Zoë");
        QTest::newRow("control picture") << QByteArray("&#9225;") << QStringLiteral("\u2409");
        QTest::newRow("a lone ampersand") << QByteArray("R&D") << QStringLiteral("R&D");
        QTest::newRow("out of range") << QByteArray("&#99999999;") << QStringLiteral("\uFFFD");
        QTest::newRow("surrogate") << QByteArray("&#55296;") << QStringLiteral("\uFFFD");
    }
    void decodesReferences() {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        QByteArray file = golden();
        file.replace("SIZE=1>Writer</FONT> </TD>", "SIZE=1>" + name + "</FONT> </TD>");
        const std::optional<ReportOutline> outline = ReportOutline::parse(file);
        QVERIFY(outline);
        QCOMPARE(outline->days[0].applications[2].name, shown);
    }
};

QTEST_GUILESS_MAIN(TstReportOutline)
#include "tst_reportoutline.moc"
