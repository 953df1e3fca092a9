// Main window: start-up sequence, page navigation, menu bar and close.
#include "app/frmMain.h"

#include "app/Account.h"
#include "app/frameSecurity.h"
#include "app/frmAbout.h"
#include "app/frmHelp.h"
#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/Settings.h"
#include "base/VcError.h"
#include "collect/DataDownload.h"
#include "collect/frmDownloadData.h"
#include "discovery/frameCheckWorkstations.h"
#include "discovery/frameConfiguration.h"
#include "discovery/frameWorkstationHealth.h"
#include "export/ExportCommand.h"
#include "groupings/frameAppGroupings.h"
#include "network/Network.h"
#include "report/frameData.h"
#include "report/frameReports.h"
#include "report/frmGenerateReport.h"
#include "report/GenerateData.h"
#include "report/ReportCsv.h"
#include "report/ReportProgress.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"
#include "verticalmenu/VerticalMenu.h"
#include "widgets/DialogRunner.h"
#include "widgets/PlainText.h"
#include "widgets/WaitCursor.h"

#include <cmath>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const QString kWorkstationData = QStringLiteral("Workstation Data");
const QString kDataRanges = QStringLiteral("Data Ranges");
const QString kReports = QStringLiteral("Reports");
const QString kGroupings = QStringLiteral("Application Groupings");
const QString kSecurity = QStringLiteral("Security");
const QString kCheckWorkstations = QStringLiteral("Check Workstations");
const QString kWorkstationHealth = QStringLiteral("Workstation Health");
const QString kWebSite = QStringLiteral("Vellumcrest Web Site");

QAction* addCommand(QMenu* menu, const QString& caption, const QString& name) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}
} // namespace

int twipsToPixels(int twips, double dotsPerInch) {
    return static_cast<int>(std::lround(twips * dotsPerInch / 1440.0));
}

int pixelsToTwips(int pixels, double dotsPerInch) {
    return static_cast<int>(std::lround(pixels * 1440.0 / dotsPerInch));
}

frmMain::frmMain(const AppContext& context, QWidget* parent) : QMainWindow(parent), m_context(context) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(Captions::titled(QStringLiteral(" Manager")));
    setWindowIcon(frmAbout::programIcon());
    Feedback& feedback = m_context.feedback;

    VerticalMenu1 = new VerticalMenu(feedback, Captions::kProduct, this);
    VerticalMenu1->setObjectName(QStringLiteral("VerticalMenu1"));
    VerticalMenu1->loadMainWindowBar();
    VerticalMenu1->setFixedWidth(112);

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont(QStringLiteral("Arial"), 12, QFont::Bold);
    lblTitle->setFont(titleFont);
    lblTitle->setContentsMargins(4, 2, 4, 4);

    pages = new QStackedWidget(this);
    pages->setObjectName(QStringLiteral("pages"));
    pageConfiguration = new frameConfiguration(m_context.network, feedback, m_context.dialogs, pages);
    m_dataPlaceholder = new QWidget(pages);
    m_dataPlaceholder->setObjectName(QStringLiteral("frameDataPlaceholder"));
    pageReports = new frameReports(feedback, pages);
    pageAppGroupings = new frameAppGroupings(feedback, m_context.dialogs, pages);
    pageSecurity = new frameSecurity(m_context.settings, pages);
    pageCheckWorkstations = new frameCheckWorkstations(m_context.network, feedback, pages);
    pageWorkstationHealth =
        new frameWorkstationHealth(m_context.network, feedback, m_context.settings, pages);
    frameWeb = new QWidget(pages);
    frameWeb->setObjectName(QStringLiteral("frameWeb"));
    wbWeb = new QTextBrowser(frameWeb);
    wbWeb->setObjectName(QStringLiteral("wbWeb"));
    configureExternalLinks(wbWeb);
    auto* webLayout = new QVBoxLayout(frameWeb);
    webLayout->setContentsMargins(0, 0, 0, 0);
    webLayout->addWidget(wbWeb);

    m_pages = {{kWorkstationData, pageConfiguration, 1},
               {kDataRanges, m_dataPlaceholder, 1},
               {kReports, pageReports, 1},
               {kGroupings, pageAppGroupings, 2},
               {kSecurity, pageSecurity, 2},
               {kCheckWorkstations, pageCheckWorkstations, 3},
               {kWorkstationHealth, pageWorkstationHealth, 3},
               {kWebSite, frameWeb, 4}};
    for (const Page& page : m_pages)
        pages->addWidget(page.frame);
    pages->setCurrentWidget(pageConfiguration);

    auto* right = new QVBoxLayout;
    right->setContentsMargins(6, 4, 6, 0);
    right->addWidget(lblTitle);
    right->addWidget(pages, 1);
    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(VerticalMenu1);
    layout->addLayout(right, 1);
    setCentralWidget(central);

    buildMenus();
    buildStatusBar();
    resize(900, 640);

    connect(VerticalMenu1, &VerticalMenu::MenuItemClick, this, &frmMain::MenuItemClick);
    connect(pageConfiguration, &frameConfiguration::statusText, this, &frmMain::setStatusText);
    connect(pageConfiguration, &frameConfiguration::showWorkstationDataPageRequested, this,
            &frmMain::ShowWorkstationDataPage);
    connect(pageCheckWorkstations, &frameCheckWorkstations::serviceChecked, pageWorkstationHealth,
            &frameWorkstationHealth::serviceChecked);
    connect(pageWorkstationHealth, &frameWorkstationHealth::markedChanged, pageConfiguration,
            &frameConfiguration::setBehindWorkstations);
}

frmMain::~frmMain() {
    // Pages hold references to the database; they go first.
    delete pageData;
    pageData = nullptr;
}

void frmMain::buildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* mnuFile = bar->addMenu(QStringLiteral("&Main"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    connect(addCommand(mnuFile, QStringLiteral("Workstation Data"), QStringLiteral("mnuMainWSData")),
            &QAction::triggered, this, [this] { showFromMenuBar(1, &frmMain::ShowWorkstationDataPage); });
    connect(addCommand(mnuFile, QStringLiteral("Data Ranges"), QStringLiteral("mnuMainData")),
            &QAction::triggered, this, [this] { showFromMenuBar(1, &frmMain::cmdDateRange); });
    connect(addCommand(mnuFile, QStringLiteral("Reports"), QStringLiteral("mnuMainReports")),
            &QAction::triggered, this, [this] { showFromMenuBar(1, &frmMain::ShowReportsPage); });
    connect(addCommand(mnuFile, QStringLiteral("E&xit"), QStringLiteral("mnuFileExit")), &QAction::triggered,
            this, [this] { close(); });

    QMenu* mnuOptions = bar->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    connect(addCommand(mnuOptions, QStringLiteral("Application &Groupings"),
                       QStringLiteral("mnuOptionsGroupings")),
            &QAction::triggered, this, [this] { showFromMenuBar(2, &frmMain::ShowGroupingsPage); });
    mnuOptions->addSeparator();
    connect(addCommand(mnuOptions, QStringLiteral("&Security"), QStringLiteral("mnuOptionsSecurity")),
            &QAction::triggered, this, [this] { showFromMenuBar(2, &frmMain::ShowSecurityPage); });

    QMenu* mnuTools = bar->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    connect(addCommand(mnuTools, QStringLiteral("&Check Workstations"), QStringLiteral("mnuToolsCheck")),
            &QAction::triggered, this, [this] { showFromMenuBar(3, &frmMain::ShowCheckWorkstationsPage); });
    connect(addCommand(mnuTools, QStringLiteral("Workstation &Health"), QStringLiteral("mnuToolsHealth")),
            &QAction::triggered, this, [this] { showFromMenuBar(3, &frmMain::ShowWorkstationHealthPage); });
    mnuTools->addSeparator();
    connect(addCommand(mnuTools, QStringLiteral("&Export Data..."), QStringLiteral("mnuToolsExport")),
            &QAction::triggered, this, &frmMain::exportData);

    QMenu* mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    connect(addCommand(mnuHelp, QStringLiteral("&Contents..."), QStringLiteral("mnuHelpContents")),
            &QAction::triggered, this, &frmMain::helpContents);
    mnuHelp->addSeparator();
    connect(addCommand(mnuHelp, QStringLiteral("Vellumcrest &Web Site"), QStringLiteral("mnuHelpVisit")),
            &QAction::triggered, this, [this] { showFromMenuBar(4, &frmMain::ShowWebSitePage); });
    mnuHelp->addSeparator();
    connect(addCommand(mnuHelp, QStringLiteral("&About Vellumcrest..."), QStringLiteral("mnuHelpAbout")),
            &QAction::triggered, this, &frmMain::helpAbout);
}

void frmMain::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("sbStatusBar"));
    sbPanelStatus = new QLabel(bar);
    sbPanelStatus->setObjectName(QStringLiteral("sbPanelStatus"));
    sbPanelDate = new QLabel(bar);
    sbPanelDate->setObjectName(QStringLiteral("sbPanelDate"));
    sbPanelTime = new QLabel(bar);
    sbPanelTime->setObjectName(QStringLiteral("sbPanelTime"));
    bar->addWidget(sbPanelStatus, 1);
    bar->addPermanentWidget(sbPanelDate);
    bar->addPermanentWidget(sbPanelTime);
    auto tick = [this] {
        sbPanelDate->setText(QStringLiteral(" ") + Dates::shortText(QDate::currentDate()) +
                             QStringLiteral(" "));
        sbPanelTime->setText(QStringLiteral(" ") +
                             QLocale().toString(QTime::currentTime(), QLocale::ShortFormat) +
                             QStringLiteral(" "));
    };
    tick();
    m_clock = new QTimer(this);
    connect(m_clock, &QTimer::timeout, this, tick);
    m_clock->start(1000);
}

QString frmMain::htmlPage(const QString& file) const {
    return m_context.programFolder + QStringLiteral("/Data/HTML/") + file;
}

void frmMain::repaintNow() {
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void frmMain::execDialog(QDialog& dialog) {
    m_context.dialogs.run(dialog);
}

void frmMain::setStatusText(const QString& text) {
    PlainText::show(sbPanelStatus, text);
}

QString frmMain::statusText() const {
    return sbPanelStatus->text();
}

void frmMain::applyStoredPosition() {
    const int left = m_context.settings.mainLeft();
    const int top = m_context.settings.mainTop();
    const double dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
    move(twipsToPixels(left, dpi), twipsToPixels(top, dpi));
}

void frmMain::storePosition() {
    const double dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
    m_context.settings.storeMainPosition(pixelsToTwips(pos().x(), dpi), pixelsToTwips(pos().y(), dpi));
}

void frmMain::UpdateSnapshotDate() {
    pageConfiguration->setSnapshotDate(snapshotDateText(*m_database));
}

void frmMain::run() {
    Feedback& feedback = m_context.feedback;
    try {
        pageReports->showPlaceholder(htmlPage(QStringLiteral("Blank.html")));
        wbWeb->setSource(QUrl::fromLocalFile(htmlPage(QStringLiteral("Empty.html"))));
        setWindowTitle(Captions::titled(QStringLiteral(" Manager")));
        applyStoredPosition();
        // The stored password is a hash: the box starts empty and is only written when edited.
        pageSecurity->load(accountName(), m_context.flags.passwordProtected);
    } catch (const VcError& error) {
        if (error.number() == ErrorNumber::TypeMismatch) {
            feedback.message(corruptedSettingsMessage(), Captions::titled(QStringLiteral(" Manager")),
                             Feedback::Icon::Critical, Feedback::Buttons::Ok);
            close();
        }
        return;
    }

    // From here on, errors go to the start-up error handler.
    m_database =
        std::make_unique<ManagerDatabase>(m_context.programFolder + QStringLiteral("/Data/VCManager.mdb"));
    pageConfiguration->setDatabase(m_database.get());
    pageAppGroupings->setDatabase(m_database.get());
    pageWorkstationHealth->setDatabase(m_database.get());
    UpdateSnapshotDate();

    if (m_context.flags.previouslyLoaded) {
        pageConfiguration->loadTreeFromRegistry();
    } else {
        pageConfiguration->cmdScanNetworkClick();
        m_context.flags.previouslyLoaded = true;
        m_context.settings.storePreviouslyLoaded();
    }

    setStatusText(QStringLiteral("Downloading workstation data..."));
    DownloadSummary outcome;
    {
        frmDownloadData download(this);
        connect(&download, &frmDownloadData::statusText, this, &frmMain::setStatusText);
        connect(&download, &frmDownloadData::snapshotDateChanged, pageConfiguration,
                &frameConfiguration::setSnapshotDate);
        download.show();
        outcome =
            download.DownloadData(pageConfiguration->checkedWorkstations(), *m_database, m_context.network);
    }
    repaintNow();

    pageData = new frameData(*m_database, feedback, pages);
    replacePage(kDataRanges, pageData);
    m_dataPlaceholder->deleteLater();
    pageData->LoadReportCriteria();

    pageAppGroupings->setTitleRange(pageData->startDate(), pageData->endDate());
    pageAppGroupings->LoadGroupings();
    // The download's records are the health rows; their marks go to the tree as well.
    pageWorkstationHealth->refresh();
    ShowWorkstationDataPage();
    // What did not come in is said where the operator looks, with the reasons on hover.
    setStatusText(downloadOutcomeText(outcome));
    sbPanelStatus->setToolTip(PlainText::toolTip(downloadOutcomeDetails(outcome)));
}

QWidget* frmMain::pageWidget(const QString& name) const {
    for (const Page& page : m_pages) {
        if (page.name == name)
            return page.frame;
    }
    return nullptr;
}

// Puts frame where the named page is, in the stack and in the page table; nullptr forgets it.
void frmMain::replacePage(const QString& name, QWidget* frame) {
    for (Page& page : m_pages) {
        if (page.name != name)
            continue;
        if (frame && page.frame)
            pages->insertWidget(pages->indexOf(page.frame), frame);
        if (page.frame)
            pages->removeWidget(page.frame);
        page.frame = frame;
    }
}

QString frmMain::currentPageName() const {
    for (const Page& page : m_pages) {
        if (page.frame == pages->currentWidget())
            return page.name;
    }
    return {};
}

void frmMain::switchTo(const QString& name) {
    pages->setCurrentWidget(pageWidget(name));
    setStatusText(QString());
    PlainText::show(lblTitle, VerticalMenu1->MenuCaption() + QStringLiteral(" -> ") + name);
    repaintNow();
}

void frmMain::ShowWorkstationDataPage() {
    switchTo(kWorkstationData);
}

void frmMain::cmdDateRange() {
    switchTo(kDataRanges);
}

void frmMain::ShowReportsPage() {
    switchTo(kReports);
    pageReports->showPlaceholder(htmlPage(QStringLiteral("Blank.html")));
    pageReports->setCsvWriter({});
    pageReports->setChartTotals(nullptr);
    repaintNow();
    if (!pageData || !m_database)
        return;
    WaitCursor busy;
    const ReportCriteria criteria = pageData->criteria();
    frmGenerateReport generate(*m_database, criteria, m_context.programFolder, m_context.feedback, this);
    connect(&generate, &frmGenerateReport::totalsChosen, pageReports, &frameReports::setChartTotals);
    connect(&generate, &frmGenerateReport::pageChosen, pageReports, &frameReports::navigate);
    connect(&generate, &frmGenerateReport::failed, pageReports, &frameReports::showFailure);
    // The report keeps no rows: CSV extracts them again with the shown report's criteria (the
    // page makes a new report, and a new writer, whenever it is shown again).
    connect(&generate, &frmGenerateReport::pageChosen, this, [this, criteria](const QString& path) {
        if (path != htmlPage(QStringLiteral("Report.html")))
            return;
        pageReports->setCsvWriter([database = m_database.get(), criteria](const QString& target) {
            try {
                ReportProgress progress;
                int progressStep = 1;
                GenerateData(*database, criteria, progress, progressStep);
                ReportCsv::write(*database, target, ReportCsv::kindOf(target));
            } catch (const VcError& error) {
                return error.description();
            }
            return QString();
        });
    });
    execDialog(generate);
}

void frmMain::ShowGroupingsPage() {
    switchTo(kGroupings);
    // The unmatched titles are counted over the days a report would cover now.
    if (pageData)
        pageAppGroupings->setTitleRange(pageData->startDate(), pageData->endDate());
}

void frmMain::ShowSecurityPage() {
    switchTo(kSecurity);
}

void frmMain::ShowCheckWorkstationsPage() {
    switchTo(kCheckWorkstations);
}

void frmMain::ShowWorkstationHealthPage() {
    switchTo(kWorkstationHealth);
    pageWorkstationHealth->refresh();
}

void frmMain::ShowWebSitePage() {
    switchTo(kWebSite);
    wbWeb->setSource(QUrl::fromLocalFile(htmlPage(QStringLiteral("WebSite.html"))));
    repaintNow();
}

void frmMain::showFromMenuBar(int menu, void (frmMain::*switcher)()) {
    VerticalMenu1->setMenuCur(menu);
    (this->*switcher)();
}

bool frmMain::showPageByName(const QString& name) {
    // The Reports page with its charts shown: a view of that page, not a page of its own.
    if (name.compare(QLatin1String("Charts"), Qt::CaseInsensitive) == 0) {
        pageReports->showCharts(true);
        return showPageByName(kReports);
    }
    for (const Page& page : m_pages) {
        if (page.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        static const QHash<QString, void (frmMain::*)()> switchers = {
            {kWorkstationData, &frmMain::ShowWorkstationDataPage},
            {kDataRanges, &frmMain::cmdDateRange},
            {kReports, &frmMain::ShowReportsPage},
            {kGroupings, &frmMain::ShowGroupingsPage},
            {kSecurity, &frmMain::ShowSecurityPage},
            {kCheckWorkstations, &frmMain::ShowCheckWorkstationsPage},
            {kWorkstationHealth, &frmMain::ShowWorkstationHealthPage},
            {kWebSite, &frmMain::ShowWebSitePage}};
        showFromMenuBar(page.menu, switchers.value(page.name));
        return true;
    }
    return false;
}

void frmMain::MenuItemClick(short MenuNumber, short MenuItem) {
    if (MenuItem < 1 || MenuItem > 9)
        return;
    switch (MenuNumber * 10 + MenuItem) {
    case 11:
        ShowWorkstationDataPage();
        break;
    case 12:
        cmdDateRange();
        break;
    case 13:
        ShowReportsPage();
        break;
    case 21:
        ShowGroupingsPage();
        break;
    case 22:
        ShowSecurityPage();
        break;
    case 31:
        ShowCheckWorkstationsPage();
        break;
    case 32:
        exportData();
        break;
    case 33:
        ShowWorkstationHealthPage();
        break;
    case 41:
        ShowWebSitePage();
        break;
    case 42:
        helpContents();
        break;
    default:
        break;
    }
}

void frmMain::exportData() {
    if (!m_database)
        return;
    std::optional<QDate> from;
    std::optional<QDate> to;
    if (pageData) {
        from = pageData->startDate();
        to = pageData->endDate();
    }
    ExportCommand::run(
        m_context.feedback, *m_database, from, to, [this](const QString& text) { setStatusText(text); },
        this);
}

void frmMain::helpContents() {
    showHelpContentsWindow(this, m_context.programFolder, m_context.feedback);
}

void frmMain::helpAbout() {
    frmAbout about(m_context.feedback, this);
    execDialog(about);
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        m_closing = true;
        // Errors are ignored for the rest of the close.
        try {
            pageSecurity->commitPassword();
        } catch (...) {
        }
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window != this && window->isVisible())
                window->close();
        }
        try {
            if (!isMinimized())
                storePosition();
        } catch (...) {
        }
        pageAppGroupings->setDatabase(nullptr);
        pageConfiguration->setDatabase(nullptr);
        pageWorkstationHealth->setDatabase(nullptr);
        replacePage(kDataRanges, nullptr);
        delete pageData;
        pageData = nullptr;
        m_database.reset();
    }
    event->accept();
}
