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
};

QStringList items(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

// The unmatched list as "title|time|share" lines.
QStringList unmatched(const frameAppGroupings& page) {
    QStringList lines;
    for (int i = 0; i < page.lstUnmatched->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = page.lstUnmatched->topLevelItem(i);
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
        auto& page = p.page;
        QCOMPARE(items(page.lstAppGroupings), (QStringList{"Desktop", "Word"}));
        QVERIFY(!page.cmdAppGroupDelete->isEnabled());
        click(page.lstAppGroupings, 1);
        QCOMPARE(items(page.lstAppGroupingsData), QStringList{"Document1"});
        QVERIFY(page.cmdAppUp->isEnabled() && page.cmdAppGroupDelete->isEnabled());

        QTest::keyClicks(page.txtAppGroupData, " Notes ");
        QVERIFY(page.cmdAppGroupDataAdd->isEnabled());
        QTest::keyClick(page.txtAppGroupData, Qt::Key_Return);
        QCOMPARE(items(page.lstAppGroupingsData), (QStringList{"Document1", "Notes"}));
        QCOMPARE(page.txtAppGroupData->text(), QString());
        QVERIFY(!page.cmdAppGroupDataAdd->isEnabled());

        QTest::mouseClick(page.cmdAppUp, Qt::LeftButton);
        QCOMPARE(items(page.lstAppGroupings), (QStringList{"Word", "Desktop"}));
        QCOMPARE(page.lstAppGroupings->selectedItems().constFirst()->text(), QString("Word"));
        QCOMPARE(p.f.groupingRows(), (QStringList{"Word=0", "Desktop=1"}));

        click(page.lstAppGroupingsData, 0);
        QTest::mouseClick(page.cmdAppGroupDataDelete, Qt::LeftButton);
        QCOMPARE(p.f.titleRows(), QStringList{"Word|Notes"});
        QCOMPARE(page.lstAppGroupingsData->selectedItems().constFirst()->text(), QString("Notes"));
    }

    void focusEmptiesTheOtherBox() {
        Page p;
        auto& page = p.page;
        page.txtAppGroupData->setText("title");
        QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(page.txtAppGroup, &in);
        QCOMPARE(page.txtAppGroupData->text(), QString());
        page.txtAppGroup->setText("alias");
        QVERIFY(page.cmdAppGroupAdd->isEnabled());
        QApplication::sendEvent(page.txtAppGroupData, &in);
        QCOMPARE(page.txtAppGroup->text(), QString());
        QVERIFY(!page.cmdAppGroupAdd->isEnabled());
    }

    void pickerRunsThroughTheDialogRunner() {
        Page p;
        p.f.addCaptured({"Document1 - Word", "Calculator"});
        p.dialogs.onRun = [](QDialog& dialog) {
            auto* picker = qobject_cast<frmCapturedTitles*>(&dialog);
            if (!picker)
                return int(QDialog::Rejected);
            picker->lstWindowTitles->item(1)->setSelected(true);
            picker->OKButton->click();
            return picker->result();
        };
        click(p.page.lstAppGroupings, 1);
        QTest::mouseClick(p.page.cmdAddFromCaptured, Qt::LeftButton);
        QCOMPARE(p.dialogs.shown, QStringList{"frmCapturedTitles"});
        QCOMPARE(items(p.page.lstAppGroupingsData), (QStringList{"Document1", "Document1 - Word"}));
    }

    void unmatchedTitlesGoToTheSelectedApplication() {
        Page p;
        auto& page = p.page;
        const QDate today = QDate::currentDate();
        p.f.addUsage("WS1", "anna", "Document1 - Writer", today, 600);
        p.f.addUsage("WS1", "anna", "Calculator", today.addDays(-3), 300);
        p.f.addUsage("WS1", "anna", "Solitaire", today.addDays(-1), 900);
        p.f.addUsage("WS1", "anna", "Bob's \"notes\"", today, 60);
        // Older than the last 30 days: no time, still listed.
        p.f.addUsage("WS1", "anna", "Clock", today.addDays(-30), 6000);
        page.refreshCoverage();
        QCOMPARE(unmatched(page), (QStringList{"Solitaire|15 min|48.4%", "Calculator|5 min|16.1%",
                                               "Bob's \"notes\"|1 min|3.2%", "Clock|0 min|0.0%"}));
        QCOMPARE(page.lblTitlesOf->text(), QString("Window titles of \"Desktop\""));
        click(page.lstAppGroupings, 1);
        QCOMPARE(page.lblTitlesOf->text(), QString("Window titles of \"Word\""));
        QVERIFY2(page.lblAppCoverage->text().startsWith("\"Word\" catches 1 captured title holding 10 min"),
                 qPrintable(page.lblAppCoverage->text()));
        QVERIFY(!page.cmdAddUnmatched->isEnabled());

        page.lstUnmatched->topLevelItem(1)->setSelected(true);
        page.lstUnmatched->topLevelItem(2)->setSelected(true);
        QVERIFY(page.cmdAddUnmatched->isEnabled());
        QTest::mouseClick(page.cmdAddUnmatched, Qt::LeftButton);
        // Stored as the picker stores them: quotes blanked.
        QCOMPARE(p.f.titleRows(), (QStringList{"Word|Document1", "Word|Calculator", "Word|Bob s  notes "}));
        QCOMPARE(items(page.lstAppGroupingsData), (QStringList{"Document1", "Calculator", "Bob s  notes "}));
        QCOMPARE(unmatched(page), (QStringList{"Solitaire|15 min|48.4%", "Clock|0 min|0.0%"}));
        QVERIFY2(page.lblAppCoverage->text().startsWith("\"Word\" catches 3 captured titles holding 16 min"),
                 qPrintable(page.lblAppCoverage->text()));
        QVERIFY(!page.cmdAddUnmatched->isEnabled());
        QVERIFY(p.feedback.messages.isEmpty());

        // Deleting the entry gives the title back to the list.
        click(page.lstAppGroupingsData, 1);
        QTest::mouseClick(page.cmdAppGroupDataDelete, Qt::LeftButton);
        QCOMPARE(unmatched(page),
                 (QStringList{"Solitaire|15 min|48.4%", "Calculator|5 min|16.1%", "Clock|0 min|0.0%"}));
    }

    void refusedAddChangesNothing() {
        Page p;
        auto& page = p.page;
        p.f.addUsage("WS1", "anna", "Calculator", QDate::currentDate(), 300);
        page.refreshCoverage();
        click(page.lstAppGroupings, 1);
        p.f.refuse("INSERT", "MGRGroupingsData");
        page.lstUnmatched->topLevelItem(0)->setSelected(true);
        QTest::mouseClick(page.cmdAddUnmatched, Qt::LeftButton);
        QCOMPARE(p.feedback.messages.size(), 1);
        QVERIFY(p.feedback.messages[0].text.contains("refused by the test"));
        QCOMPARE(p.f.titleRows(), QStringList{"Word|Document1"});
        QCOMPARE(unmatched(page), QStringList{"Calculator|5 min|100.0%"});
        QCOMPARE(page.lblTitlesOf->text(), QString("Window titles of \"Word\""));
    }

    void criteriaDaysAreCounted() {
        Page p;
        auto& page = p.page;
        p.f.addUsage("WS1", "anna", "Calculator", QDate(2024, 3, 1), 300);
        p.f.addUsage("WS1", "anna", "Solitaire", QDate(2024, 3, 2), 600);
        page.setTitleRange(QDate(2024, 3, 1), QDate(2024, 3, 1));
        QCOMPARE(unmatched(page), (QStringList{"Calculator|5 min|100.0%", "Solitaire|0 min|0.0%"}));
        page.setTitleRange(QDate(2024, 3, 1), QDate(2024, 3, 2));
        QCOMPARE(unmatched(page), (QStringList{"Solitaire|10 min|66.7%", "Calculator|5 min|33.3%"}));
    }
};

QTEST_MAIN(TstFrameAppGroupings)
#include "tst_frameappgroupings.moc"
