// Hostile names campaign: user names, window titles and machine names with markup, quotes,
// control characters and characters outside Windows-1252 travel from an agent file through the
// download, the captured-titles picker, the report file and the export; nothing is injected
// into the report, nothing is lost or changed on the way.
#include "base/TextUtils.h"
#include "base/Win1252.h"
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "discovery/SimNetwork.h"
#include "export/DataExport.h"
#include "groupings/frmCapturedTitles.h"
#include "groupings/GroupingsEditor.h"
#include "groupings/GroupingsStore.h"
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
    QString failure;
};

QString hex(const QString& text) {
    return QString::fromLatin1(text.toUtf8().toHex().toUpper());
}

// Text as the store keeps it: what survives UTF-8 (a lone surrogate becomes U+FFFD).
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

// How a name must read in the report once its references are resolved: control characters as
// their visible pictures (C0, DEL) or the replacement mark (C1, lone surrogates).
QString visible(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x20)
            out += QChar(0x2400 + c);
        else if (c == 0x7F)
            out += QChar(0x2421);
        else if ((c >= 0x80 && c <= 0x9F))
            out += QChar(0xFFFD);
        else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            out += text.mid(i++, 2);
        else if (QChar::isSurrogate(c))
            out += QChar(0xFFFD);
        else
            out += QChar(c);
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
    static const QRegularExpression reference(QStringLiteral("&(#[0-9]+|[a-zA-Z]+);"));
    QString out;
    qsizetype at = 0;
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(at, m.capturedStart() - at);
        const QString name = m.captured(1);
        if (name.startsWith(QLatin1Char('#'))) {
            const char32_t codePoint = name.mid(1).toUInt();
            out += QString::fromUcs4(&codePoint, 1);
        } else
            out +=
                QHash<QString, QString>{
                    {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"nbsp", "\u00a0"}}
                    .value(name, QStringLiteral("&?") + name + QLatin1Char(';'));
        at = m.capturedEnd();
    }
    return out + text.mid(at);
}

Parsed parse(const QByteArray& report) {
    Parsed parsed;
    const QString text = Win1252::decode(report);
    static const QRegularExpression tag(QStringLiteral("<[^<>]*>"));
    qsizetype at = 0;
    for (auto it = tag.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
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
    return QStringLiteral("WS ") + folder;
}

// A user (whose window title is the name and " - Writer"), an application the operator types in
// (the editor trims it) and a machine, from the agent file to the export.
Pass run(const QString& name, const QString& application, const QString& machine) {
    Pass pass;
    QTemporaryDir dir;
    const QString title = name + QStringLiteral(" - Writer");
    const QString alias = application.trimmed();
    SimNetworkWriter writer(dir.filePath(QStringLiteral("net")));
    writer.writeNetwork(QStringLiteral("SIMNET"), {machine});
    writer.writeAgentService(machine);
    writer.writeAgentDatabase(
        machine, {name}, {title},
        {{"2024-03-01", name, title, 3600}, {"2024-03-02 08:00:00", name, title, 1830}});
    ManagerFixture f;
    f.registerWorkstations({machine});
    {
        WorkstationMerge merge(f.db());
        SimNetwork network(writer.dir());
        const DownloadSummary summary = DownloadWorkstations(merge, network, {machine});
        if (summary.merged != 1 || summary.rowsImported != 2)
            return {{}, {}, QStringLiteral("download: ") + DownloadOutcomeText(summary)};
    }
    const QString path = f.filePath(QStringLiteral("VCManager.mdb"));
    if (ManagerFixture::query(path, "SELECT hex(UserName) FROM MGRUsers") != QStringList{hex(stored(name))} ||
        ManagerFixture::query(path, "SELECT hex(AppTitle) FROM MGRAppTitles") !=
            QStringList{hex(BlankDoubleQuotes(stored(title)))})
        return {{}, {}, QStringLiteral("download changed a name")};

    // The operator adds the application and picks the captured title for it.
    ScriptedFeedback feedback;
    GroupingsEditor editor(feedback);
    editor.setDatabase(&f.db());
    editor.LoadGroupings();
    editor.setAliasText(application);
    if (!editor.addAlias())
        return {{}, {}, QStringLiteral("the application was refused")};
    {
        frmCapturedTitles picker(f.db(), feedback, alias);
        const QList<QListWidgetItem*> items =
            picker.lstWindowTitles->findItems(BlankDoubleQuotes(stored(title)), Qt::MatchExactly);
        if (items.size() != 1)
            return {{}, {}, QStringLiteral("the picker does not list the captured title")};
        items.first()->setSelected(true);
        picker.OKButton->click();
    }
    if (GroupingsStore(f.db()).titlesOf(alias) != QStringList{BlankQuotes(stored(title))})
        return {{}, {}, QStringLiteral("the picked title was not stored as picked")};

    ReportProgress progress;
    int step = 0;
    const ReportCriteria criteria{QDate(2024, 3, 1), QDate(2024, 3, 2), f.allApplications(), f.allUsers(),
                                  f.allWorkstations()};
    const ReportOutcome outcome = GenerateReport(f.db(), criteria, f.programFolder(), progress, step);
    if (outcome.page != ReportPage::Report)
        return {{}, {}, QStringLiteral("no report")};
    QFile report(outcome.path);
    if (!report.open(QIODevice::ReadOnly))
        return {{}, {}, QStringLiteral("no report file")};
    pass.report = report.readAll();

    const QString exportPath = dir.filePath(QStringLiteral("export.mdb"));
    if (!DataExport(feedback, f.db()).ExportData(exportPath, QDate(2024, 3, 1), QDate(2024, 3, 2)))
        return {{}, {}, QStringLiteral("export failed")};
    pass.exported = ManagerFixture::query(
        exportPath,
        "SELECT hex(Workstation), hex(UserName), hex(\"Application Title\") FROM \"All Existing Data\"");
    return pass;
}

} // namespace

class TstHostileNames : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        TestEnv::setUp();
        m_plain =
            run(QStringLiteral("PlainUser"), QStringLiteral("PlainApp"), QStringLiteral("WS PlainHost"));
        QVERIFY2(m_plain.failure.isEmpty(), qPrintable(m_plain.failure));
    }
    void throughEverything_data();
    void throughEverything();

private:
    Pass m_plain;
};

void TstHostileNames::throughEverything_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("bold") << QStringLiteral("<b>Bold</b>");
    QTest::newRow("image") << QStringLiteral("<img src=x onerror=alert(1)>");
    QTest::newRow("closing tags") << QStringLiteral("</table></TD></TR><script>x</script>");
    QTest::newRow("references") << QStringLiteral("&amp; &lt;b&gt; &#60; & &");
    QTest::newRow("quotes") << QStringLiteral("Bob's \"Letter\" ''");
    QTest::newRow("sql") << QStringLiteral("x'); DROP TABLE MGRUsers; --");
    QTest::newRow("format markers") << QStringLiteral("%1 %2 %L1 %n %%");
    QTest::newRow("C0") << QStringLiteral("a\x01"
                                          "b\x02"
                                          "c\x1b[31m\x1f");
    QTest::newRow("DEL") << QStringLiteral("d\x7f");
    QTest::newRow("CR LF tab") << QStringLiteral("line1\r\nline2\tcol\rend");
    QTest::newRow("C1") << QStringLiteral("c1\u0085\u0091\u009b");
    QTest::newRow("Windows-1252") << QStringLiteral("\u20ac \u2013 \u201cq\u201d \u2018s\u2019 \u00f1");
    QTest::newRow("CJK") << QStringLiteral("\u65e5\u672c\u8a9e\u306e\u30bf\u30a4\u30c8\u30eb");
    QTest::newRow("emoji") << QStringLiteral("\U0001F600 \U0001F469\u200D\U0001F4BB");
    QTest::newRow("lone surrogates") << QString(QChar(0xD800)) + QStringLiteral("x") + QChar(0xDC00);
    QTest::newRow("spaces") << QStringLiteral("  padded  ");
    QTest::newRow("backslashes") << QStringLiteral("C:\\new\\table");
    QString huge;
    while (huge.size() < 65536)
        huge += QStringLiteral("<b>&'\"\t\u65e5\U0001F600");
    QTest::newRow("64 KB") << huge;
}

void TstHostileNames::throughEverything() {
    QFETCH(QString, name);
    const Pass pass = run(name, name, machineFor(name));
    QVERIFY2(pass.failure.isEmpty(), qPrintable(pass.failure));

    // No control byte but the line ends, which are CR LF.
    for (qsizetype i = 0; i < pass.report.size(); ++i) {
        const auto byte = quint8(pass.report[i]);
        const bool lineEnd = (byte == '\r' && i + 1 < pass.report.size() && pass.report[i + 1] == '\n') ||
                             (byte == '\n' && i > 0 && pass.report[i - 1] == '\r');
        QVERIFY2(lineEnd || (byte >= 0x20 && byte != 0x7F),
                 qPrintable(QStringLiteral("raw byte %1 at %2").arg(byte).arg(i)));
    }
    // The same tags as the report of plain names, and the same text with each name in place
    // of its plain counterpart.
    const Parsed plain = parse(m_plain.report);
    const Parsed got = parse(pass.report);
    QCOMPARE(got.tags, plain.tags);
    QCOMPARE(got.texts.size(), plain.texts.size());
    for (qsizetype i = 0; i < got.texts.size(); ++i) {
        const QString want = QString(plain.texts[i])
                                 .replace(QStringLiteral("WS PlainHost"), visible(stored(machineFor(name))))
                                 .replace(QStringLiteral("PlainUser"), visible(stored(name)))
                                 .replace(QStringLiteral("PlainApp"), visible(typed(name.trimmed())));
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
