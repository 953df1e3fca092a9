// The Contents command, the help window's navigation, and link handling in embedded browsers.
#include "base/Captions.h"
#include "app/frmHelp.h"
#include "base/SystemInfo.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

namespace {
void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// A small guide: index links to second.html, which links back and has a long body with an anchor.
void writeGuide(const QString& folder) {
    writeFile(folder + QStringLiteral("/index.html"),
              "<html><head><title>Index</title></head><body><h1>Index</h1>"
              "<p><a href=\"second.html\">Second page</a></p>"
              "<p><a href=\"second.html#far\">Far section</a></p></body></html>");
    QByteArray body;
    for (int i = 0; i < 200; ++i)
        body += "<p>Filler line to make the page scroll.</p>";
    writeFile(folder + QStringLiteral("/second.html"),
              "<html><head><title>Second</title></head><body><h1>Second</h1>"
              "<p><a href=\"index.html\">Back to the index</a></p>"
              "<p><a href=\"https://www.vellumcrest.example/help\">On the web</a></p>"
              "<p><a href=\"mailto:support@vellumcrest.example\">Write to us</a></p>"
              "<p><a href=\"#far\">Down the page</a></p>" +
                  body + "<h2><a name=\"far\">Far section</a></h2><p>The end.</p></body></html>");
}

// Clicks, with the mouse, the first link of the shown page whose target is written as href.
bool clickLink(QTextBrowser* browser, const QString& href) {
    QTextDocument* document = browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isAnchor() || fragment.charFormat().anchorHref() != href)
                continue;
            QTextCursor cursor(document);
            cursor.setPosition(fragment.position() + fragment.length() / 2);
            browser->setTextCursor(cursor);
            browser->ensureCursorVisible();
            const QRect caret = browser->cursorRect(cursor);
            QTest::mouseClick(browser->viewport(), Qt::LeftButton, {},
                              QPoint(caret.x() + 1, caret.center().y()));
            return true;
        }
    }
    return false;
}

QUrl fileUrl(const QString& path) {
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}
} // namespace

class tst_help_contents : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void contents_data();
    void contents();
    void viewerFailureIsReported();
    void windowIsReused();
    void navigation();
    void links_data();
    void links();
};

void tst_help_contents::contents_data() {
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");

    QTest::newRow("no help folder") << "none" << int(HelpOutcome::NotConfigured)
                                    << Captions::titled(QStringLiteral(" Manager"))
                                    << int(Feedback::Icon::Information);
    QTest::newRow("help folder without index")
        << "empty-folder" << int(HelpOutcome::Failed) << Captions::kProduct << int(Feedback::Icon::None);
    QTest::newRow("index cannot be read")
        << "index-is-folder" << int(HelpOutcome::Failed) << Captions::kProduct << int(Feedback::Icon::None);
    QTest::newRow("guide installed") << "guide" << int(HelpOutcome::Shown) << QString() << 0;
}

void tst_help_contents::contents() {
    QFETCH(QString, layout);
    QFETCH(int, outcome);
    QFETCH(QString, title);
    QFETCH(int, icon);

    QTemporaryDir program;
    QVERIFY(program.isValid());
    const QString help = program.filePath(QStringLiteral("Help"));
    if (layout == QLatin1String("empty-folder"))
        QVERIFY(QDir().mkpath(help));
    else if (layout == QLatin1String("index-is-folder"))
        QVERIFY(QDir().mkpath(help + QStringLiteral("/index.html")));
    else if (layout == QLatin1String("guide"))
        writeGuide(help);

    QWidget owner;
    ScriptedFeedback feedback;
    QCOMPARE(int(ShowHelpContentsWindow(&owner, program.path(), feedback)), outcome);
    frmHelp* window = owner.findChild<frmHelp*>();

    if (outcome == int(HelpOutcome::Shown)) {
        QVERIFY(feedback.messages.isEmpty());
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->brwHelp->source(), fileUrl(help + QStringLiteral("/index.html")));
        QCOMPARE(window->brwHelp->documentTitle(), QStringLiteral("Index"));
        return;
    }
    QVERIFY(!window || !window->isVisible());
    QCOMPARE(feedback.messages.size(), 1);
    const ScriptedFeedback::Message& message = feedback.messages[0];
    QCOMPARE(message.title, title);
    QCOMPARE(int(message.icon), icon);
    QCOMPARE(message.buttons, Feedback::Buttons::Ok);
    if (outcome == int(HelpOutcome::NotConfigured)) {
        QCOMPARE(message.text,
                 QStringLiteral(
                     "Unable to display Help Contents. There is no Help associated with this project."));
    } else {
        // The file system's own description, naming the file it is about.
        QVERIFY2(message.text.contains(QStringLiteral("index.html")), qPrintable(message.text));
        QVERIFY2(message.text.length() > QStringLiteral("index.html").length() + 20,
                 qPrintable(message.text));
    }
}

void tst_help_contents::viewerFailureIsReported() {
    QTemporaryDir program;
    QVERIFY(program.isValid());
    writeGuide(program.filePath(QStringLiteral("Help")));
    ScriptedFeedback feedback;
    QStringList viewed;
    const HelpOutcome outcome = ShowHelpContents(program.path(), feedback, [&](const QString& file) {
        viewed << file;
        return QStringLiteral("The viewer could not start");
    });
    QCOMPARE(outcome, HelpOutcome::Failed);
    QCOMPARE(viewed, QStringList{program.filePath(QStringLiteral("Help/index.html"))});
    QCOMPARE(feedback.messages.size(), 1);
    QCOMPARE(feedback.messages[0].text, QStringLiteral("The viewer could not start"));
    QCOMPARE(feedback.messages[0].icon, Feedback::Icon::None);
}

void tst_help_contents::windowIsReused() {
    QTemporaryDir program;
    QVERIFY(program.isValid());
    writeGuide(program.filePath(QStringLiteral("Help")));
    QWidget owner;
    ScriptedFeedback feedback;
    QCOMPARE(ShowHelpContentsWindow(&owner, program.path(), feedback), HelpOutcome::Shown);
    frmHelp* window = owner.findChild<frmHelp*>();
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(clickLink(window->brwHelp, QStringLiteral("second.html")));
    QCOMPARE(window->brwHelp->documentTitle(), QStringLiteral("Second"));

    // Contents again while the window is open: the same window, back at the index.
    QCOMPARE(ShowHelpContentsWindow(&owner, program.path(), feedback), HelpOutcome::Shown);
    QCOMPARE(owner.findChildren<frmHelp*>().size(), 1);
    QCOMPARE(window->brwHelp->documentTitle(), QStringLiteral("Index"));
    QVERIFY(feedback.messages.isEmpty());
}

void tst_help_contents::navigation() {
    QTemporaryDir program;
    QVERIFY(program.isValid());
    const QString help = program.filePath(QStringLiteral("Help"));
    writeGuide(help);
    frmHelp window;
    // Opened at the second page: Home returns there, Contents goes to the index.
    QCOMPARE(window.openAt(help + QStringLiteral("/second.html")), QString());
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTextBrowser* browser = window.brwHelp;
    QVERIFY(!window.cmdBack->isEnabled());
    QVERIFY(!window.cmdForward->isEnabled());

    QVERIFY(clickLink(browser, QStringLiteral("index.html")));
    QCOMPARE(browser->source(), fileUrl(help + QStringLiteral("/index.html")));
    QVERIFY(window.cmdBack->isEnabled());

    QTest::mouseClick(window.cmdBack, Qt::LeftButton);
    QCOMPARE(browser->documentTitle(), QStringLiteral("Second"));
    QVERIFY(window.cmdForward->isEnabled());
    QTest::mouseClick(window.cmdForward, Qt::LeftButton);
    QCOMPARE(browser->documentTitle(), QStringLiteral("Index"));

    QTest::mouseClick(window.cmdHome, Qt::LeftButton);
    QCOMPARE(browser->source(), fileUrl(help + QStringLiteral("/second.html")));
    QTest::mouseClick(window.cmdContents, Qt::LeftButton);
    QCOMPARE(browser->source(), fileUrl(help + QStringLiteral("/index.html")));

    // A link into another page's section lands on that section.
    QVERIFY(clickLink(browser, QStringLiteral("second.html#far")));
    QCOMPARE(browser->source().fileName(), QStringLiteral("second.html"));
    QCOMPARE(browser->source().fragment(), QStringLiteral("far"));
    QVERIFY(browser->verticalScrollBar()->value() > 0);

    QVERIFY(window.windowTitle().startsWith(Captions::titled(QStringLiteral(" Help"))));
    QCOMPARE(window.openAt(help + QStringLiteral("/missing.html")).isEmpty(), false);
}

void tst_help_contents::links_data() {
    QTest::addColumn<QString>("href");
    QTest::addColumn<QString>("opened"); // what went to the desktop; empty: nothing
    QTest::addColumn<QString>("shown");  // the page shown afterwards (file name#fragment)

    QTest::newRow("web address") << "https://www.vellumcrest.example/help"
                                 << "https://www.vellumcrest.example/help"
                                 << "second.html";
    QTest::newRow("mail address") << "mailto:support@vellumcrest.example"
                                  << "mailto:support@vellumcrest.example"
                                  << "second.html";
    QTest::newRow("local page") << "index.html" << QString() << "index.html";
    QTest::newRow("same page section") << "#far" << QString() << "second.html#far";
}

void tst_help_contents::links() {
    QFETCH(QString, href);
    QFETCH(QString, opened);
    QFETCH(QString, shown);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    writeGuide(folder.path());
    QTextBrowser browser;
    QList<QUrl> external;
    configureExternalLinks(&browser, [&external](const QUrl& url) {
        external << url;
        return true;
    });
    browser.resize(500, 400);
    browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&browser));
    browser.setSource(fileUrl(folder.filePath(QStringLiteral("second.html"))));

    QVERIFY(clickLink(&browser, href));
    if (opened.isEmpty())
        QVERIFY(external.isEmpty());
    else
        QCOMPARE(external, QList<QUrl>{QUrl(opened)});
    QString now = browser.source().fileName();
    if (browser.source().hasFragment())
        now += QLatin1Char('#') + browser.source().fragment();
    QCOMPARE(now, shown);
    QVERIFY(!browser.document()->isEmpty());
}

QTEST_MAIN(tst_help_contents)
#include "tst_help_contents.moc"
