// The installed guide and the product page: every link leads somewhere, every page is reachable.
#include "base/Captions.h"
#include "app/frmAbout.h"
#include "app/frmHelp.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

namespace {
struct Page {
    QStringList links;   // href of every link the reader can click, as QTextBrowser sees them
    QStringList files;   // every href and src of the raw text (stylesheets and images too)
    QSet<QString> names; // anchors a link can land on
    QString text;        // plain text
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
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.anchorHref().isEmpty())
                page.links << format.anchorHref();
            for (const QString& name : format.anchorNames())
                page.names.insert(name);
        }
    }
    static const QRegularExpression attribute(QStringLiteral("(?:href|src)\\s*=\\s*\"([^\"]*)\""),
                                              QRegularExpression::CaseInsensitiveOption);
    for (auto match = attribute.globalMatch(html); match.hasNext();)
        page.files << match.next().captured(1);
    return page;
}

QString helpFolder() {
    return TestEnv::sourceDir() + QStringLiteral("/Help");
}
QString webSitePage() {
    return TestEnv::sourceDir() + QStringLiteral("/Data/HTML/WebSite.html");
}
} // namespace

class tst_help_guide : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void linksResolve_data();
    void linksResolve();
    void everyPageIsReachableFromTheContents();
    void guideCoversEveryPage();
    void webSitePage();

private:
    QMap<QString, Page> m_pages; // file name in Help -> page
};

void tst_help_guide::initTestCase() {
    TestEnv::setUp();
    const QStringList files = QDir(helpFolder()).entryList({QStringLiteral("*.html")}, QDir::Files);
    QVERIFY(files.contains(QStringLiteral("index.html")));
    QVERIFY(files.size() > 5);
    for (const QString& name : files)
        m_pages.insert(name, readPage(helpFolder() + QLatin1Char('/') + name));
}

void tst_help_guide::linksResolve_data() {
    QTest::addColumn<QString>("path");
    for (auto it = m_pages.constBegin(); it != m_pages.constEnd(); ++it)
        QTest::newRow(qPrintable(it.key())) << helpFolder() + QLatin1Char('/') + it.key();
    QTest::newRow("WebSite.html") << ::webSitePage();
}

void tst_help_guide::linksResolve() {
    QFETCH(QString, path);
    const Page page = readPage(path);
    QVERIFY(!page.links.isEmpty());
    const QUrl base = QUrl::fromLocalFile(path);
    for (const QString& target : page.files + page.links) {
        const QUrl url = base.resolved(QUrl(target));
        if (isExternalLink(url)) {
            QVERIFY2(url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("mailto"),
                     qPrintable(target));
            continue;
        }
        QVERIFY2(url.isLocalFile(), qPrintable(target));
        const QString file = url.toLocalFile();
        QVERIFY2(QFileInfo(file).isFile(),
                 qPrintable(QFileInfo(path).fileName() + QStringLiteral(" -> ") + target));
        if (url.hasFragment()) {
            const QSet<QString> names = file == path ? page.names : readPage(file).names;
            QVERIFY2(names.contains(url.fragment()),
                     qPrintable(QFileInfo(path).fileName() + QStringLiteral(" -> ") + target));
        }
    }
}

void tst_help_guide::everyPageIsReachableFromTheContents() {
    QSet<QString> reached{QStringLiteral("index.html")};
    QStringList queue{QStringLiteral("index.html")};
    while (!queue.isEmpty()) {
        const QString name = queue.takeFirst();
        for (const QString& link : m_pages.value(name).links) {
            const QString target = QUrl(link).path();
            if (target.isEmpty() || !m_pages.contains(target) || reached.contains(target))
                continue;
            reached.insert(target);
            queue << target;
        }
    }
    for (auto it = m_pages.constBegin(); it != m_pages.constEnd(); ++it) {
        QVERIFY2(reached.contains(it.key()), qPrintable(it.key()));
        // And the way back: every page leads to the contents.
        if (it.key() != QLatin1String("index.html"))
            QVERIFY2(it.value().links.contains(QStringLiteral("index.html")), qPrintable(it.key()));
    }
}

void tst_help_guide::guideCoversEveryPage() {
    // The contents names each page of the main window and the commands of the menus.
    const QString contents = m_pages.value(QStringLiteral("index.html")).text;
    for (const char* page : {"Workstation Data", "Data Ranges", "Reports", "Application Groupings",
                             "Security", "Check Workstations", "Export Data", "Troubleshooting"})
        QVERIFY2(contents.contains(QLatin1String(page)), page);
}

void tst_help_guide::webSitePage() {
    const Page page = readPage(::webSitePage());
    QVERIFY(page.links.contains(Captions::kWebSite));
    // The page states the version the About box shows.
    QCoreApplication::setApplicationVersion(QString());
    QVERIFY2(page.text.contains(frmAbout::versionText()), qPrintable(frmAbout::versionText()));
}

QTEST_MAIN(tst_help_guide)
#include "tst_help_guide.moc"
