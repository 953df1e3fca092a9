// The groupings page shows its editor: clicks, keys and focus reach the rules, and the picker
// runs through the injected dialog runner. The rules themselves are tst_groupingseditor's.
#include "groupings/frameAppGroupings.h"
#include "groupings/frmCapturedTitles.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedDialogRunner.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {
struct Page {
    Page() {
        f.setGroupings({"Desktop=0", "Word=1"});
        f.addTitleRow("Word", "Document1");
        page.setDatabase(&f.db());
        page.resize(600, 450);
        page.show();
        page.LoadGroupings();
    }
    ManagerFixture f;
    ScriptedFeedback feedback;
    ScriptedDialogRunner dialogs;
    frameAppGroupings page{feedback, dialogs};

    QListWidget* list(const char* name) const { return TestEnv::child<QListWidget>(&page, name); }
    QPushButton* button(const char* name) const { return TestEnv::child<QPushButton>(&page, name); }
    QLineEdit* box(const char* name) const { return TestEnv::child<QLineEdit>(&page, name); }
    QLabel* label(const char* name) const { return TestEnv::child<QLabel>(&page, name); }
    QTreeWidget* lstUnmatched() const { return TestEnv::child<QTreeWidget>(&page, "lstUnmatched"); }
};

QStringList items(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

// The unmatched list as "title|time|share" lines.
QStringList unmatched(const Page& p) {
    QStringList lines;
    const QTreeWidget* tree = p.lstUnmatched();
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree->topLevelItem(i);
        lines.append(item->text(0) + '|' + item->text(1) + '|' + item->text(2));
    }
    return lines;
}

void click(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}
} // namespace

class TstFrameAppGroupings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void clicksAndKeysReachTheEditor() {
        Page p;
        QCOMPARE(items(p.list("lstAppGroupings")), (QStringList{"Desktop", "Word"}));
        QVERIFY(!p.button("cmdAppGroupDelete")->isEnabled());
        click(p.list("lstAppGroupings"), 1);
        QCOMPARE(items(p.list("lstAppGroupingsData")), QStringList{"Document1"});
        QVERIFY(p.button("cmdAppUp")->isEnabled() && p.button("cmdAppGroupDelete")->isEnabled());

        QTest::keyClicks(p.box("txtAppGroupData"), " Notes ");
        QVERIFY(p.button("cmdAppGroupDataAdd")->isEnabled());
        QTest::keyClick(p.box("txtAppGroupData"), Qt::Key_Return);
        QCOMPARE(items(p.list("lstAppGroupingsData")), (QStringList{"Document1", "Notes"}));
        QCOMPARE(p.box("txtAppGroupData")->text(), QString());
        QVERIFY(!p.button("cmdAppGroupDataAdd")->isEnabled());

        QTest::mouseClick(p.button("cmdAppUp"), Qt::LeftButton);
        QCOMPARE(items(p.list("lstAppGroupings")), (QStringList{"Word", "Desktop"}));
        QCOMPARE(p.list("lstAppGroupings")->selectedItems().constFirst()->text(), QString("Word"));
        QCOMPARE(p.f.groupingRows(), (QStringList{"Word=0", "Desktop=1"}));

        click(p.list("lstAppGroupingsData"), 0);
        QTest::mouseClick(p.button("cmdAppGroupDataDelete"), Qt::LeftButton);
        QCOMPARE(p.f.titleRows(), QStringList{"Word|Notes"});
        QCOMPARE(p.list("lstAppGroupingsData")->selectedItems().constFirst()->text(), QString("Notes"));
    }

    void focusEmptiesTheOtherBox() {
        Page p;
        p.box("txtAppGroupData")->setText("title");
        QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(p.box("txtAppGroup"), &in);
        QCOMPARE(p.box("txtAppGroupData")->text(), QString());
        p.box("txtAppGroup")->setText("alias");
        QVERIFY(p.button("cmdAppGroupAdd")->isEnabled());
        QApplication::sendEvent(p.box("txtAppGroupData"), &in);
        QCOMPARE(p.box("txtAppGroup")->text(), QString());
        QVERIFY(!p.button("cmdAppGroupAdd")->isEnabled());
    }

    void pickerRunsThroughTheDialogRunner() {
        Page p;
        p.f.addCaptured({"Document1 - Word", "Calculator"});
        p.dialogs.onRun = [](QDialog& dialog) {
            auto* picker = qobject_cast<frmCapturedTitles*>(&dialog);
            if (!picker)
                return int(QDialog::Rejected);
            TestEnv::child<QListWidget>(picker, "lstWindowTitles")->item(1)->setSelected(true);
            TestEnv::child<QPushButton>(picker, "OKButton")->click();
            return picker->result();
        };
        click(p.list("lstAppGroupings"), 1);
        QTest::mouseClick(p.button("cmdAddFromCaptured"), Qt::LeftButton);
        QCOMPARE(p.dialogs.shown, QStringList{"frmCapturedTitles"});
        QCOMPARE(items(p.list("lstAppGroupingsData")), (QStringList{"Document1", "Document1 - Word"}));
    }

    void unmatchedTitlesGoToTheSelectedApplication() {
        Page p;
        const QDate today = QDate::currentDate();
        p.f.addUsage("WS1", "anna", "Document1 - Writer", today, 600);
        p.f.addUsage("WS1", "anna", "Calculator", today.addDays(-3), 300);
        p.f.addUsage("WS1", "anna", "Solitaire", today.addDays(-1), 900);
        p.f.addUsage("WS1", "anna", "Bob's \"notes\"", today, 60);
        // Older than the last 30 days: no time there, not listed.
        p.f.addUsage("WS1", "anna", "Clock", today.addDays(-30), 6000);
        p.page.refreshCoverage();
        QCOMPARE(unmatched(p), (QStringList{"Solitaire|15 min|48.4%", "Calculator|5 min|16.1%",
                                            "Bob's \"notes\"|1 min|3.2%"}));
        QCOMPARE(p.label("lblTitlesOf")->text(), QString("Window titles of \"Desktop\""));
        click(p.list("lstAppGroupings"), 1);
        QCOMPARE(p.label("lblTitlesOf")->text(), QString("Window titles of \"Word\""));
        QVERIFY2(
            p.label("lblAppCoverage")->text().startsWith("\"Word\" catches 1 captured title holding 10 min"),
            qPrintable(p.label("lblAppCoverage")->text()));
        QVERIFY(!p.button("cmdAddUnmatched")->isEnabled());
        QCOMPARE(p.button("cmdAddUnmatched")->text(), QString("Add to \"Word\""));

        p.lstUnmatched()->topLevelItem(1)->setSelected(true);
        p.lstUnmatched()->topLevelItem(2)->setSelected(true);
        QVERIFY(p.button("cmdAddUnmatched")->isEnabled());
        QTest::mouseClick(p.button("cmdAddUnmatched"), Qt::LeftButton);
        // Stored as the picker stores them: quotes blanked.
        QCOMPARE(p.f.titleRows(), (QStringList{"Word|Document1", "Word|Calculator", "Word|Bob s  notes "}));
        QCOMPARE(items(p.list("lstAppGroupingsData")),
                 (QStringList{"Document1", "Calculator", "Bob s  notes "}));
        QCOMPARE(unmatched(p), QStringList{"Solitaire|15 min|48.4%"});
        QVERIFY2(
            p.label("lblAppCoverage")->text().startsWith("\"Word\" catches 3 captured titles holding 16 min"),
            qPrintable(p.label("lblAppCoverage")->text()));
        QVERIFY(!p.button("cmdAddUnmatched")->isEnabled());
        QVERIFY(p.feedback.messages.isEmpty());

        // Deleting the entry gives the title back to the list.
        click(p.list("lstAppGroupingsData"), 1);
        QTest::mouseClick(p.button("cmdAppGroupDataDelete"), Qt::LeftButton);
        QCOMPARE(unmatched(p), (QStringList{"Solitaire|15 min|48.4%", "Calculator|5 min|16.1%"}));
    }

    // The button names where the titles go; "Desktop" asks first. Enter in the title box adds as
    // the button does, and the unmatched list and the coverage line follow at once.
    void desktopAsksFirstAndEnterRefreshes() {
        Page p;
        p.f.addUsage("WS1", "anna", "Calculator", QDate::currentDate(), 300);
        p.page.refreshCoverage();
        QCOMPARE(p.button("cmdAddUnmatched")->text(), QString("Add to \"Desktop\""));
        p.lstUnmatched()->topLevelItem(0)->setSelected(true);
        p.feedback.answers = {Feedback::Answer::No};
        QTest::mouseClick(p.button("cmdAddUnmatched"), Qt::LeftButton);
        QCOMPARE(p.feedback.messages.size(), 1);
        QCOMPARE(p.f.titleRows(), QStringList{"Word|Document1"});
        QCOMPARE(unmatched(p), QStringList{"Calculator|5 min|100.0%"});

        click(p.list("lstAppGroupings"), 1);
        QTest::keyClicks(p.box("txtAppGroupData"), "calc");
        QTest::keyClick(p.box("txtAppGroupData"), Qt::Key_Return);
        QCOMPARE(p.f.titleRows(), (QStringList{"Word|Document1", "Word|calc"}));
        QCOMPARE(unmatched(p), QStringList());
        QVERIFY2(
            p.label("lblAppCoverage")->text().startsWith("\"Word\" catches 1 captured title holding 5 min"),
            qPrintable(p.label("lblAppCoverage")->text()));
    }

    // The list sorts by any column (times by their seconds) and shows only what the filter
    // holds; a title filtered away is never added.
    void unmatchedListSortsAndFilters() {
        Page p;
        const QDate today = QDate::currentDate();
        p.f.addUsage("WS1", "anna", "b-calc", today, 600);
        p.f.addUsage("WS1", "anna", "a-clock", today, 5400);
        p.f.addUsage("WS1", "anna", "C-notes", today, 60);
        p.page.refreshCoverage();
        QCOMPARE(unmatched(p),
                 (QStringList{"a-clock|1 h 30 min|89.1%", "b-calc|10 min|9.9%", "C-notes|1 min|1.0%"}));
        p.lstUnmatched()->sortByColumn(1, Qt::AscendingOrder); // "1 h 30 min" is the most, not "1..." first
        QCOMPARE(unmatched(p).constLast(), QString("a-clock|1 h 30 min|89.1%"));
        p.lstUnmatched()->sortByColumn(0, Qt::DescendingOrder);
        QCOMPARE(unmatched(p).constFirst(), QString("C-notes|1 min|1.0%"));
        p.lstUnmatched()->selectAll();
        TestEnv::child<QLineEdit>(&p.page, "txtUnmatchedFilter")->setText("CL");
        click(p.list("lstAppGroupings"), 1);
        QTest::mouseClick(p.button("cmdAddUnmatched"), Qt::LeftButton);
        QCOMPARE(p.f.titleRows(), (QStringList{"Word|Document1", "Word|a-clock"}));
    }

    void refusedAddChangesNothing() {
        Page p;
        p.f.addUsage("WS1", "anna", "Calculator", QDate::currentDate(), 300);
        p.page.refreshCoverage();
        click(p.list("lstAppGroupings"), 1);
        p.f.refuse("INSERT", "MGRGroupingsData");
        p.lstUnmatched()->topLevelItem(0)->setSelected(true);
        QTest::mouseClick(p.button("cmdAddUnmatched"), Qt::LeftButton);
        QCOMPARE(p.feedback.messages.size(), 1);
        QVERIFY(p.feedback.messages[0].text.contains("refused by the test"));
        QCOMPARE(p.f.titleRows(), QStringList{"Word|Document1"});
        QCOMPARE(unmatched(p), QStringList{"Calculator|5 min|100.0%"});
        QCOMPARE(p.label("lblTitlesOf")->text(), QString("Window titles of \"Word\""));
    }

    void criteriaDaysAreCounted() {
        Page p;
        p.f.addUsage("WS1", "anna", "Calculator", QDate(2024, 3, 1), 300);
        p.f.addUsage("WS1", "anna", "Solitaire", QDate(2024, 3, 2), 600);
        p.page.setTitleRange(QDate(2024, 3, 1), QDate(2024, 3, 1));
        QCOMPARE(unmatched(p), QStringList{"Calculator|5 min|100.0%"});
        p.page.setTitleRange(QDate(2024, 3, 1), QDate(2024, 3, 2));
        QCOMPARE(unmatched(p), (QStringList{"Solitaire|10 min|66.7%", "Calculator|5 min|33.3%"}));
    }
};

QTEST_MAIN(TstFrameAppGroupings)
#include "tst_frameappgroupings.moc"
