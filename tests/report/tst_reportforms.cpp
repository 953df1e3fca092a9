// The criteria page and the report generation window, driven as the operator would.
#include "groupings/ApplicationNames.h"
#include "report/frameData.h"
#include "report/frmGenerateReport.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

QListWidget* list(const frameData& page, const char* name) {
    return TestEnv::child<QListWidget>(&page, name);
}
QComboBox* combo(const frameData& page, const char* name) {
    return TestEnv::child<QComboBox>(&page, name);
}

QStringList texts(const QListWidget* list) {
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all.append(list->item(i)->text());
    return all;
}

void fill(ManagerFixture& f) {
    f.addGrouping("writer", {"writer"});
    f.addGrouping("Mail", {"inbox"});
    for (const char* day : {"2024-03-01", "2024-03-02", "2024-03-02 10:30:00", "2024-03-04"}) {
        f.addRawUsage("ws2", "Bob", "Inbox", QLatin1String(day), 60);
        f.addRawUsage("WS1", "anna", "a - Writer", QLatin1String(day), 60);
    }
}

void pick(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

} // namespace

class TstReportForms : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void loadsEverythingChecked() {
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        QCOMPARE(texts(list(page, "lstApplications")),
                 (QStringList{"Desktop", "Mail", kUndefinedApplications, "writer"}));
        QCOMPARE(texts(list(page, "lstUsers")), (QStringList{"anna", "Bob"}));
        QCOMPARE(texts(list(page, "lstWorkstations")), (QStringList{"WS1", "ws2"}));
        QCOMPARE(page.checkedApplications().size(), 4);
        QCOMPARE(list(page, "lstUsers")->currentRow(), 0);
        QCOMPARE(combo(page, "cmbStartDate")->count(), 3); // the day with a time of day appears once
        QCOMPARE(combo(page, "cmbStartDate")->currentText(), "3/1/2024");
        QCOMPARE(combo(page, "cmbEndDate")->currentText(), "3/4/2024");
        QCOMPARE(combo(page, "cmbStartDate")->itemData(1).toDate(), QDate(2024, 3, 2));
        QCOMPARE(page.startDate(), std::optional<QDate>(QDate(2024, 3, 1)));
        QVERIFY(combo(page, "cmbEndDate")->isEnabled());
        QVERIFY(page.criteria().complete());
    }

    void withoutUsageTheDatesAreUnavailable() {
        ManagerFixture f;
        f.addGrouping("Mail", {});
        f.db().addUser("anna");
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        for (QComboBox* box : {combo(page, "cmbStartDate"), combo(page, "cmbEndDate")}) {
            QCOMPARE(box->count(), 1);
            QCOMPARE(box->currentText(), "<No Data Available>");
            QVERIFY(!box->isEnabled());
        }
        QVERIFY(!page.startDate());
        QCOMPARE(page.checkedUsers(), QStringList{"anna"});
        QCOMPARE(page.checkedApplications().size(), 3);
        QVERIFY(!page.criteria().complete());
    }

    void dateGuards_data() {
        QTest::addColumn<int>("start"); // picked first, unless negative
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("laterStart"); // picked after the end, unless negative
        QTest::addColumn<int>("expectedStart");
        QTest::addColumn<int>("expectedEnd");
        QTest::addColumn<int>("beeps");
        QTest::newRow("start on the end day accepted") << 2 << -1 << -1 << 2 << 2 << 0;
        QTest::newRow("end before start refused") << 1 << 0 << -1 << 1 << 2 << 1;
        QTest::newRow("same day accepted") << 1 << 1 << -1 << 1 << 1 << 0;
        QTest::newRow("start after a moved end") << -1 << 0 << -1 << 0 << 0 << 0;
        QTest::newRow("start after the end refused, restored") << -1 << 1 << 2 << 0 << 1 << 1;
    }
    void dateGuards() {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(int, laterStart);
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        if (start >= 0)
            pick(combo(page, "cmbStartDate"), start);
        if (end >= 0)
            pick(combo(page, "cmbEndDate"), end);
        if (laterStart >= 0)
            pick(combo(page, "cmbStartDate"), laterStart);
        QTEST(combo(page, "cmbStartDate")->currentIndex(), "expectedStart");
        QTEST(combo(page, "cmbEndDate")->currentIndex(), "expectedEnd");
        QTEST(feedback.beeps, "beeps");
    }

    void lastCheckedItemStays() {
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        list(page, "lstUsers")->item(0)->setCheckState(Qt::Unchecked);
        QCOMPARE(feedback.beeps, 0);
        list(page, "lstUsers")->item(1)->setCheckState(Qt::Unchecked);
        QCOMPARE(feedback.beeps, 1);
        QCOMPARE(list(page, "lstUsers")->item(1)->checkState(), Qt::Checked);
        QCOMPARE(page.checkedUsers(), QStringList{"Bob"});
        // Unchecking "Undefined Applications" while others stay checked is accepted.
        list(page, "lstApplications")->item(2)->setCheckState(Qt::Unchecked);
        QCOMPARE(feedback.beeps, 1);
        QVERIFY(!frameData::IsItemChecked(kUndefinedApplications, list(page, "lstApplications")));
        QVERIFY(frameData::IsItemChecked("Bob", list(page, "lstUsers")));
        QVERIFY(!frameData::IsItemChecked("bob", list(page, "lstUsers")));
    }

    // The lists follow the groupings and new days at once, and keep what the operator chose.
    void listsFollowTheDatabase() {
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        list(page, "lstApplications")->item(1)->setCheckState(Qt::Unchecked); // Mail
        list(page, "lstUsers")->item(1)->setCheckState(Qt::Unchecked);        // Bob
        f.addGrouping(QStringLiteral("Browser"), {QStringLiteral("browser")});
        f.exec(QStringLiteral("DELETE FROM MGRGroupings WHERE Alias = 'writer'"));
        page.followGroupings();
        QCOMPARE(page.checkedApplications(),
                 (QStringList{QStringLiteral("Browser"), QStringLiteral("Desktop"), kUndefinedApplications}));
        QCOMPARE(texts(list(page, "lstApplications")).size(), 4);

        pick(combo(page, "cmbStartDate"), 1);
        f.addRawUsage(QStringLiteral("WS3"), QStringLiteral("carl"), QStringLiteral("a - Browser"),
                      QStringLiteral("2024-03-05"), 60);
        page.followData();
        QCOMPARE(page.checkedUsers(), (QStringList{QStringLiteral("anna"), QStringLiteral("carl")}));
        QCOMPARE(page.checkedWorkstations().size(), 3);
        QCOMPARE(page.startDate(), std::optional<QDate>(QDate(2024, 3, 2)));
        QCOMPARE(page.endDate(), std::optional<QDate>(QDate(2024, 3, 5))); // the range reached the newest day
        QCOMPARE(feedback.beeps, 0);
    }

    // Days can be typed; All and None tick a whole list (None keeps the highlighted entry).
    void typedDaysAndWholeLists() {
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        combo(page, "cmbStartDate")
            ->setEditText(QStringLiteral("3/3/2024")); // no data that day: the next one
        emit combo(page, "cmbStartDate")->lineEdit()->editingFinished();
        QCOMPARE(page.startDate(), std::optional<QDate>(QDate(2024, 3, 4)));
        combo(page, "cmbEndDate")->setEditText(QStringLiteral("not a day"));
        emit combo(page, "cmbEndDate")->lineEdit()->editingFinished();
        QCOMPARE(feedback.beeps, 1);
        QCOMPARE(page.endDate(), std::optional<QDate>(QDate(2024, 3, 4)));
        QCOMPARE(combo(page, "cmbEndDate")->currentText(), QStringLiteral("3/4/2024"));

        list(page, "lstUsers")->setCurrentRow(1);
        TestEnv::child<QPushButton>(&page, "cmdUsersNone")->click();
        QCOMPARE(page.checkedUsers(), QStringList{QStringLiteral("Bob")});
        TestEnv::child<QPushButton>(&page, "cmdUsersAll")->click();
        QCOMPARE(page.checkedUsers().size(), 2);
        QCOMPARE(feedback.beeps, 1);
    }

    void generationWindowShowsTheReport() {
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        frmGenerateReport window(f.db(), page.criteria(), f.programFolder(), feedback);
        QSignalSpy chosen(&window, &frmGenerateReport::pageChosen);
        QCOMPARE(window.exec(), int(QDialog::Accepted)); // works from its first show, then closes
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(window.pagePath(), f.programFolder() + "/Data/HTML/Report.html");
        QVERIFY(QFile::exists(window.pagePath()));
        // 8 stored rows, 6 after merging (step 1): 8 + 6 + 6 while extracting, 6 while writing.
        QCOMPARE(TestEnv::child<QProgressBar>(&window, "pbReport")->maximum(), 32);
        QCOMPARE(TestEnv::child<QProgressBar>(&window, "pbReport")->value(), 26);
        QVERIFY(feedback.messages.isEmpty());
    }

    void failureIsShownAndNoPageChosen() {
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        QFile::remove(f.programFolder() + "/Data/HTML/NoData.html");
        QDir(f.programFolder() + "/Data/HTML").removeRecursively();
        frmGenerateReport window(f.db(), page.criteria(), f.programFolder(), feedback);
        QSignalSpy chosen(&window, &frmGenerateReport::pageChosen);
        QCOMPARE(window.exec(), int(QDialog::Rejected));
        QCOMPARE(chosen.size(), 0);
        QVERIFY(window.pagePath().isEmpty());
        QCOMPARE(feedback.messages.size(), 1);
        QCOMPARE(feedback.messages[0].title, "Vellumcrest™ Report Generation");
        QCOMPARE(feedback.messages[0].icon, Feedback::Icon::Critical);
        QVERIFY(feedback.messages[0].text.contains("Report.html"));
    }
};

QTEST_MAIN(TstReportForms)
#include "tst_reportforms.moc"
