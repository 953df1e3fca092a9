// The help window and link handling for embedded browsers.
#include "app/frmHelp.h"

#include "app/frmAbout.h"
#include "base/Captions.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

bool isExternalLink(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("mailto") || scheme == QLatin1String("ftp");
}

void configureExternalLinks(QTextBrowser* browser, ExternalOpener openExternal) {
    if (!openExternal)
        openExternal = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    // Left to itself the browser would try to load a web address as a local document and show
    // an empty page; so every link comes here, already resolved against the shown page.
    browser->setOpenExternalLinks(false);
    browser->setOpenLinks(false);
    QObject::connect(
        browser, &QTextBrowser::anchorClicked, browser, [browser, openExternal](const QUrl& url) {
            if (isExternalLink(url))
                openExternal(url);
            else if (url.isLocalFile() || url.scheme() == QLatin1String("qrc") || url.isRelative())
                browser->setSource(url);
        });
}

frmHelp::frmHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(Captions::titled(QStringLiteral(" Help")));
    setWindowIcon(frmAbout::programIcon());

    brwHelp = new QTextBrowser(this);
    brwHelp->setObjectName(QStringLiteral("brwHelp"));
    configureExternalLinks(brwHelp);

    cmdBack = new QPushButton(QStringLiteral("< &Back"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    cmdForward = new QPushButton(QStringLiteral("&Forward >"), this);
    cmdForward->setObjectName(QStringLiteral("cmdForward"));
    cmdHome = new QPushButton(QStringLiteral("&Home"), this);
    cmdHome->setObjectName(QStringLiteral("cmdHome"));
    cmdContents = new QPushButton(QStringLiteral("&Contents"), this);
    cmdContents->setObjectName(QStringLiteral("cmdContents"));
    cmdBack->setEnabled(false);
    cmdForward->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(cmdContents);
    bar->addWidget(cmdHome);
    bar->addWidget(cmdBack);
    bar->addWidget(cmdForward);
    bar->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(brwHelp, 1);
    resize(780, 620);

    connect(brwHelp, &QTextBrowser::backwardAvailable, cmdBack, &QWidget::setEnabled);
    connect(brwHelp, &QTextBrowser::forwardAvailable, cmdForward, &QWidget::setEnabled);
    connect(cmdBack, &QPushButton::clicked, brwHelp, &QTextBrowser::backward);
    connect(cmdForward, &QPushButton::clicked, brwHelp, &QTextBrowser::forward);
    connect(cmdHome, &QPushButton::clicked, brwHelp, &QTextBrowser::home);
    connect(cmdContents, &QPushButton::clicked, this, [this] {
        if (m_contents.isValid())
            brwHelp->setSource(m_contents);
    });
    connect(brwHelp, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = brwHelp->documentTitle();
        setWindowTitle(Captions::titled(QStringLiteral(" Help")) +
                       (title.isEmpty() ? QString() : QStringLiteral(" - ") + title));
    });
}

QString frmHelp::openAt(const QString& file) {
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable())
        return file + QStringLiteral(": the help page cannot be read.");
    m_contents = QUrl::fromLocalFile(info.absolutePath() + QStringLiteral("/index.html"));
    brwHelp->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    show();
    raise();
    activateWindow();
    return {};
}

HelpOutcome showHelpContentsWindow(QWidget* owner, const QString& programFolder, Feedback& feedback,
                                   const QString& page) {
    return showHelpContents(
        programFolder, feedback,
        [owner](const QString& indexFile) {
            frmHelp* window =
                owner ? owner->findChild<frmHelp*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
            if (!window) {
                window = new frmHelp(owner);
                if (!owner)
                    window->setAttribute(Qt::WA_DeleteOnClose);
            }
            return window->openAt(indexFile);
        },
        page);
}
