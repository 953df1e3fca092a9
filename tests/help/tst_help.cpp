// Help > Contents and the help window, link handling in the embedded browsers, and the
// installed guide: every link leads somewhere and every page is reachable.
#include "app/frmAbout.h"
#include "app/frmHelp.h"
#include "base/Captions.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
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

// A small guide: index links to second.html, which links back and out.
void writeGuide(const QString& folder) {
    writeFile(folder + "/index.html", "<html><head><title>Index</title></head><body>"
                                      "<p><a href=\"second.html\">Second page</a></p></body></html>");
    writeFile(folder + "/second.html",
              "<html><head><title>Second</title></head><body>"
              "<p><a href=\"index.html\">Back to the index</a></p>"
              "<p><a href=\"https://www.vellumcrest.example/help\">On the web</a></p>"
              "<p><a href=\"mailto:support@vellumcrest.example\">Write to us</a></p>"
              "</body></html>");
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

struct Page {
    QStringList links;   // every href and src of the raw text (stylesheets and images too)
    QSet<QString> names; // anchors a link can land on
    QString text;
};

Page readPage(const QString& path) {
    Page page;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return page;
    const QString html = QString::fromUtf8(file.readAll());
    QTextDocument document;
    document.setHtml(html);
    page.text = document.toPlainText();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            for (const QString& name : it.fragment().charFormat().anchorNames())
                page.names.insert(name);
        }
    }
    static const QRegularExpression attribute("(?:href|src)\\s*=\\s*\"([^\"]*)\"",
                                              QRegularExpression::CaseInsensitiveOption);
    for (auto match = attribute.globalMatch(html); match.hasNext();)
        page.links << match.next().captured(1);
    return page;
}

QString guideFolder() {
    return TestEnv::sourceDir() + "/Help";
}
} // namespace

class TstHelp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void contents_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message"); // part of the one message shown; empty: none
        QTest::newRow("no help folder") << "none" << int(HelpOutcome::NotConfigured)
                                        << "Unable to display Help Contents. There is no Help associated "
                                           "with this project.";
        // The file system's own description, naming the file it is about.
        QTest::newRow("help folder without index")
            << "empty-folder" << int(HelpOutcome::Failed) << "index.html";
        QTest::newRow("index cannot be read")
            << "index-is-folder" << int(HelpOutcome::Failed) << "index.html";
        QTest::newRow("guide installed") << "guide" << int(HelpOutcome::Shown) << QString();
    }
    void contents() {
        QFETCH(QString, layout);
        QFETCH(QString, message);
        QTemporaryDir program;
        const QString help = program.filePath("Help");
        if (layout == "empty-folder")
            QVERIFY(QDir().mkpath(help));
        else if (layout == "index-is-folder")
            QVERIFY(QDir().mkpath(help + "/index.html"));
        else if (layout == "guide")
            writeGuide(help);
        QWidget owner;
        ScriptedFeedback feedback;
        QTEST(int(showHelpContentsWindow(&owner, program.path(), feedback)), "outcome");
        const frmHelp* window = owner.findChild<frmHelp*>();
        QCOMPARE(window && window->isVisible(), message.isEmpty());
        QCOMPARE(feedback.messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(feedback.messages[0].text.contains(message), qPrintable(feedback.messages[0].text));
    }

    void viewerFailureIsReported() {
        QTemporaryDir program;
        writeGuide(program.filePath("Help"));
        ScriptedFeedback feedback;
        QStringList viewed;
        const HelpOutcome outcome = showHelpContents(program.path(), feedback, [&](const QString& file) {
            viewed << file;
            return "The viewer could not start";
        });
        QCOMPARE(outcome, HelpOutcome::Failed);
        QCOMPARE(viewed, QStringList{program.filePath("Help/index.html")});
        QCOMPARE(feedback.messages.size(), 1);
        QCOMPARE(feedback.messages[0].text, QString("The viewer could not start"));
    }

    // Contents again while the window is open: the same window, back at the index; a missing
    // page is refused with a reason.
    void windowIsReusedAndReturnsToTheContents() {
        QTemporaryDir program;
        writeGuide(program.filePath("Help"));
        QWidget owner;
        ScriptedFeedback feedback;
        QCOMPARE(showHelpContentsWindow(&owner, program.path(), feedback), HelpOutcome::Shown);
        frmHelp* window = owner.findChild<frmHelp*>();
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        auto* brwHelp = TestEnv::child<QTextBrowser>(window, "brwHelp");
        QVERIFY(clickLink(brwHelp, "second.html"));
        QCOMPARE(brwHelp->documentTitle(), QString("Second"));
        QCOMPARE(showHelpContentsWindow(&owner, program.path(), feedback), HelpOutcome::Shown);
        QCOMPARE(owner.findChildren<frmHelp*>().size(), 1);
        QCOMPARE(brwHelp->documentTitle(), QString("Index"));
        QVERIFY(clickLink(brwHelp, "second.html"));
        QTest::mouseClick(TestEnv::child<QPushButton>(window, "cmdContents"), Qt::LeftButton);
        QCOMPARE(brwHelp->documentTitle(), QString("Index"));
        QVERIFY(!window->openAt(program.filePath("Help/missing.html")).isEmpty());
        QVERIFY(feedback.messages.isEmpty());
    }

    void links_data() {
        QTest::addColumn<QString>("href");
        QTest::addColumn<bool>("external"); // went to the desktop rather than into the browser
        QTest::newRow("web address") << "https://www.vellumcrest.example/help" << true;
        QTest::newRow("mail address") << "mailto:support@vellumcrest.example" << true;
        QTest::newRow("local page") << "index.html" << false;
    }
    void links() {
        QFETCH(QString, href);
        QFETCH(bool, external);
        QTemporaryDir folder;
        writeGuide(folder.path());
        QTextBrowser browser;
        QList<QUrl> opened;
        configureExternalLinks(&browser, [&opened](const QUrl& url) {
            opened << url;
            return true;
        });
        browser.resize(500, 400);
        browser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&browser));
        browser.setSource(QUrl::fromLocalFile(folder.filePath("second.html")));
        QVERIFY(clickLink(&browser, href));
        QCOMPARE(opened, external ? QList<QUrl>{QUrl(href)} : QList<QUrl>{});
        QCOMPARE(browser.source().fileName(), external ? QString("second.html") : href);
    }

    void guideLinksResolve_data() {
        QTest::addColumn<QString>("path");
        for (const QString& name : QDir(guideFolder()).entryList({"*.html"}, QDir::Files))
            QTest::newRow(qPrintable(name)) << guideFolder() + '/' + name;
        QTest::newRow("WebSite.html") << TestEnv::sourceDir() + "/Data/HTML/WebSite.html";
    }
    void guideLinksResolve() {
        QFETCH(QString, path);
        const Page page = readPage(path);
        QVERIFY(!page.links.isEmpty());
        const QUrl base = QUrl::fromLocalFile(path);
        for (const QString& target : page.links) {
            const QUrl url = base.resolved(QUrl(target));
            if (isExternalLink(url)) {
                QVERIFY2(url.scheme() == "https" || url.scheme() == "mailto", qPrintable(target));
                continue;
            }
            const QString where = QFileInfo(path).fileName() + " -> " + target;
            QVERIFY2(QFileInfo(url.toLocalFile()).isFile(), qPrintable(where));
            if (url.hasFragment())
                QVERIFY2(readPage(url.toLocalFile()).names.contains(url.fragment()), qPrintable(where));
        }
    }

    // Every page is reachable from the contents and leads back to it.
    void guidePagesAreReachable() {
        const QStringList pages = QDir(guideFolder()).entryList({"*.html"}, QDir::Files);
        QVERIFY(pages.contains("index.html"));
        QSet<QString> reached{"index.html"};
        QStringList queue{"index.html"};
        while (!queue.isEmpty()) {
            for (const QString& link : readPage(guideFolder() + '/' + queue.takeFirst()).links) {
                const QString target = QUrl(link).path();
                if (pages.contains(target) && !reached.contains(target)) {
                    reached.insert(target);
                    queue << target;
                }
            }
        }
        for (const QString& name : pages) {
            QVERIFY2(reached.contains(name), qPrintable(name));
            if (name != "index.html")
                QVERIFY2(readPage(guideFolder() + '/' + name).links.contains("index.html"), qPrintable(name));
        }
    }

    // The product page states the version the About box shows.
    void webSitePageShowsTheVersion() {
        QCoreApplication::setApplicationVersion(QString());
        const Page page = readPage(TestEnv::sourceDir() + "/Data/HTML/WebSite.html");
        QVERIFY(page.links.contains(Captions::kWebSite));
        QVERIFY2(page.text.contains(frmAbout::versionText()), qPrintable(frmAbout::versionText()));
    }
};

QTEST_MAIN(TstHelp)
#include "tst_help.moc"
