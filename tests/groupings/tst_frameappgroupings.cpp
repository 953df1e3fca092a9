// The groupings page shows its editor: clicks, keys and focus reach the rules, and the picker
// runs through the injected dialog runner. The rules themselves are tst_groupingseditor's.
#include "groupings/frameAppGroupings.h"
#include "groupings/frmCapturedTitles.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedDialogRunner.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
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
};

QTEST_MAIN(TstFrameAppGroupings)
#include "tst_frameappgroupings.moc"
