// The design tool never drops unsaved changes without asking.
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"
#include "verticalmenu/designer/DesignerWindow.h"
#include "verticalmenu/VerticalMenu.h"

#include <QAction>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

class TstDesigner : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void closeAsksOnlyWhenSomethingWouldBeLost_data() {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("openAnotherMenu");
        QTest::addColumn<int>("answer"); // to the question, when asked
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("closed");
        QTest::newRow("untouched") << false << false << false << 0 << 0 << true;
        QTest::newRow("only another menu opened") << false << false << true << 0 << 0 << true;
        QTest::newRow("edited, keep it") << true << false << false << int(Feedback::Answer::No) << 1 << false;
        QTest::newRow("edited, discard") << true << false << false << int(Feedback::Answer::Yes) << 1 << true;
        QTest::newRow("edited and saved") << true << true << false << 0 << 0 << true;
    }

    void closeAsksOnlyWhenSomethingWouldBeLost() {
        QFETCH(bool, edit);
        QFETCH(bool, save);
        QFETCH(bool, openAnotherMenu);
        QFETCH(int, answer);
        QFETCH(int, questions);
        QFETCH(bool, closed);
        ScriptedFeedback feedback;
        feedback.answers << Feedback::Answer(answer);
        DesignerWindow window(feedback);
        window.openMainWindowBar();
        window.show();
        if (edit)
            window.control()->setToolTipText("changed");
        if (openAnotherMenu)
            window.control()->setMenuCur(2);
        QTemporaryDir dir;
        if (save)
            QVERIFY(window.saveFile(dir.filePath("bar.vmenu")));
        QCOMPARE(window.close(), closed);
        QCOMPARE(feedback.messages.size(), questions);
    }

    void openAsksBeforeReplacingChanges() {
        ScriptedFeedback feedback;
        feedback.answers << Feedback::Answer::No;
        DesignerWindow window(feedback);
        window.openMainWindowBar();
        window.control()->setToolTipText("changed");
        QAction* open = nullptr;
        for (QAction* action : window.menuBar()->actions().first()->menu()->actions())
            if (action->text() == "&Open...")
                open = action;
        QVERIFY(open);
        open->trigger();
        QCOMPARE(feedback.messages.size(), 1);
        QCOMPARE(feedback.fileDialogs.size(), 0); // kept: no file was even asked for
        QCOMPARE(window.control()->ToolTipText(), "changed");
    }
};

QTEST_MAIN(TstDesigner)
#include "tst_designer.moc"
