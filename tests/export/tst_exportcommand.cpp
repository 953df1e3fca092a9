// The "&Export Data..." command: its dialog, cancel, the busy pointer and the status text.
#include "export/ExportCommand.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <QWidget>

namespace {
// Notes whether the busy pointer was up while the operator was being asked something.
class PointerWatchingFeedback : public ScriptedFeedback {
public:
    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override {
        busyDuringMessage << (QApplication::overrideCursor() != nullptr);
        return ScriptedFeedback::message(text, title, icon, buttons);
    }
    QList<bool> busyDuringMessage;
};
} // namespace

class TstExportCommand : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::setUp(); }
    void dialogSetUp();
    void cancelDoesNothing();
    void outcomes_data();
    void outcomes();
};

void TstExportCommand::dialogSetUp() {
    const Feedback::FileDialog dialog = ExportCommand::fileDialog();
    QCOMPARE(dialog.title, QStringLiteral("Export Vellumcrest Data..."));
    QCOMPARE(dialog.initialName, QStringLiteral("Vellumcrest Data.mdb"));
    QCOMPARE(dialog.filter, QStringLiteral("All Files (*.*)|*.*|Access Databases (*.mdb)|*.mdb"));
    QCOMPARE(dialog.defaultSuffix, QStringLiteral("mdb"));
    // No "replace it?" from the dialog: the export adds to a file, and asks so itself.
    QVERIFY(!dialog.confirmOverwrite);
}

void TstExportCommand::cancelDoesNothing() {
    ManagerFixture fixture;
    PointerWatchingFeedback feedback;
    QStringList statuses;
    QWidget window;
    ExportCommand::run(
        feedback, fixture.db(), QDate(2003, 1, 1), QDate(2003, 1, 1),
        [&](const QString& text) { statuses << text; }, &window);
    QCOMPARE(feedback.fileDialogs.size(), 1);
    QCOMPARE(feedback.fileDialogs.constFirst().title, ExportCommand::fileDialog().title);
    QVERIFY(statuses.isEmpty());
    QVERIFY(feedback.messages.isEmpty());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(QDir(fixture.folder()).entryList({"*.mdb"}), QStringList({"VCManager.mdb"}));
}

void TstExportCommand::outcomes_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("existingText");
    QTest::addColumn<QString>("expectedStatus");
    QTest::addColumn<int>("messages");
    QTest::addColumn<QList<Feedback::Answer>>("answers");
    using A = Feedback::Answer;
    QTest::newRow("exported") << "out.mdb" << QByteArray() << "Exported Data to \"%1\"" << 0 << QList<A>{};
    QTest::newRow("existing file: add to it, then unrecognized, No")
        << "out.mdb" << QByteArray("plain text\n").repeated(200)
        << "Cancelled Data Export (unrecognized file format)" << 2 << QList<A>{A::Yes, A::No};
    QTest::newRow("existing file: not added to")
        << "out.mdb" << QByteArray("plain text\n") << QString() << 1 << QList<A>{A::No};
    QTest::newRow("error") << "missing/out.mdb" << QByteArray() << QString() << 1 << QList<A>{};
}

void TstExportCommand::outcomes() {
    QFETCH(QString, fileName);
    QFETCH(QByteArray, existingText);
    QFETCH(QString, expectedStatus);
    QFETCH(int, messages);
    QFETCH(QList<Feedback::Answer>, answers);
    QTemporaryDir dir;
    ManagerFixture fixture;
    fixture.addUsage("PC1", "alice", "Letter.doc - Writer", QDate(2003, 1, 1), 600);
    const QString path = dir.filePath(fileName);
    if (!existingText.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(existingText);
    }
    PointerWatchingFeedback feedback;
    feedback.fileAnswers = {path};
    feedback.answers = answers;
    QStringList statuses;
    QWidget window;
    window.show();
    ExportCommand::run(
        feedback, fixture.db(), QDate(2003, 1, 1), QDate(2003, 1, 1),
        [&](const QString& text) { statuses << text; }, &window);
    QCOMPARE(statuses, expectedStatus.isEmpty() ? QStringList()
                                                : QStringList({QString(expectedStatus).replace("%1", path)}));
    QCOMPARE(feedback.messages.size(), messages);
    if (!existingText.isEmpty())
        QCOMPARE(feedback.messages[0].text, ExportCommand::addToExistingQuestion(path));
    // Questions and messages are shown with the ordinary pointer; it is back to normal afterwards.
    QCOMPARE(feedback.busyDuringMessage, QList<bool>(messages, false));
    QVERIFY(!QApplication::overrideCursor());
    if (expectedStatus.startsWith("Exported"))
        QCOMPARE(ManagerFixture::exportRows(path),
                 QStringList({"PC1|alice|Undefined Applications|600|2003-01-01"}));
}

QTEST_MAIN(TstExportCommand)
#include "tst_exportcommand.moc"
