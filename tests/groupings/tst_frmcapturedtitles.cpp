// The captured-titles picker: its list order, the OK rule, and what OK and Cancel write.
#include "groupings/frmCapturedTitles.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace {
QStringList items(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

QListWidget* titles(const frmCapturedTitles& picker) {
    return TestEnv::child<QListWidget>(&picker, "lstWindowTitles");
}
QPushButton* button(const frmCapturedTitles& picker, const char* name) {
    return TestEnv::child<QPushButton>(&picker, name);
}

void click(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(list->item(row)).center());
}

const QStringList kCaptured = {"notepad - todo.txt",    "Calculator", " Leading blank", "Bob's \"big\" day",
                               "apple's pie - Recipes", "CALCULATOR"};
} // namespace

class TstFrmCapturedTitles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void listsEveryTitleAlphabetically() {
        ManagerFixture f;
        f.addCaptured(kCaptured);
        f.addTitleRow("Word", "Calculator"); // attached titles are offered again
        ScriptedFeedback feedback;
        frmCapturedTitles picker(f.db(), feedback, "Word");
        QCOMPARE(TestEnv::child<QLabel>(&picker, "lblAppGrouping")->text(), QString("Word"));
        QCOMPARE(items(titles(picker)),
                 (QStringList{" Leading blank", "apple's pie - Recipes", "Bob's \"big\" day", "CALCULATOR",
                              "Calculator", "notepad - todo.txt"}));
        QVERIFY(!button(picker, "OKButton")->isEnabled());
    }

    void okFollowsTheSelection() {
        ManagerFixture f;
        f.addCaptured(kCaptured);
        ScriptedFeedback feedback;
        frmCapturedTitles picker(f.db(), feedback, "Word");
        picker.show();
        click(titles(picker), 2);
        QVERIFY(button(picker, "OKButton")->isEnabled());
        click(titles(picker), 2, Qt::ControlModifier);
        QVERIFY(titles(picker)->selectedItems().isEmpty());
        QVERIFY(!button(picker, "OKButton")->isEnabled());
    }

    void okWritesPickedTitlesInListOrder() {
        ManagerFixture f;
        f.addCaptured(kCaptured);
        ScriptedFeedback feedback;
        const QString alias = QStringLiteral("Office \"Suite\"");
        frmCapturedTitles picker(f.db(), feedback, alias);
        picker.show();
        // Picked bottom-up, written top-down.
        click(titles(picker), 5);
        click(titles(picker), 2, Qt::ControlModifier);
        click(titles(picker), 0, Qt::ControlModifier);
        click(titles(picker), 1, Qt::ControlModifier);
        QTest::mouseClick(button(picker, "OKButton"), Qt::LeftButton);
        QCOMPARE(picker.result(), int(QDialog::Accepted));
        QCOMPARE(f.titleRows(), (QStringList{alias + "| Leading blank", alias + "|apple s pie - Recipes",
                                             alias + "|Bob s  big  day", alias + "|notepad - todo.txt"}));
        QVERIFY(feedback.messages.isEmpty());
    }

    void cancelWritesNothing() {
        ManagerFixture f;
        f.addCaptured(kCaptured);
        ScriptedFeedback feedback;
        frmCapturedTitles picker(f.db(), feedback, "Word");
        picker.show();
        click(titles(picker), 0);
        click(titles(picker), 4, Qt::ShiftModifier);
        QTest::mouseClick(button(picker, "CancelButton"), Qt::LeftButton);
        QCOMPARE(picker.result(), int(QDialog::Rejected));
        QCOMPARE(f.titleRows(), QStringList{});
    }

    void emptyWithoutAliasOrCapturedTitles_data() {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QStringList>("captured");
        QTest::newRow("no alias selected") << QString() << kCaptured;
        QTest::newRow("nothing captured yet") << QString("Word") << QStringList{};
    }
    void emptyWithoutAliasOrCapturedTitles() {
        QFETCH(QString, alias);
        QFETCH(QStringList, captured);
        ManagerFixture f;
        f.addCaptured(captured);
        ScriptedFeedback feedback;
        frmCapturedTitles picker(f.db(), feedback, alias);
        QCOMPARE(titles(picker)->count(), 0);
        QVERIFY(!button(picker, "OKButton")->isEnabled());
    }

    void failedWriteLeavesNoRowAndStillCloses() {
        ManagerFixture f;
        f.addCaptured(kCaptured);
        f.refuse("INSERT", "MGRGroupingsData", "NEW.WindowTitle = 'notepad - todo.txt'");
        ScriptedFeedback feedback;
        frmCapturedTitles picker(f.db(), feedback, "Word");
        picker.show();
        click(titles(picker), 0);
        click(titles(picker), 5, Qt::ShiftModifier);
        QTest::mouseClick(button(picker, "OKButton"), Qt::LeftButton);
        QVERIFY(!picker.isVisible());
        QCOMPARE(f.titleRows(), QStringList{});
        QCOMPARE(feedback.messages.size(), 1);
        QCOMPARE(feedback.messages[0].icon, Feedback::Icon::Critical);
        QCOMPARE(feedback.messages[0].title, QString("Vellumcrest\u2122 Window Titles"));
        QVERIFY(feedback.messages[0].text.contains("refused by the test"));
    }
};

QTEST_MAIN(TstFrmCapturedTitles)
#include "tst_frmcapturedtitles.moc"
