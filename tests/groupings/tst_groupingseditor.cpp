// The groupings editor's rules, driven by scripts of operator actions and checked against the
// lists it shows, the controls it enables and the tables it leaves.
#include "groupings/GroupingsEditor.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QtTest>

namespace {
const QString kPageTitle = QStringLiteral("Vellumcrest\u2122 Application Groupings");

struct Editor {
    Editor(const QStringList& groupings, const QStringList& titles) {
        f.setGroupings(groupings);
        for (const QString& row : titles)
            f.addTitleRow(row.section('|', 0, 0), row.section('|', 1));
        editor.setDatabase(&f.db());
        editor.LoadGroupings();
    }

    // One action per line: a word, then its argument (the rest of the line, blanks kept).
    void run(const QString& action) {
        const QString word = action.section(' ', 0, 0);
        const QString arg = action.section(' ', 1);
        if (word == "alias")
            editor.selectAlias(arg.toInt());
        else if (word == "title")
            editor.selectTitle(arg.toInt());
        else if (word == "aliasText")
            editor.setAliasText(arg);
        else if (word == "titleText")
            editor.setTitleText(arg);
        else if (word == "focusAlias")
            editor.aliasBoxFocused();
        else if (word == "focusTitle")
            editor.titleBoxFocused();
        else if (word == "enterAlias")
            editor.enterInAliasBox();
        else if (word == "enterTitle")
            editor.enterInTitleBox();
        else if (word == "addAlias")
            editor.addAlias();
        else if (word == "deleteAlias")
            editor.deleteAlias();
        else if (word == "up")
            editor.moveAliasUp();
        else if (word == "down")
            editor.moveAliasDown();
        else if (word == "addTitle")
            editor.addTitle();
        else if (word == "deleteTitle")
            editor.deleteTitle();
        else if (word == "picked") // the picker wrote a row for the selected alias and closed
            picked(arg);
        else if (word == "no")
            feedback.answers.append(Feedback::Answer::No);
        else if (word == "sql") // another client of the database
            f.exec(arg);
        else if (word == "refuse")
            f.refuse(arg.section(' ', 0, 0), arg.section(' ', 1));
        else
            QFAIL(qPrintable("unknown action " + action));
    }

    void picked(const QString& title) {
        f.addTitleRow(editor.selectedAlias(), title);
        editor.pickerClosed();
    }

    // "A,[B],C | x,[y]": the two lists with the selected entries in brackets.
    QString shown() const {
        const auto join = [](const QStringList& entries, int selected) {
            QStringList marked = entries;
            if (selected >= 0)
                marked[selected] = '[' + marked[selected] + ']';
            return marked.join(',');
        };
        return join(editor.aliases(), editor.selectedAliasRow()) + " | " +
               join(editor.titles(), editor.selectedTitleRow());
    }

    QString enabled() const {
        const GroupingsEditor::Enabled& e = editor.enabled();
        QStringList names;
        const std::pair<bool, const char*> flags[] = {{e.up, "up"},
                                                      {e.down, "down"},
                                                      {e.aliasAdd, "aliasAdd"},
                                                      {e.aliasDelete, "aliasDelete"},
                                                      {e.titleBox, "titleBox"},
                                                      {e.titleAdd, "titleAdd"},
                                                      {e.titleDelete, "titleDelete"},
                                                      {e.fromCaptured, "fromCaptured"}};
        for (const auto& [on, name] : flags) {
            if (on)
                names << name;
        }
        return names.join(' ');
    }

    ManagerFixture f;
    ScriptedFeedback feedback;
    GroupingsEditor editor{feedback};
};

} // namespace

class TstGroupingsEditor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void script_data();
    void script();
    void messages_data();
    void messages();
};

// One script: the tables before, the actions, then the tables after (lists are written with
// ';' between entries), the lists shown, the enabled controls, the beeps and the last message.
static void row(const char* name, const char* groupings, const char* titles, const char* actions,
                const char* groupingsAfter, const char* titlesAfter, const char* shown,
                const QString& enabled, int beeps = 0, const char* message = "") {
    const auto list = [](const char* text) { return QString(text).split(';', Qt::SkipEmptyParts); };
    QTest::newRow(name) << list(groupings) << list(titles) << list(actions) << list(groupingsAfter)
                        << list(titlesAfter) << QString(shown) << enabled << beeps << QString(message);
}

void TstGroupingsEditor::script_data() {
    QTest::addColumn<QStringList>("groupings");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("groupingsAfter");
    QTest::addColumn<QStringList>("titlesAfter");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<QString>("message"); // part of the last message; empty: none shown
    const char* abc = "A=0;B=1;C=2";
    const char* abcTitles = "A|a1;B|b1;A|a1;C|c1;A|a2;a|a3";
    const QString all = "up down aliasDelete titleBox fromCaptured";
    const QString top = "down aliasDelete titleBox fromCaptured";
    const QString last = "up aliasDelete titleBox fromCaptured";
    const QString desktopTop = "down titleBox fromCaptured";

    // Loading.
    row("load selects the first alias", "Desktop=0;Word=1", "Desktop|Program Manager;Word|Document", "",
        "Desktop=0;Word=1", "Desktop|Program Manager;Word|Document", "[Desktop],Word | Program Manager",
        desktopTop);
    row("ranks 0 1 1 5: hidden row gone at the next move", "A=0;B=1;C=1;D=5", "", "down", "B=0;A=1;C=2", "",
        "B,[A],C | ", all);
    row("empty table: only the alias box", "", "", "", "", "", " | ", "");

    // Adding aliases.
    row("first alias added is selected, later ones are not", "", "",
        "aliasText First;enterAlias;aliasText Second;enterAlias", "First=0;Second=1", "", "[First],Second | ",
        top);
    row("typed alias is trimmed", "Desktop=0", "", "aliasText   Word Processor  ;enterAlias",
        "Desktop=0;Word Processor=1", "", "[Desktop],Word Processor | ", desktopTop);
    row("duplicate alias: Enter left to the box, forced add beeps", "Desktop=0;Word=1", "",
        "aliasText  Word ;enterAlias;addAlias", "Desktop=0;Word=1", "", "[Desktop],Word | ", desktopTop, 1);
    // Titles join groupings ignoring letter case: "word" would never show in a report.
    row("alias differing only in letter case is a duplicate", "Desktop=0;Word=1", "",
        "aliasText WORD;enterAlias;aliasText word;addAlias", "Desktop=0;Word=1", "", "[Desktop],Word | ",
        desktopTop, 1);

    // Moving.
    row("up from the bottom", abc, "", "alias 2;up", "A=0;C=1;B=2", "", "A,[C],B | ", all);
    row("up to the top disables Up", abc, "", "alias 2;up;up", "C=0;A=1;B=2", "", "[C],A,B | ", top);
    row("down and back", abc, "", "down;up", abc, "", "[A],B,C | ", top);

    // Deleting aliases: the next selection, and every title row of exactly that alias.
    row("delete last", abc, abcTitles, "alias 2;deleteAlias", "A=0;B=1", "A|a1;B|b1;A|a1;A|a2;a|a3",
        "A,[B] | b1", last, 0, "Remove application \"C\" from list of monitored applications?");
    row("delete middle", abc, abcTitles, "alias 1;deleteAlias", "A=0;C=1", "A|a1;A|a1;C|c1;A|a2;a|a3",
        "A,[C] | c1", last, 0, "\"B\"");
    row("delete first, repeated titles too", abc, abcTitles, "deleteAlias", "B=0;C=1", "B|b1;C|c1;a|a3",
        "[B],C | b1", top, 0, "\"A\"");
    row("delete the only alias", "A=0", abcTitles, "deleteAlias", "", "B|b1;C|c1;a|a3", " | ", "", 0,
        "\"A\"");
    row("delete answered No", abc, abcTitles, "no;deleteAlias", abc, abcTitles, "[A],B,C | a1,a1,a2", top, 0,
        "\"A\"");

    // Titles.
    row("typed title: quotes blanked, then trimmed", "Desktop=0;Editor=1", "",
        "alias 1;titleText Bob's \"big\";enterTitle", "Desktop=0;Editor=1", "Editor|Bob s  big",
        "Desktop,[Editor] | Bob s  big", last);
    row("same title once blanked: Add offered, the add beeps", "Desktop=0;Editor=1", "",
        "alias 1;titleText 'Notepad';enterTitle;titleText \"Notepad\";addTitle", "Desktop=0;Editor=1",
        "Editor|Notepad", "Desktop,[Editor] | Notepad", "up aliasDelete titleBox titleAdd fromCaptured", 1);
    row("title with no alias selected beeps", "", "", "titleText x;addTitle", "", "", " | ", "", 1);
    row("delete title removes one row and selects the next", "Desktop=0;A=1", "A|x;A|y;A|x;A|z",
        "alias 1;title 0;deleteTitle", "Desktop=0;A=1", "A|y;A|x;A|z", "Desktop,[A] | [y],x,z",
        "up aliasDelete titleBox titleDelete fromCaptured");
    row("delete the last titles one by one", "Desktop=0;A=1", "A|x;A|y;A|z",
        "alias 1;title 2;deleteTitle;deleteTitle;deleteTitle", "Desktop=0;A=1", "", "Desktop,[A] | ", last);
    row("title gone from the table: said, still removed from the list", "Desktop=0;A=1", "A|x;A|y",
        "alias 1;sql DELETE FROM MGRGroupingsData WHERE WindowTitle = 'x';title 0;deleteTitle",
        "Desktop=0;A=1", "A|y", "Desktop,[A] | [y]", "up aliasDelete titleBox titleDelete fromCaptured", 0,
        "Could not find matching record in database for deletion");
    row("picked titles may repeat; one Delete removes one", "Desktop=0;Word=1", "Word|Doc",
        "alias 1;picked Doc - Word;picked Doc - Word;title 1;deleteTitle", "Desktop=0;Word=1",
        "Word|Doc;Word|Doc - Word", "Desktop,[Word] | Doc,[Doc - Word]",
        "up aliasDelete titleBox titleDelete fromCaptured");

    // "Desktop" (exactly) is protected; titles can still be added to it.
    row("Desktop protected", "Word=0;Desktop=1;desktop=2", "Desktop|Program Manager;desktop|x",
        "alias 1;title 0;deleteAlias;deleteTitle;titleText Start Menu;addTitle", "Word=0;Desktop=1;desktop=2",
        "Desktop|Program Manager;desktop|x;Desktop|Start Menu",
        "Word,[Desktop],desktop | [Program Manager],Start Menu", "up down titleBox fromCaptured");
    row("desktop in other case is not", "Word=0;Desktop=1;desktop=2", "desktop|x", "alias 2;title 0",
        "Word=0;Desktop=1;desktop=2", "desktop|x", "Word,Desktop,[desktop] | [x]",
        "up aliasDelete titleBox titleDelete fromCaptured");
    row("title Delete keeps its state across a selection", "A=0;B=1", "A|x;B|y", "title 0;alias 1", "A=0;B=1",
        "A|x;B|y", "A,[B] | y", "up aliasDelete titleBox titleDelete fromCaptured");

    // Focus empties the other box, and so disables its Add button.
    row("focus alias box empties the title box", "A=0", "", "titleText t;focusAlias", "A=0", "", "[A] | ",
        "aliasDelete titleBox fromCaptured");
    row("focus title box empties the alias box", "A=0", "", "aliasText New;focusTitle", "A=0", "", "[A] | ",
        "aliasDelete titleBox fromCaptured");

    // An alias holding double quotes keeps its text in both tables and can lose its titles.
    row("alias with double quotes", "Desktop=0", "",
        "aliasText Media \"Player\";addAlias;alias 1;titleText Now Playing;addTitle;titleText "
        "Library;addTitle;"
        "title 0;deleteTitle",
        "Desktop=0;Media \"Player\"=1", "Media \"Player\"|Library", "Desktop,[Media \"Player\"] | [Library]",
        "up aliasDelete titleBox titleDelete fromCaptured");

    // A refused write is reported; the lists are reloaded and agree with the tables.
    const QString r =
        "refuse INSERT MGRGroupings;refuse INSERT MGRGroupingsData;refuse DELETE MGRGroupingsData;";
    row("refused move", abc, "B|b1;B|b2", qPrintable(r + "alias 2;up"), abc, "B|b1;B|b2", "A,B,[C] | ", last,
        0, "refused by the test");
    row("refused add alias", abc, "B|b1;B|b2", qPrintable(r + "aliasText D;addAlias"), abc, "B|b1;B|b2",
        "[A],B,C | ", "down aliasAdd aliasDelete titleBox fromCaptured", 0, "refused by the test");
    row("refused delete alias", abc, "B|b1;B|b2", qPrintable(r + "alias 1;deleteAlias"), abc, "B|b1;B|b2",
        "A,[B],C | b1,b2", all, 0, "refused by the test");
    row("refused add title", abc, "B|b1;B|b2", qPrintable(r + "alias 1;titleText b3;addTitle"), abc,
        "B|b1;B|b2", "A,[B],C | b1,b2", "up down aliasDelete titleBox titleAdd fromCaptured", 0,
        "refused by the test");
}

void TstGroupingsEditor::script() {
    QFETCH(QStringList, groupings);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, actions);
    Editor e(groupings, titles);
    for (const QString& action : actions)
        e.run(action);
    QTEST(e.f.groupingRows(), "groupingsAfter");
    QTEST(e.f.titleRows(), "titlesAfter");
    QTEST(e.shown(), "shown");
    QTEST(e.enabled(), "enabled");
    QTEST(e.feedback.beeps, "beeps");
    QFETCH(QString, message);
    if (message.isEmpty()) {
        QCOMPARE(e.feedback.messages.size(), 0);
    } else {
        QVERIFY(!e.feedback.messages.isEmpty());
        QVERIFY2(e.feedback.messages.constLast().text.contains(message),
                 qPrintable(e.feedback.messages.constLast().text));
    }
}

// How each kind of message is shown: the title, the icon and the buttons.
void TstGroupingsEditor::messages_data() {
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::newRow("delete question") << QStringList{"alias 1", "deleteAlias"} << kPageTitle
                                     << int(Feedback::Icon::Question) << int(Feedback::Buttons::YesNo);
    QTest::newRow("title not found") << QStringList{"alias 1", "sql DELETE FROM MGRGroupingsData", "title 0",
                                                    "deleteTitle"}
                                     << QString("Vellumcrest\u2122 Error") << int(Feedback::Icon::Warning)
                                     << int(Feedback::Buttons::Ok);
    QTest::newRow("refused write") << QStringList{"refuse DELETE MGRGroupings", "alias 1", "up"} << kPageTitle
                                   << int(Feedback::Icon::Critical) << int(Feedback::Buttons::Ok);
}

void TstGroupingsEditor::messages() {
    QFETCH(QStringList, actions);
    Editor e({"Desktop=0", "A=1"}, {"A|x"});
    for (const QString& action : actions)
        e.run(action);
    QCOMPARE(e.feedback.messages.size(), 1);
    QTEST(e.feedback.messages[0].title, "title");
    QTEST(int(e.feedback.messages[0].icon), "icon");
    QTEST(int(e.feedback.messages[0].buttons), "buttons");
}

QTEST_GUILESS_MAIN(TstGroupingsEditor)
#include "tst_groupingseditor.moc"
