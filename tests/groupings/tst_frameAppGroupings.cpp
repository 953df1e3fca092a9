// The groupings editor page driven as the operator drives it, checked against its tables.
#include "groupings/frameAppGroupings.h"
#include "groupings/frmCapturedTitles.h"
#include "GroupingsFixture.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace {
const QString kPageTitle = QStringLiteral("Vellumcrest\u2122 Application Groupings");

struct Page {
    explicit Page(const QStringList& groupings = {"Desktop=0"}, const QStringList& titles = {}) {
        f.setGroupings(groupings);
        for (const QString& row : titles)
            f.addTitleRow(row.section('|', 0, 0), row.section('|', 1));
        page.setDatabase(f.database.get());
        page.resize(600, 450);
        page.show();
        page.LoadGroupings();
    }
    GroupingsFixture f;
    ScriptedFeedback feedback;
    frameAppGroupings page{feedback};
};

QStringList items(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

int selectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.constFirst());
}

void click(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

void click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

void type(QLineEdit* box, const QString& text) {
    box->clear();
    QTest::keyClicks(box, text);
}

// The names of the page's controls that are enabled now, in a fixed order.
QStringList enabled(const frameAppGroupings& p) {
    const QList<QWidget*> controls = {
        p.cmdAppUp,        p.cmdAppDown,         p.cmdAppGroupAdd,        p.cmdAppGroupDelete,
        p.txtAppGroupData, p.cmdAppGroupDataAdd, p.cmdAppGroupDataDelete, p.cmdAddFromCaptured};
    QStringList names;
    for (const QWidget* w : controls) {
        if (w->isEnabled())
            names.append(w->objectName());
    }
    return names;
}
} // namespace

class tst_frameAppGroupings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void startsWithTheFirstAliasSelected() {
        Page p({"Desktop=0", "Word=1"}, {"Desktop|Program Manager", "Word|Document"});
        auto& page = p.page;
        QCOMPARE(page.Frame6->title(), QString("Application"));
        QCOMPARE(page.Frame7->title(), QString("Associated Window Titles"));
        QCOMPARE(page.cmdAddFromCaptured->text(), QString("Add from &Captured Titles..."));
        QVERIFY(page.Label12->text().contains("titles.  In the case"));
        QVERIFY(page.Label13->text().contains("list box).  For more"));
        QCOMPARE(items(page.lstAppGroupings), (QStringList{"Desktop", "Word"}));
        QCOMPARE(selectedRow(page.lstAppGroupings), 0);
        QCOMPARE(items(page.lstAppGroupingsData), QStringList{"Program Manager"});
        QCOMPARE(enabled(page), (QStringList{"cmdAppDown", "txtAppGroupData", "cmdAddFromCaptured"}));
    }

    void emptyTableLeavesOnlyTheAliasBoxUsable() {
        Page p(QStringList{});
        auto& page = p.page;
        QCOMPARE(page.lstAppGroupings->count(), 0);
        QCOMPARE(enabled(page), QStringList{});
        QVERIFY(page.txtAppGroup->isEnabled());
        // The first alias added becomes selected; later ones leave the selection alone.
        type(page.txtAppGroup, "First");
        QCOMPARE(enabled(page), QStringList{"cmdAppGroupAdd"});
        QTest::keyClick(page.txtAppGroup, Qt::Key_Return);
        QCOMPARE(selectedRow(page.lstAppGroupings), 0);
        QCOMPARE(enabled(page), (QStringList{"cmdAppGroupDelete", "txtAppGroupData", "cmdAddFromCaptured"}));
        type(page.txtAppGroup, "Second");
        QTest::keyClick(page.txtAppGroup, Qt::Key_Enter);
        QCOMPARE(items(page.lstAppGroupings), (QStringList{"First", "Second"}));
        QCOMPARE(selectedRow(page.lstAppGroupings), 0);
        QVERIFY(page.cmdAppDown->isEnabled());
        QCOMPARE(p.f.groupingRows(), (QStringList{"First=0", "Second=1"}));
    }

    void addAliasTrimsAndRefusesExactDuplicates() {
        Page p;
        auto& page = p.page;
        type(page.txtAppGroup, "  Word Processor  ");
        QTest::keyClick(page.txtAppGroup, Qt::Key_Return);
        QCOMPARE(items(page.lstAppGroupings), (QStringList{"Desktop", "Word Processor"}));
        QCOMPARE(p.f.groupingRows(), (QStringList{"Desktop=0", "Word Processor=1"}));
        QCOMPARE(page.txtAppGroup->text(), QString());
        QVERIFY(!page.cmdAppGroupAdd->isEnabled());

        type(page.txtAppGroup, " Word Processor");
        QVERIFY(!page.cmdAppGroupAdd->isEnabled());
        QTest::keyClick(page.txtAppGroup, Qt::Key_Return); // left to the box: nothing happens
        QCOMPARE(p.feedback.beeps, 0);
        page.addAlias();
        QCOMPARE(p.feedback.beeps, 1);
        QCOMPARE(p.f.groupingRows().size(), 2);

        type(page.txtAppGroup, "word processor");
        QVERIFY(page.cmdAppGroupAdd->isEnabled());
        click(page.cmdAppGroupAdd);
        QCOMPARE(p.f.groupingRows(), (QStringList{"Desktop=0", "Word Processor=1", "word processor=2"}));
        QCOMPARE(selectedRow(page.lstAppGroupings), 0);
    }

    void movingUpRewritesRanks() {
        Page p({"A=0", "B=1", "C=2"});
        auto& page = p.page;
        click(page.lstAppGroupings, 2);
        QVERIFY(page.cmdAppUp->isEnabled());
        QVERIFY(!page.cmdAppDown->isEnabled());
        click(page.cmdAppUp);
        QCOMPARE(items(page.lstAppGroupings), (QStringList{"A", "C", "B"}));
        QCOMPARE(selectedRow(page.lstAppGroupings), 1);
        QCOMPARE(p.f.groupingRows(), (QStringList{"A=0", "C=1", "B=2"}));
        QVERIFY(page.cmdAppUp->isEnabled());
        QVERIFY(page.cmdAppDown->isEnabled());
        click(page.cmdAppUp);
        QCOMPARE(p.f.groupingRows(), (QStringList{"C=0", "A=1", "B=2"}));
        QCOMPARE(selectedRow(page.lstAppGroupings), 0);
        QVERIFY(!page.cmdAppUp->isEnabled());
        click(page.cmdAppDown);
        QCOMPARE(p.f.groupingRows(), (QStringList{"A=0", "C=1", "B=2"}));
    }

    void deleteAlias_data() {
        QTest::addColumn<QStringList>("groupings");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<int>("selected");
        QTest::newRow("last") << QStringList{"A=0", "B=1", "C=2"} << 2 << QStringList{"A=0", "B=1"} << 1;
        QTest::newRow("middle") << QStringList{"A=0", "B=1", "C=2"} << 1 << QStringList{"A=0", "C=1"} << 1;
        QTest::newRow("first") << QStringList{"A=0", "B=1", "C=2"} << 0 << QStringList{"B=0", "C=1"} << 0;
        QTest::newRow("only") << QStringList{"A=0"} << 0 << QStringList{} << -1;
        QTest::newRow("hidden rank gone after rewrite")
            << QStringList{"A=0", "B=1", "C=1", "D=5"} << 0 << QStringList{"B=0", "C=1"} << 0;
    }
    void deleteAlias() {
        QFETCH(QStringList, groupings);
        QFETCH(int, row);
        QFETCH(QStringList, remaining);
        QFETCH(int, selected);
        Page p(groupings, {"A|a1", "B|b1", "A|a1", "C|c1", "A|a2"});
        auto& page = p.page;
        click(page.lstAppGroupings, row);
        const QString alias = page.lstAppGroupings->item(row)->text();
        click(page.cmdAppGroupDelete);
        QCOMPARE(p.feedback.messages.size(), 1);
        const ScriptedFeedback::Message question = p.feedback.messages.constFirst();
        QCOMPARE(question.text, "Remove application \"" + alias + "\" from list of monitored applications?");
        QCOMPARE(question.title, kPageTitle);
        QCOMPARE(question.icon, Feedback::Icon::Question);
        QCOMPARE(question.buttons, Feedback::Buttons::YesNo);

        QCOMPARE(p.f.groupingRows(), remaining);
        QCOMPARE(selectedRow(page.lstAppGroupings), selected);
        for (const QString& titleRow : p.f.titleRows())
            QVERIFY2(!titleRow.startsWith(alias + "|"), qPrintable(titleRow));
        if (selected < 0) {
            QCOMPARE(enabled(page), QStringList{});
            QCOMPARE(page.lstAppGroupingsData->count(), 0);
        } else {
            const QString now = page.lstAppGroupings->item(selected)->text();
            QStringList expected;
            for (const QString& titleRow : p.f.titleRows()) {
                if (titleRow.section('|', 0, 0) == now)
                    expected.append(titleRow.section('|', 1));
            }
            QCOMPARE(items(page.lstAppGroupingsData), expected);
        }
        QCOMPARE(p.f.titleRows().size(), 5 - (alias == "A" ? 3 : 1));
    }

    void deleteAliasAnsweredNoChangesNothing() {
        Page p({"A=0", "B=1"}, {"A|a1"});
        p.feedback.answers = {Feedback::Answer::No};
        click(p.page.cmdAppGroupDelete);
        QCOMPARE(items(p.page.lstAppGroupings), (QStringList{"A", "B"}));
        QCOMPARE(p.f.groupingRows(), (QStringList{"A=0", "B=1"}));
        QCOMPARE(p.f.titleRows(), QStringList{"A|a1"});
    }

    void addTitleBlanksQuotesAndTrims_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("Bob's \"big\"") << "Bob's \"big\""
                                       << "Bob s  big";
        QTest::newRow("blanks around") << "  Notepad  "
                                       << "Notepad";
        QTest::newRow("leading quote") << "'Quoted'"
                                       << "Quoted";
    }
    void addTitleBlanksQuotesAndTrims() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        Page p({"Desktop=0", "Editor=1"});
        auto& page = p.page;
        click(page.lstAppGroupings, 1);
        type(page.txtAppGroupData, typed);
        QTest::keyClick(page.txtAppGroupData, Qt::Key_Return);
        QCOMPARE(items(page.lstAppGroupingsData), QStringList{stored});
        QCOMPARE(p.f.titleRows(), QStringList{"Editor|" + stored});
        QCOMPARE(page.txtAppGroupData->text(), QString());
        // Typed differently but the same once blanked: Add is offered, the add itself beeps.
        type(page.txtAppGroupData, typed + " ");
        QCOMPARE(page.cmdAppGroupDataAdd->isEnabled(), typed.trimmed() != stored);
        page.addTitle();
        QCOMPARE(p.feedback.beeps, 1);
        QCOMPARE(p.f.titleRows().size(), 1);
    }

    void deleteTitleRemovesOneRowAndReselects() {
        Page p({"Desktop=0", "A=1"}, {"A|x", "A|y", "A|x", "A|z"});
        auto& page = p.page;
        click(page.lstAppGroupings, 1);
        QVERIFY(!page.cmdAppGroupDataDelete->isEnabled());
        click(page.lstAppGroupingsData, 0);
        QVERIFY(page.cmdAppGroupDataDelete->isEnabled());
        click(page.cmdAppGroupDataDelete);
        QCOMPARE(items(page.lstAppGroupingsData), (QStringList{"y", "x", "z"}));
        QCOMPARE(p.f.titleRows(), (QStringList{"A|y", "A|x", "A|z"}));
        QCOMPARE(selectedRow(page.lstAppGroupingsData), 0);
        click(page.lstAppGroupingsData, 2);
        click(page.cmdAppGroupDataDelete);
        QCOMPARE(selectedRow(page.lstAppGroupingsData), 1);
        click(page.cmdAppGroupDataDelete);
        QCOMPARE(p.f.titleRows(), QStringList{"A|y"});
        click(page.cmdAppGroupDataDelete);
        QCOMPARE(p.f.titleRows(), QStringList{});
        QCOMPARE(selectedRow(page.lstAppGroupingsData), -1);
        QVERIFY(!page.cmdAppGroupDataDelete->isEnabled());
        QVERIFY(p.feedback.messages.isEmpty());
    }

    void deletingATitleGoneFromTheTableSaysSo() {
        Page p({"Desktop=0", "A=1"}, {"A|x", "A|y"});
        auto& page = p.page;
        click(page.lstAppGroupings, 1);
        p.f.exec("DELETE FROM MGRGroupingsData WHERE WindowTitle = 'x'"); // another client
        click(page.lstAppGroupingsData, 0);
        click(page.cmdAppGroupDataDelete);
        QCOMPARE(p.feedback.messages.size(), 1);
        QCOMPARE(p.feedback.messages[0].text,
                 QString("Could not find matching record in database for deletion"));
        QCOMPARE(p.feedback.messages[0].title, QString("Vellumcrest\u2122 Error"));
        QCOMPARE(p.feedback.messages[0].icon, Feedback::Icon::Warning);
        QCOMPARE(items(page.lstAppGroupingsData), QStringList{"y"});
        QCOMPARE(p.f.titleRows(), QStringList{"A|y"});
    }

    void desktopIsProtected() {
        Page p({"Word=0", "Desktop=1", "desktop=2"}, {"Desktop|Program Manager", "desktop|x"});
        auto& page = p.page;
        click(page.lstAppGroupings, 1);
        QVERIFY(!page.cmdAppGroupDelete->isEnabled());
        click(page.lstAppGroupingsData, 0);
        QVERIFY(!page.cmdAppGroupDataDelete->isEnabled());
        page.deleteAlias();
        page.deleteTitle();
        QVERIFY(p.feedback.messages.isEmpty());
        QCOMPARE(p.f.groupingRows().size(), 3);
        type(page.txtAppGroupData, "Start Menu");
        click(page.cmdAppGroupDataAdd);
        QCOMPARE(p.f.titleRows(),
                 (QStringList{"Desktop|Program Manager", "desktop|x", "Desktop|Start Menu"}));
        // Only the exact name is protected.
        click(page.lstAppGroupings, 2);
        QVERIFY(page.cmdAppGroupDelete->isEnabled());
        click(page.lstAppGroupingsData, 0);
        QVERIFY(page.cmdAppGroupDataDelete->isEnabled());
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

    void aliasWithDoubleQuotesKeepsItsText() {
        Page p;
        auto& page = p.page;
        const QString alias = QStringLiteral("Media \"Player\"");
        type(page.txtAppGroup, alias);
        click(page.cmdAppGroupAdd);
        click(page.lstAppGroupings, 1);
        type(page.txtAppGroupData, "Now Playing");
        click(page.cmdAppGroupDataAdd);
        type(page.txtAppGroupData, "Library");
        click(page.cmdAppGroupDataAdd);
        QCOMPARE(p.f.titleRows(), (QStringList{alias + "|Now Playing", alias + "|Library"}));
        click(page.lstAppGroupingsData, 0);
        click(page.cmdAppGroupDataDelete);
        QVERIFY(p.feedback.messages.isEmpty());
        QCOMPARE(p.f.titleRows(), QStringList{alias + "|Library"});
        click(page.cmdAppGroupDelete);
        QCOMPARE(p.f.groupingRows(), QStringList{"Desktop=0"});
        QCOMPARE(p.f.titleRows(), QStringList{});
    }

    void pickedTitlesAppearWhenThePickerCloses() {
        Page p({"Desktop=0", "Word=1"}, {"Word|Document1"});
        p.f.addCaptured({"Document1 - Word", "Calculator", "Document1 - Word (2)"});
        auto& page = p.page;
        QString openedFor;
        // Picks twice what the operator would pick: the same title ends up listed twice.
        page.setPickerOpener([&](const QString& alias) {
            openedFor = alias;
            for (int round = 0; round < 2; ++round) {
                frmCapturedTitles picker(*p.f.database, p.feedback, alias);
                picker.lstWindowTitles->item(1)->setSelected(true);
                QVERIFY(picker.OKButton->isEnabled());
                click(picker.OKButton);
            }
        });
        click(page.lstAppGroupings, 1);
        click(page.cmdAddFromCaptured);
        QCOMPARE(openedFor, QString("Word"));
        QCOMPARE(items(page.lstAppGroupingsData),
                 (QStringList{"Document1", "Document1 - Word", "Document1 - Word"}));
        click(page.lstAppGroupingsData, 1);
        click(page.cmdAppGroupDataDelete);
        QCOMPARE(p.f.titleRows(), (QStringList{"Word|Document1", "Word|Document1 - Word"}));
    }

    void failedWriteIsReportedAndListsReloaded_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("aliases");
        QTest::addColumn<QString>("selected");
        QTest::newRow("move") << "move" << QStringList{"A", "B", "C"} << "C";
        QTest::newRow("add alias") << "addAlias" << QStringList{"A", "B", "C"} << "A";
        QTest::newRow("delete alias") << "deleteAlias" << QStringList{"A", "B", "C"} << "B";
        QTest::newRow("add title") << "addTitle" << QStringList{"A", "B", "C"} << "B";
    }
    void failedWriteIsReportedAndListsReloaded() {
        QFETCH(QString, action);
        QFETCH(QStringList, aliases);
        QFETCH(QString, selected);
        Page p({"A=0", "B=1", "C=2"}, {"B|b1", "B|b2"});
        auto& page = p.page;
        p.f.refuse("INSERT", "MGRGroupings");
        p.f.refuse("INSERT", "MGRGroupingsData");
        p.f.refuse("DELETE", "MGRGroupingsData");
        if (action == "move") {
            click(page.lstAppGroupings, 2);
            click(page.cmdAppUp);
        } else if (action == "addAlias") {
            type(page.txtAppGroup, "D");
            click(page.cmdAppGroupAdd);
        } else if (action == "deleteAlias") {
            click(page.lstAppGroupings, 1);
            click(page.cmdAppGroupDelete);
        } else {
            click(page.lstAppGroupings, 1);
            type(page.txtAppGroupData, "b3");
            click(page.cmdAppGroupDataAdd);
        }
        const ScriptedFeedback::Message failure = p.feedback.messages.constLast();
        QCOMPARE(failure.title, kPageTitle);
        QCOMPARE(failure.icon, Feedback::Icon::Critical);
        QVERIFY2(failure.text.contains("refused by the test"), qPrintable(failure.text));
        QCOMPARE(p.f.groupingRows(), (QStringList{"A=0", "B=1", "C=2"}));
        QCOMPARE(p.f.titleRows(), (QStringList{"B|b1", "B|b2"}));
        QCOMPARE(items(page.lstAppGroupings), aliases);
        QCOMPARE(page.lstAppGroupings->selectedItems().constFirst()->text(), selected);
        const QStringList titles = selected == "B" ? QStringList{"b1", "b2"} : QStringList{};
        QCOMPARE(items(page.lstAppGroupingsData), titles);
        QCOMPARE(page.cmdAppUp->isEnabled(), selected != "A");
        QCOMPARE(page.cmdAppDown->isEnabled(), selected != "C");
    }

    // Not an assertion of looks: writes the page as the operator would see it, for review.
    void grabsAsATidyPage() {
        Page p({"Desktop=0", "Word Processor=1", "Spreadsheet=2", "Web Browser=3", "E-mail=4"},
               {"Desktop|Program Manager", "Desktop|Start Menu", "Desktop|Task Switching"});
        p.page.txtAppGroup->setText("Calculator");
        const QImage image = p.page.grab().toImage();
        QCOMPARE(image.size(), QSize(600, 450));
        const QString path = TestEnv::buildDir() + "/groupings-page.png";
        QVERIFY(image.save(path));
    }
};

QTEST_MAIN(tst_frameAppGroupings)
#include "tst_frameAppGroupings.moc"
