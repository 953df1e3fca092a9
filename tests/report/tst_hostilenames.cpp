// Hostile names campaign: user names, window titles and machine names with markup, quotes,
// control characters and characters outside Windows-1252 travel from an agent file through the
// download, the captured-titles picker, the report file and the export; nothing is injected
// into the report, nothing is lost or changed on the way.
#include "base/TextUtils.h"
#include "base/Win1252.h"
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "export/DataExport.h"
#include "groupings/frmCapturedTitles.h"
#include "groupings/GroupingsEditor.h"
#include "groupings/GroupingsStore.h"
#include "network/SimNetwork.h"
#include "report/GenerateReport.h"
#include "report/ReportProgress.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedFeedback.h"
#include "support/SimNetworkWriter.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// What one pass leaves behind: the report file and the names as the export file holds them.
struct Pass {
    QByteArray report;
    QStringList exported; // "workstation|user|application" in UTF-8 hex, one per row
};

QString hex(const QString& text) {
    return QString::fromLatin1(text.toUtf8().toHex().toUpper());
}

// Text as the store keeps it: what survives UTF-8 (a lone surrogate becomes "?").
QString stored(const QString& text) {
    return QString::fromUtf8(text.toUtf8());
}

// Text as the store keeps what the operator typed: lone surrogates become U+FFFD.
QString typed(const QString& text) {
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out.at(i).isHighSurrogate() && i + 1 < out.size() && out.at(i + 1).isLowSurrogate())
            ++i;
        else if (out.at(i).isSurrogate())
            out[i] = QChar(0xFFFD);
    }
    return out;
}

// How a stored name must read in the report once its references are resolved: control
// characters as their visible pictures (C0, DEL) or the replacement mark (C1).
QString visible(const QString& text) {
    QString out;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        out += c < 0x20                 ? QChar(0x2400 + c)
               : c == 0x7F              ? QChar(0x2421)
               : c >= 0x80 && c <= 0x9F ? QChar(0xFFFD)
                                        : ch;
    }
    return out;
}

// The report split at its tags: the tags as written, and the text between them with every
// character reference resolved.
struct Parsed {
    QStringList tags;
    QStringList texts;
};

QString resolved(const QString& text) {
    static const QRegularExpression reference("&(#[0-9]+|[a-zA-Z]+);");
    static const QHash<QString, QString> named{
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"nbsp", "\u00a0"}};
    QString out;
    qsizetype at = 0;
    for (const QRegularExpressionMatch& m : reference.globalMatch(text)) {
        const char32_t codePoint = m.captured(1).mid(1).toUInt();
        out += text.mid(at, m.capturedStart() - at) + (m.captured(1).startsWith(QLatin1Char('#'))
                                                           ? QString::fromUcs4(&codePoint, 1)
                                                           : named.value(m.captured(1), "&?"));
        at = m.capturedEnd();
    }
    return out + text.mid(at);
}

Parsed parse(const QByteArray& report) {
    Parsed parsed;
    const QString text = Win1252::decode(report);
    static const QRegularExpression tag("<[^<>]*>");
    qsizetype at = 0;
    for (const QRegularExpressionMatch& m : tag.globalMatch(text)) {
        parsed.texts << resolved(text.mid(at, m.capturedStart() - at));
        parsed.tags << m.captured();
        at = m.capturedEnd();
    }
    parsed.texts << resolved(text.mid(at));
    return parsed;
}

// The machine's folder name: no path separator (a machine name holds none), and text a file
// name can hold.
QString machineFor(const QString& name) {
    QString folder = stored(name.left(40));
    folder.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return "WS " + folder;
}

// A user (whose window title is the name and " - Writer"), an application the operator types in
// (the editor trims it) and a machine, from the agent file to the export. Fails the test on the way.
void run(const QString& name, const QString& application, const QString& machine, Pass& pass) {
    QTemporaryDir dir;
    const QString title = name + " - Writer";
    const QString alias = application.trimmed();
    SimNetworkWriter writer(dir.filePath("net"));
    writer.writeNetwork("SIMNET", {machine});
    writer.writeAgentService(machine);
    writer.writeAgentDatabase(
        machine, {name}, {title},
        {{"2024-03-01", name, title, 3600}, {"2024-03-02 08:00:00", name, title, 1830}});
    ManagerFixture f;
    f.registerWorkstations({machine});
    {
        WorkstationMerge merge(f.db());
        SimNetwork network(writer.dir());
        const DownloadSummary summary = downloadWorkstations(merge, network, {machine});
        QVERIFY2(summary.merged == 1 && summary.rowsImported == 2, qPrintable(downloadOutcomeText(summary)));
    }
    const QString path = f.filePath("VCManager.mdb");
    QCOMPARE(ManagerFixture::query(path, "SELECT hex(UserName) FROM MGRUsers"),
             QStringList{hex(stored(name))});
    QCOMPARE(ManagerFixture::query(path, "SELECT hex(AppTitle) FROM MGRAppTitles"),
             QStringList{hex(BlankDoubleQuotes(stored(title)))});

    // The operator adds the application and picks the captured title for it.
    ScriptedFeedback feedback;
    GroupingsEditor editor(feedback);
    editor.setDatabase(&f.db());
    editor.LoadGroupings();
    editor.setAliasText(application);
    QVERIFY(editor.addAlias());
    {
        frmCapturedTitles picker(f.db(), feedback, alias);
        const QList<QListWidgetItem*> items =
            TestEnv::child<QListWidget>(&picker, "lstWindowTitles")
                ->findItems(BlankDoubleQuotes(stored(title)), Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        items.first()->setSelected(true);
        TestEnv::child<QPushButton>(&picker, "OKButton")->click();
    }
    QCOMPARE(GroupingsStore(f.db()).titlesOf(alias), QStringList{BlankQuotes(stored(title))});

    ReportProgress progress;
    int step = 0;
    const ReportCriteria criteria{QDate(2024, 3, 1), QDate(2024, 3, 2), f.allApplications(), f.allUsers(),
                                  f.allWorkstations()};
    const ReportOutcome outcome = generateReport(f.db(), criteria, f.programFolder(), progress, step);
    QCOMPARE(int(outcome.page), int(ReportPage::Report));
    QFile report(outcome.path);
    QVERIFY(report.open(QIODevice::ReadOnly));
    pass.report = report.readAll();

    const QString exportPath = dir.filePath("export.mdb");
    QVERIFY(DataExport(feedback, f.db()).ExportData(exportPath, QDate(2024, 3, 1), QDate(2024, 3, 2)));
    pass.exported = ManagerFixture::query(
        exportPath,
        "SELECT hex(Workstation), hex(UserName), hex(\"Application Title\") FROM \"All Existing Data\"");
}

} // namespace

class TstHostileNames : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        TestEnv::setUp();
        run("PlainUser", "PlainApp", "WS PlainHost", m_plain);
    }
    void throughEverything_data();
    void throughEverything();

private:
    Pass m_plain;
};

void TstHostileNames::throughEverything_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("bold") << "<b>Bold</b>";
    QTest::newRow("image") << "<img src=x onerror=alert(1)>";
    QTest::newRow("closing tags") << "</table></TD></TR><script>x</script>";
    QTest::newRow("references") << "&amp; &lt;b&gt; &#60; & &";
    QTest::newRow("quotes") << "Bob's \"Letter\" ''";
    QTest::newRow("sql") << "x'); DROP TABLE MGRUsers; --";
    QTest::newRow("format markers") << "%1 %2 %L1 %n %%";
    QTest::newRow("C0") << QStringLiteral("a\x01"
                                          "b\x02"
                                          "c\x1b[31m\x1f");
    QTest::newRow("DEL") << "d\x7f";
    QTest::newRow("CR LF tab") << "line1\r\nline2\tcol\rend";
    QTest::newRow("C1") << "c1\u0085\u0091\u009b";
    QTest::newRow("Windows-1252") << "\u20ac \u2013 \u201cq\u201d \u2018s\u2019 \u00f1";
    QTest::newRow("CJK") << "\u65e5\u672c\u8a9e\u306e\u30bf\u30a4\u30c8\u30eb";
    QTest::newRow("emoji") << "\U0001F600 \U0001F469\u200D\U0001F4BB";
    QTest::newRow("lone surrogates") << QString(QChar(0xD800)) + "x" + QChar(0xDC00);
    QTest::newRow("spaces") << "  padded  ";
    QTest::newRow("backslashes") << "C:\\new\\table";
    QString huge;
    while (huge.size() < 65536)
        huge += "<b>&'\"\t\u65e5\U0001F600";
    QTest::newRow("64 KB") << huge;
}

void TstHostileNames::throughEverything() {
    QFETCH(QString, name);
    Pass pass;
    run(name, name, machineFor(name), pass);
    if (QTest::currentTestFailed())
        return;

    // No control byte but the line ends, which are CR LF.
    static const QRegularExpression control("[\\x00-\\x09\\x0B\\x0C\\x0E-\\x1F\\x7F]|\\r(?!\\n)|(?<!\\r)\\n");
    const QRegularExpressionMatch raw = control.match(QString::fromLatin1(pass.report));
    QVERIFY2(!raw.hasMatch(), qPrintable(QStringLiteral("raw byte at %1").arg(raw.capturedStart())));
    // The same tags as the report of plain names, and the same text with each name in place
    // of its plain counterpart.
    const Parsed plain = parse(m_plain.report);
    const Parsed got = parse(pass.report);
    QCOMPARE(got.tags, plain.tags);
    QCOMPARE(got.texts.size(), plain.texts.size());
    for (qsizetype i = 0; i < got.texts.size(); ++i) {
        const QString want = QString(plain.texts[i])
                                 .replace("WS PlainHost", visible(stored(machineFor(name))))
                                 .replace("PlainUser", visible(stored(name)))
                                 .replace("PlainApp", visible(typed(name.trimmed())));
        QCOMPARE(got.texts[i], want);
    }
    // The export holds every name exactly as the store does.
    QCOMPARE(pass.exported.size(), 2);
    for (const QString& row : pass.exported)
        QCOMPARE(row, hex(stored(machineFor(name))) + QLatin1Char('|') + hex(stored(name)) +
                          QLatin1Char('|') + hex(typed(name.trimmed())));
}

QTEST_MAIN(TstHostileNames)
#include "tst_hostilenames.moc"
