// Report text pieces: times and pads, percentages, the grand total, names in the file, and the
// criteria line of a printed report.
#include "report/ReportDisplay.h"
#include "report/ReportHeading.h"
#include "report/ReportText.h"

#include <QtTest>

class TstReportText : public QObject {
    Q_OBJECT
private slots:
    void rounding_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("expected");
        QTest::newRow("0.5") << 0.5 << 0.0;
        QTest::newRow("1.5") << 1.5 << 2.0;
        QTest::newRow("2.5") << 2.5 << 2.0;
        QTest::newRow("2.51") << 2.51 << 3.0;
        QTest::newRow("121.5") << 121.5 << 122.0;
        QTest::newRow("-0.5") << -0.5 << 0.0;
    }
    void rounding() {
        QFETCH(double, x);
        QFETCH(double, expected);
        QCOMPARE(ReportText::roundHalfEven(x), expected);
    }

    void time_data() {
        QTest::addColumn<double>("minutes");
        QTest::addColumn<QByteArray>("cell");
        QTest::newRow("59") << 59.0 << QByteArray("&nbsp;&nbsp;0:59");
        QTest::newRow("75") << 75.0 << QByteArray("&nbsp;&nbsp;1:15");
        QTest::newRow("rounded up") << 59.9 << QByteArray("&nbsp;&nbsp;1:00");
        QTest::newRow("rounded down") << 75.4 << QByteArray("&nbsp;&nbsp;1:15");
        QTest::newRow("half to even, down") << 58.5 << QByteArray("&nbsp;&nbsp;0:58");
        QTest::newRow("half to even, up") << 59.5 << QByteArray("&nbsp;&nbsp;1:00");
        QTest::newRow("599.5 rounds to ten hours, unpadded") << 599.5 << QByteArray("10:00");
        QTest::newRow("599.4 still padded") << 599.4 << QByteArray("&nbsp;&nbsp;9:59");
        QTest::newRow("605") << 605.0 << QByteArray("10:05");
        QTest::newRow("1500 has no 24-hour limit") << 1500.0 << QByteArray("25:00");
        QTest::newRow("0") << 0.0 << QByteArray("&nbsp;&nbsp;0:00");
    }
    void time() {
        QFETCH(double, minutes);
        QFETCH(QByteArray, cell);
        QCOMPARE(ReportText::timePad(minutes) + ReportText::timeText(minutes), cell);
    }

    // Whole minutes and percentages from exact sums: rounded once, halves to even, in integers.
    void exactSums_data() {
        QTest::addColumn<qint64>("milliseconds");
        QTest::addColumn<qint64>("minutes");
        QTest::newRow("30 s to even: 0") << qint64(30000) << qint64(0);
        QTest::newRow("90 s to even: 2") << qint64(90000) << qint64(2);
        QTest::newRow("just under a half") << qint64(89999) << qint64(1);
        QTest::newRow("1231:52.9") << qint64((1231 * 60 + 52) * 1000 + 900) << qint64(1232);
        QTest::newRow("negative half to even") << qint64(-90000) << qint64(-2);
        QTest::newRow("73914.5 minutes") << qint64(4434870000) << qint64(73914);
    }
    void exactSums() {
        QFETCH(qint64, milliseconds);
        QFETCH(qint64, minutes);
        QCOMPARE(ReportText::wholeMinutes(milliseconds), minutes);
    }

    void percent_data() {
        QTest::addColumn<qint64>("part");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("5%") << qint64(5) << qint64(100) << QByteArray("&nbsp;&nbsp;&nbsp;&nbsp;(5%)</FONT>");
        QTest::newRow("45%") << qint64(45) << qint64(100) << QByteArray("&nbsp;&nbsp;(45%)</FONT>");
        QTest::newRow("100%") << qint64(7) << qint64(7) << QByteArray("(100%)</FONT>");
        QTest::newRow("zero total") << qint64(0) << qint64(0)
                                    << QByteArray("&nbsp;&nbsp;&nbsp;&nbsp;(0%)</FONT>");
        QTest::newRow("12.5 to even") << qint64(1) << qint64(8) << QByteArray("&nbsp;&nbsp;(12%)</FONT>");
        QTest::newRow("9.5 to even") << qint64(19) << qint64(200) << QByteArray("&nbsp;&nbsp;(10%)</FONT>");
    }
    void percent() {
        QFETCH(qint64, part);
        QFETCH(qint64, total);
        QFETCH(QByteArray, text);
        QCOMPARE(ReportText::percentText(ReportText::percentOf(part, total)), text);
    }

    void grandTotal_data() {
        QTest::addColumn<qint64>("minutes");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("59") << qint64(59) << QByteArray("&nbsp;&nbsp;0:59");
        QTest::newRow("61") << qint64(61) << QByteArray("&nbsp;&nbsp;1:01");
        QTest::newRow("600") << qint64(600) << QByteArray("10:00");
        QTest::newRow("100000") << qint64(100000) << QByteArray("1666:40");
    }
    void grandTotal() {
        QFETCH(qint64, minutes);
        QFETCH(QByteArray, text);
        QCOMPARE(ReportText::grandTotalText(minutes), text);
    }

    void html_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("plain") << "Writer" << QByteArray("Writer");
        QTest::newRow("markup") << "<script>&\"x\"" << QByteArray("&lt;script&gt;&amp;&quot;x&quot;");
        QTest::newRow("Latin-1 byte") << "Zoë" << QByteArray("Zo\xEB");
        QTest::newRow("1252 special") << "€ ™" << QByteArray("\x80 \x99");
        QTest::newRow("Cyrillic") << "ПК" << QByteArray("&#1055;&#1050;");
        QTest::newRow("outside the BMP") << QString::fromUcs4(U"a\U0001F600b") << QByteArray("a&#128512;b");
        // Control characters are never written raw; C0 ones and DEL show as their control
        // pictures, C1 ones (which a browser would read as Windows-1252 letters) as U+FFFD.
        QTest::newRow("C0 controls") << QStringLiteral("a\tb\nc\r") + QChar(0) + QChar(0x1B)
                                     << QByteArray("a&#9225;b&#9226;c&#9229;&#9216;&#9243;");
        QTest::newRow("DEL") << QStringLiteral("x") + QChar(0x7F) << QByteArray("x&#9249;");
        QTest::newRow("C1 controls") << QString(QChar(0x80)) + QChar(0x9F) << QByteArray("&#65533;&#65533;");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("&#65533;");
    }
    void html() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QCOMPARE(ReportText::html(name), bytes);
    }

    // The viewer gets complete entities; references that merely start with 153 stay intact.
    void displayText_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("shown");
        QTest::newRow("pad") << QByteArray("<TD>&nbsp;&nbsp</TD>") << "<TD>&nbsp;&nbsp;</TD>";
        QTest::newRow("complete pad kept") << QByteArray("&nbsp;x") << "&nbsp;x";
        QTest::newRow("trade mark") << QByteArray("Vellumcrest&#153 Application")
                                    << "Vellumcrest&#8482; Application";
        QTest::newRow("longer reference") << QByteArray("&#15300;&#1534;") << "&#15300;&#1534;";
        QTest::newRow("windows-1252 byte") << QByteArray("caf\xe9 \x80") << "caf\u00e9 \u20ac";
    }
    void displayText() {
        QFETCH(QByteArray, file);
        QFETCH(QString, shown);
        QCOMPARE(reportHtmlForDisplay(file), shown);
    }

    // A pseudonymised report's heading counts the people it covers and never names one.
    void choiceText_data() {
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<QStringList>("unchecked");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("counted");
        const QStringList ab{"anna", "ben"};
        QTest::newRow("all") << ab << QStringList{} << "all"
                             << "all";
        QTest::newRow("none") << QStringList{} << ab << "none"
                              << "none";
        QTest::newRow("one left out") << ab << QStringList{"carla"} << "all but carla"
                                      << "2 of 3";
        QTest::newRow("few chosen") << QStringList{"anna"} << QStringList{"ben", "carla"} << "only anna"
                                    << "1 of 3";
    }
    void choiceText() {
        QFETCH(QStringList, checked);
        QFETCH(QStringList, unchecked);
        QFETCH(QString, shown);
        QFETCH(QString, counted);
        QCOMPARE(ReportHeading::choiceText(checked, unchecked), shown);
        QCOMPARE(ReportHeading::choiceText(checked, unchecked, ReportHeading::Names::Counted), counted);
    }
};

QTEST_GUILESS_MAIN(TstReportText)
#include "tst_reporttext.moc"
