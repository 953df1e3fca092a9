// Main window: start-up sequence, page navigation, menu bar and close.
#include "app/frmMain.h"

#include "app/Account.h"
#include "app/frameAuditLog.h"
#include "app/framePrivacy.h"
#include "app/frameSecurity.h"
#include "app/frmAbout.h"
#include "app/frmHelp.h"
#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/Settings.h"
#include "base/VcError.h"
#include "collect/DataDownload.h"
#include "collect/frmDownloadData.h"
#include "collect/Retention.h"
#include "discovery/frameCheckWorkstations.h"
#include "discovery/frameConfiguration.h"
#include "discovery/frameWorkstationHealth.h"
#include "export/ExportCommand.h"
#include "groupings/frameAppGroupings.h"
#include "network/Network.h"
#include "report/frameData.h"
#include "report/frameReports.h"
#include "report/frmGenerateReport.h"
#include "report/Pseudonyms.h"
#include "report/ReportAudit.h"
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
#include <QShortcut>
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
    buildPages();

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
    // F1: the guide's page for the page shown.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &frmMain::helpForCurrentPage);

    connect(VerticalMenu1, &VerticalMenu::MenuItemClick, this, &frmMain::MenuItemClick);
    connect(pageConfiguration, &frameConfiguration::statusText, this,
            [this](const QString& text) { setStatusText(withNetworkHint(text)); });
    connect(pageConfiguration, &frameConfiguration::showWorkstationDataPageRequested, this,
            [this] { showPage(kWorkstationData); });
    connect(pageCheckWorkstations, &frameCheckWorkstations::serviceChecked, pageWorkstationHealth,
            &frameWorkstationHealth::serviceChecked);
    connect(pageWorkstationHealth, &frameWorkstationHealth::markedChanged, pageConfiguration,
            &frameConfiguration::setMarkedWorkstations);
    // Every scan sees the agent's service on each machine: that is a check too.
    connect(pageConfiguration, &frameConfiguration::serviceChecked, pageWorkstationHealth,
            &frameWorkstationHealth::serviceChecked);
    connect(pageReports, &frameReports::pseudonymisationChanged, this, &frmMain::generateReport);
    connect(pageReports, &frameReports::reportWritten, this,
            [this](const QString& format, const QString& output) {
                if (!m_database)
                    return;
                // The copy exists: a log that cannot take its row is said, not hidden.
                try {
                    recordReport(*m_database, m_shownCriteria, format, m_shownCriteria.pseudonyms != nullptr,
                                 output);
                } catch (const VcError& error) {
                    m_context.feedback.message(
                        QStringLiteral("The audit log could not record this copy of the report: ") +
                            error.description(),
                        Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Warning);
                }
            });
}

frmMain::~frmMain() {
    // Pages hold references to the database; they go first.
    delete pageData;
    pageData = nullptr;
}

// One page of the main window, described once: the name its breadcrumb (and --page) gives it,
// where the navigation bar and the menu bar reach it, how it is built, what showing it does.
struct frmMain::PageEntry {
    QString name;
    int menu;                    // navigation menu holding the page
    int item;                    // its item on that menu; 0 when the bar has none
    const char* menuBarMenu;     // objectName of the menu bar menu listing it
    const char* actionName;      // objectName of its entry there
    QString caption;             // the entry's text
    bool separatorBefore;        // the entry starts a group of that menu
    bool needsDatabase;          // built once the database is open; a placeholder stands in until then
    QWidget* (*build)(frmMain&); // makes the page (and sets the pointer the window's code uses)
    void (*shown)(frmMain&);     // what showing it does besides switching to it; may be null
    const char* help = nullptr;  // its page of the user guide (F1); the contents when null
};

// In stack order; the first page is the one shown before start-up ends.
const QList<frmMain::PageEntry>& frmMain::pageTable() {
    static const QList<PageEntry> table = {
        {kWorkstationData, 1, 1, "mnuFile", "mnuMainWSData", QStringLiteral("Workstation Data"), false, false,
         [](frmMain& w) -> QWidget* {
             return w.pageConfiguration = new frameConfiguration(w.m_context.network, w.m_context.feedback,
                                                                 w.m_context.dialogs, w.pages);
         },
         nullptr, "workstations.html"},
        {kDataRanges, 1, 2, "mnuFile", "mnuMainData", QStringLiteral("Data Ranges"), false, true,
         [](frmMain& w) -> QWidget* {
             w.pageData = new frameData(*w.m_database, w.m_context.feedback, w.pages);
             connect(w.pageAppGroupings, &frameAppGroupings::groupingsChanged, w.pageData,
                     [&w] { w.followDatabase(&frameData::followGroupings); });
             return w.pageData;
         },
         [](frmMain& w) { w.followDatabase(&frameData::followData); }, "data-ranges.html"},
        {kReports, 1, 3, "mnuFile", "mnuMainReports", QStringLiteral("Reports"), false, false,
         [](frmMain& w) -> QWidget* {
             w.pageReports = new frameReports(w.m_context.feedback, w.pages);
             w.pageReports->setSettings(&w.m_context.settings);
             connect(w.pageReports, &frameReports::statusText, &w, &frmMain::setStatusText);
             return w.pageReports;
         },
         [](frmMain& w) { w.generateReport(); }, "reports.html"},
        {QStringLiteral("Application Groupings"), 2, 1, "mnuOptions", "mnuOptionsGroupings",
         QStringLiteral("Application &Groupings"), false, false,
         [](frmMain& w) -> QWidget* {
             return w.pageAppGroupings =
                        new frameAppGroupings(w.m_context.feedback, w.m_context.dialogs, w.pages);
         },
         [](frmMain& w) {
             // The unmatched titles are counted over the days a report would cover now.
             if (w.pageData)
                 w.pageAppGroupings->setTitleRange(w.pageData->startDate(), w.pageData->endDate());
         },
         "groupings.html"},
        {QStringLiteral("Security"), 2, 2, "mnuOptions", "mnuOptionsSecurity", QStringLiteral("&Security"),
         true, false,
         [](frmMain& w) -> QWidget* {
             return w.pageSecurity = new frameSecurity(w.m_context.settings, w.m_context.feedback, w.pages);
         },
         nullptr, "security.html"},
        {QStringLiteral("Privacy"), 2, 3, "mnuOptions", "mnuOptionsPrivacy", QStringLiteral("&Privacy"),
         false, true,
         [](frmMain& w) -> QWidget* {
             return w.pagePrivacy =
                        new framePrivacy(w.m_context.settings, *w.m_database, w.m_context.feedback, w.pages);
         },
         [](frmMain& w) { w.pagePrivacy->load(); }, "privacy.html"},
        {QStringLiteral("Check Workstations"), 3, 1, "mnuTools", "mnuToolsCheck",
         QStringLiteral("&Check Workstations"), false, false,
         [](frmMain& w) -> QWidget* {
             return w.pageCheckWorkstations =
                        new frameCheckWorkstations(w.m_context.network, w.m_context.feedback, w.pages);
         },
         nullptr, "check-workstations.html"},
        {QStringLiteral("Workstation Health"), 3, 3, "mnuTools", "mnuToolsHealth",
         QStringLiteral("Workstation &Health"), false, false,
         [](frmMain& w) -> QWidget* {
             return w.pageWorkstationHealth = new frameWorkstationHealth(
                        w.m_context.network, w.m_context.feedback, w.m_context.settings, w.pages);
         },
         [](frmMain& w) { w.pageWorkstationHealth->refresh(); }, "check-workstations.html"},
        {QStringLiteral("Audit Log"), 3, 4, "mnuTools", "mnuToolsAuditLog", QStringLiteral("&Audit Log"),
         false, true,
         [](frmMain& w) -> QWidget* {
             return w.pageAuditLog = new frameAuditLog(*w.m_database, w.m_context.feedback, w.pages);
         },
         [](frmMain& w) { w.pageAuditLog->refresh(); }, "privacy.html"},
        {QStringLiteral("Vellumcrest Web Site"), 4, 1, "mnuHelp", "mnuHelpVisit",
         QStringLiteral("Vellumcrest &Web Site"), true, false,
         [](frmMain& w) -> QWidget* {
             w.frameWeb = new QWidget(w.pages);
             w.frameWeb->setObjectName(QStringLiteral("frameWeb"));
             w.wbWeb = new QTextBrowser(w.frameWeb);
             w.wbWeb->setObjectName(QStringLiteral("wbWeb"));
             configureExternalLinks(w.wbWeb);
             auto* layout = new QVBoxLayout(w.frameWeb);
             layout->setContentsMargins(0, 0, 0, 0);
             layout->addWidget(w.wbWeb);
             return w.frameWeb;
         },
         [](frmMain& w) {
             w.wbWeb->setSource(QUrl::fromLocalFile(w.htmlPage(QStringLiteral("WebSite.html"))));
             w.repaintNow();
         }},
    };
    return table;
}

const frmMain::PageEntry* frmMain::pageEntry(const QString& name) const {
    for (const PageEntry& entry : pageTable()) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

void frmMain::buildPages() {
    for (const PageEntry& entry : pageTable()) {
        QWidget* frame = nullptr;
        if (entry.needsDatabase) {
            frame = new QWidget(pages);
            frame->setObjectName(QStringLiteral("placeholder ") + entry.name);
        } else {
            frame = entry.build(*this);
        }
        m_pages.append({&entry, frame});
        pages->addWidget(frame);
    }
    pages->setCurrentIndex(0);
}

void frmMain::addPageEntries(QMenu* menu) {
    for (const PageEntry& entry : pageTable()) {
        if (menu->objectName() != QLatin1String(entry.menuBarMenu))
            continue;
        if (entry.separatorBefore)
            menu->addSeparator();
        connect(addCommand(menu, entry.caption, QLatin1String(entry.actionName)), &QAction::triggered, this,
                [this, name = entry.name] { showFromMenuBar(name); });
    }
}

void frmMain::buildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* mnuFile = bar->addMenu(QStringLiteral("&Main"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    addPageEntries(mnuFile);
    connect(addCommand(mnuFile, QStringLiteral("E&xit"), QStringLiteral("mnuFileExit")), &QAction::triggered,
            this, [this] { close(); });

    QMenu* mnuOptions = bar->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    addPageEntries(mnuOptions);

    QMenu* mnuTools = bar->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    addPageEntries(mnuTools);
    mnuTools->addSeparator();
    connect(addCommand(mnuTools, QStringLiteral("&Export Data..."), QStringLiteral("mnuToolsExport")),
            &QAction::triggered, this, &frmMain::exportData);

    QMenu* mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    connect(addCommand(mnuHelp, QStringLiteral("&Contents..."), QStringLiteral("mnuHelpContents")),
            &QAction::triggered, this, &frmMain::helpContents);
    addPageEntries(mnuHelp);
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

QString frmMain::withNetworkHint(const QString& text) const {
    // A scan that found nothing and a download that reached nothing, because nothing can be reached.
    if (m_context.network.configured() || text.isEmpty() || text.endsWith(QLatin1String("...")))
        return text;
    return text + QStringLiteral(" - no network is configured: see Help, \"Monitoring a Windows network\"");
}

QString frmMain::statusText() const {
    return sbPanelStatus->text();
}

QRect keptOnScreen(const QRect& window, int frameTop, const QList<QRect>& screens) {
    if (screens.isEmpty())
        return window;
    // The title bar must be on a screen, or the operator cannot take hold of the window: its
    // top strip has to lie within a screen's free area, wide enough to grab.
    const QRect titleBar(window.left(), window.top() - frameTop, window.width(), std::max(frameTop, 1));
    for (const QRect& screen : screens) {
        const QRect seen = screen.intersected(titleBar);
        if (seen.height() == titleBar.height() && seen.width() >= std::min(100, window.width()))
            return window;
    }
    QRect placed = window;
    const QRect& first = screens.constFirst();
    placed.moveTopLeft(
        QPoint(first.left() + std::max(0, (first.width() - window.width()) / 2),
               first.top() + frameTop + std::max(0, (first.height() - window.height() - frameTop) / 2)));
    return placed;
}

void frmMain::applyStoredPosition() {
    const int left = m_context.settings.mainLeft();
    const int top = m_context.settings.mainTop();
    const double dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
    // The stored point is the window's inside (without its frame), as storePosition writes it:
    // restoring the frame's corner there would move the window by a title bar at every start.
    const QRect wanted(QPoint(twipsToPixels(left, dpi), twipsToPixels(top, dpi)), size());
    QList<QRect> screens;
    for (const QScreen* each : QGuiApplication::screens())
        screens.append(each->availableGeometry());
    setGeometry(keptOnScreen(wanted, std::max(0, geometry().top() - frameGeometry().top()), screens));
}

void frmMain::storePosition() {
    const double dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
    const QPoint inside = geometry().topLeft();
    m_context.settings.storeMainPosition(pixelsToTwips(inside.x(), dpi), pixelsToTwips(inside.y(), dpi));
}

void frmMain::UpdateSnapshotDate() {
    pageConfiguration->setSnapshotDate(snapshotDateText(*m_database));
}

void frmMain::run() {
    Feedback& feedback = m_context.feedback;
    int keepDays = 0;
    try {
        pageReports->showPlaceholder(htmlPage(QStringLiteral("Blank.html")));
        wbWeb->setSource(QUrl::fromLocalFile(htmlPage(QStringLiteral("Empty.html"))));
        setWindowTitle(Captions::titled(QStringLiteral(" Manager")));
        applyStoredPosition();
        // The stored password is a hash: the box starts empty and is only written when edited.
        pageSecurity->load(accountName(), m_context.flags.passwordProtected);
        // Before anything is downloaded: a retention the console cannot read must not let usage
        // in that it would then fail to delete.
        keepDays = m_context.settings.keepDays();
    } catch (const VcError& error) {
        if (error.number() == ErrorNumber::TypeMismatch || error.number() == ErrorNumber::Overflow) {
            feedback.message(error.number() == ErrorNumber::Overflow ? error.description()
                                                                     : corruptedSettingsMessage(),
                             Captions::titled(QStringLiteral(" Manager")), Feedback::Icon::Critical,
                             Feedback::Buttons::Ok);
            close();
        }
        return;
    }

    // From here on, errors go to the start-up error handler.
    m_database = ManagerDatabase::open(m_context.programFolder + QStringLiteral("/Data/VCManager.mdb"));
    pageConfiguration->setDatabase(m_database.get());
    pageAppGroupings->setDatabase(m_database.get());
    pageWorkstationHealth->setDatabase(m_database.get());
    pageSecurity->setDatabase(m_database.get());
    UpdateSnapshotDate();

    const bool firstStart = !m_context.flags.previouslyLoaded;
    if (!firstStart) {
        pageConfiguration->loadTreeFromRegistry();
    } else {
        pageConfiguration->cmdScanNetworkClick();
        m_context.flags.previouslyLoaded = true;
        m_context.settings.storePreviouslyLoaded();
    }

    setStatusText(QStringLiteral("Downloading workstation data..."));
    DownloadSummary outcome;
    std::optional<RetentionOutcome> retention;
    {
        frmDownloadData download(this);
        connect(&download, &frmDownloadData::statusText, this, &frmMain::setStatusText);
        connect(&download, &frmDownloadData::snapshotDateChanged, pageConfiguration,
                &frameConfiguration::setSnapshotDate);
        download.show();
        const QStringList checked = pageConfiguration->checkedWorkstations();
        outcome = download.DownloadData(checked, *m_database, m_context.network, keptFrom(keepDays));
        retention = concludeDownload(*m_database, outcome, int(checked.size()), keepDays);
    }
    repaintNow();

    for (const PageEntry& entry : pageTable()) {
        if (!entry.needsDatabase)
            continue;
        QWidget* placeholder = pageWidget(entry.name);
        replacePage(entry.name, entry.build(*this));
        placeholder->deleteLater();
    }
    pageData->LoadReportCriteria();

    pageAppGroupings->setTitleRange(pageData->startDate(), pageData->endDate());
    pageAppGroupings->LoadGroupings();
    // The download's records are the health rows; their marks go to the tree as well.
    pageWorkstationHealth->refresh();
    showPage(kWorkstationData);
    // What did not come in is said where the operator looks, with the reasons on hover; the
    // first start says what it found as well.
    QString said =
        withNetworkHint(firstStart ? firstStartSummaryText(pageConfiguration->workstationNodeCount(), outcome)
                                   : downloadOutcomeText(outcome));
    if (retention && (retention->counts.usageRows > 0 || !retention->scrubbed))
        said += QStringLiteral(". ") + retentionText(*retention);
    setStatusText(said);
    sbPanelStatus->setToolTip(PlainText::toolTip(downloadOutcomeDetails(outcome)));
}

QWidget* frmMain::pageWidget(const QString& name) const {
    for (const Page& page : m_pages) {
        if (page.entry->name == name)
            return page.frame;
    }
    return nullptr;
}

// Puts frame where the named page is, in the stack and in the page table; nullptr forgets it.
void frmMain::replacePage(const QString& name, QWidget* frame) {
    for (Page& page : m_pages) {
        if (page.entry->name != name)
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
            return page.entry->name;
    }
    return {};
}

void frmMain::showPage(const QString& name) {
    const PageEntry* entry = pageEntry(name);
    pages->setCurrentWidget(pageWidget(name));
    setStatusText(QString());
    PlainText::show(lblTitle, VerticalMenu1->MenuCaption() + QStringLiteral(" -> ") + name);
    repaintNow();
    if (entry->shown)
        entry->shown(*this);
}

void frmMain::followDatabase(void (frameData::*follow)()) {
    if (!pageData)
        return;
    try {
        (pageData->*follow)();
    } catch (const VcError& error) {
        m_context.feedback.message(error.description(), Captions::titled(QStringLiteral(" Manager")),
                                   Feedback::Icon::Critical);
    }
}

// The Reports page makes a new report whenever it is shown.
void frmMain::generateReport() {
    pageReports->showPlaceholder(htmlPage(QStringLiteral("Blank.html")));
    repaintNow();
    if (!pageData || !m_database)
        return;
    // Days another process collected since the page was filled are part of the range.
    followDatabase(&frameData::followData);
    const auto named = [](bool pseudonymised) {
        return pseudonymised ? ReportHeading::Names::Counted : ReportHeading::Names::Shown;
    };
    pageReports->setHeading(pageData->heading(named(pageReports->pseudonymise()),
                                              named(pageReports->pseudonymiseWorkstations())));
    WaitCursor busy;
    ReportCriteria criteria = pageData->criteria();
    if (pageReports->pseudonymise()) {
        // No key, no report: never real names in place of pseudonyms.
        try {
            criteria.pseudonyms = std::make_shared<const Pseudonyms>(
                Pseudonyms::fromKeyFile(m_context.programFolder + QStringLiteral("/Data/pseudonym.key"),
                                        pageReports->pseudonymiseWorkstations()));
            criteria.minimumGroup = m_context.settings.minimumGroup();
        } catch (const VcError& error) {
            pageReports->showFailure(error.description());
            m_context.feedback.message(error.description(),
                                       Captions::titled(QStringLiteral(" Report Generation")),
                                       Feedback::Icon::Critical, Feedback::Buttons::Ok);
            return;
        }
    }
    m_shownCriteria = criteria;
    frmGenerateReport generate(*m_database, criteria, m_context.programFolder, m_context.feedback, this);
    // The page keeps the report's sums: its screen, charts and CSV files all come from them.
    connect(&generate, &frmGenerateReport::pageChosen, pageReports, &frameReports::navigate);
    connect(&generate, &frmGenerateReport::failed, pageReports, &frameReports::showFailure);
    execDialog(generate);
}

void frmMain::showFromMenuBar(const QString& name) {
    VerticalMenu1->setMenuCur(pageEntry(name)->menu);
    showPage(name);
}

bool frmMain::showPageByName(const QString& name) {
    // The Reports page with its charts shown: a view of that page, not a page of its own.
    if (name.compare(QLatin1String("Charts"), Qt::CaseInsensitive) == 0) {
        pageReports->showCharts(true);
        return showPageByName(kReports);
    }
    for (const PageEntry& entry : pageTable()) {
        if (entry.name.compare(name, Qt::CaseInsensitive) == 0) {
            showFromMenuBar(entry.name);
            return true;
        }
    }
    return false;
}

void frmMain::MenuItemClick(short MenuNumber, short MenuItem) {
    for (const PageEntry& entry : pageTable()) {
        if (entry.item > 0 && entry.menu == MenuNumber && entry.item == MenuItem) {
            showPage(entry.name);
            return;
        }
    }
    // The bar's items that run a command rather than show a page.
    if (MenuNumber == 3 && MenuItem == 2)
        exportData();
    else if (MenuNumber == 4 && MenuItem == 2)
        helpContents();
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
        m_context.feedback, *m_database, from, to, [this](const QString& text) { setStatusText(text); }, this,
        &m_context.settings);
}

void frmMain::helpContents() {
    showHelpContentsWindow(this, m_context.programFolder, m_context.feedback);
}

void frmMain::helpForCurrentPage() {
    const PageEntry* entry = pageEntry(currentPageName());
    showHelpContentsWindow(this, m_context.programFolder, m_context.feedback,
                           entry && entry->help ? QString::fromLatin1(entry->help) : QString());
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
        pageSecurity->setDatabase(nullptr);
        replacePage(kDataRanges, nullptr);
        delete pageData;
        pageData = nullptr;
        // The other pages built on the database go with it.
        replacePage(QStringLiteral("Privacy"), nullptr);
        delete pagePrivacy;
        pagePrivacy = nullptr;
        replacePage(QStringLiteral("Audit Log"), nullptr);
        delete pageAuditLog;
        pageAuditLog = nullptr;
        m_database.reset();
    }
    event->accept();
}
