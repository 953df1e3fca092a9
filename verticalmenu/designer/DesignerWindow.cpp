// Design tool window: file handling, page hosting and the live preview.
#include "verticalmenu/designer/DesignerWindow.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "verticalmenu/model/PropertyBag.h"
#include "verticalmenu/pages/Menues.h"
#include "verticalmenu/pages/MenuItemObjects.h"
#include "verticalmenu/pages/MenuObjects.h"
#include "verticalmenu/VerticalMenu.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
const QString kFilter = QStringLiteral("VerticalMenu Designs (*.vmenu)|*.vmenu|All Files (*)|*");
}

DesignerWindow::DesignerWindow(Feedback& feedback, QWidget* parent)
    : QMainWindow(parent), m_feedback(feedback) {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);

    m_control = new VerticalMenu(feedback, Captions::kProduct, central);
    m_control->setObjectName(QStringLiteral("VerticalMenu1"));
    m_control->setFixedSize(110, 500);
    row->addWidget(m_control, 0, Qt::AlignTop);

    auto* side = new QVBoxLayout;
    m_tabs = new QTabWidget(central);
    m_menues = new Menues(feedback, m_tabs);
    m_menuObjects = new MenuObjects(m_tabs);
    m_menuItemObjects = new MenuItemObjects(feedback, m_tabs);
    m_tabs->addTab(m_menues, QStringLiteral("Menues"));
    m_tabs->addTab(m_menuObjects, QStringLiteral("MenuObjects"));
    m_tabs->addTab(m_menuItemObjects, QStringLiteral("MenuItemObjects"));
    side->addWidget(m_tabs);

    m_apply = new QPushButton(QStringLiteral("&Apply"), central);
    m_apply->setObjectName(QStringLiteral("cmdApply"));
    m_apply->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    m_lastClick = new QLabel(central);
    m_lastClick->setObjectName(QStringLiteral("lblLastClick"));
    buttons->addWidget(m_lastClick, 1);
    buttons->addWidget(m_apply);
    side->addLayout(buttons);
    row->addLayout(side, 1);
    setCentralWidget(central);

    const QList<PropertyPage*> pages{m_menues, m_menuObjects, m_menuItemObjects};
    for (PropertyPage* page : pages) {
        page->setSelectedControls({m_control});
        connect(page, &PropertyPage::changedChanged, this, [this, pages] {
            bool any = false;
            for (PropertyPage* p : pages)
                any = any || p->Changed();
            m_apply->setEnabled(any);
        });
    }
    connect(m_apply, &QPushButton::clicked, this, &DesignerWindow::apply);
    // Clicking a menu button on the live control opens that menu; the pages follow unless
    // they hold edits not yet applied.
    connect(m_control, &VerticalMenu::propertyChanged, this, [this] {
        if (!m_applying)
            refreshPages();
    });
    connect(m_control, &VerticalMenu::MenuItemClick, this, [this](short menu, short item) {
        m_lastClick->setText(QStringLiteral("MenuItemClick(%1, %2)").arg(menu).arg(item));
    });

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open..."), QKeySequence::Open, this, &DesignerWindow::chooseAndOpen);
    file->addAction(QStringLiteral("Open &Main Window Bar"), this, [this] {
        if (confirmDiscard())
            openMainWindowBar();
    });
    file->addAction(QStringLiteral("&Save"), QKeySequence::Save, this, [this] {
        if (m_path.isEmpty() || m_path.startsWith(QLatin1Char(':')))
            chooseAndSave();
        else
            saveFile(m_path);
    });
    file->addAction(QStringLiteral("Save &As..."), QKeySequence::SaveAs, this,
                    &DesignerWindow::chooseAndSave);
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), QKeySequence::Quit, this, &QWidget::close);
    updateTitle();
    markSaved();
}

QByteArray DesignerWindow::design() const {
    PropertyBag bag;
    m_control->WriteProperties(bag);
    PropertyBag kept;
    for (const PropertyBag::Entry& entry : bag.entries())
        if (entry.name.compare(QLatin1String("MenuCur"), Qt::CaseInsensitive) != 0)
            kept.write(entry.name, entry.value, QVariant());
    return kept.toJson();
}

void DesignerWindow::markSaved() {
    m_savedDesign = design();
}

bool DesignerWindow::hasUnsavedChanges() const {
    for (const PropertyPage* page : QList<const PropertyPage*>{m_menues, m_menuObjects, m_menuItemObjects})
        if (page->Changed())
            return true;
    return design() != m_savedDesign;
}

bool DesignerWindow::confirmDiscard() {
    if (!hasUnsavedChanges())
        return true;
    return m_feedback.message(
               QStringLiteral("The navigation bar has changes that are not saved. Discard them?"),
               Captions::titled(QStringLiteral(" Menu Designer")), Feedback::Icon::Warning,
               Feedback::Buttons::YesNo) == Feedback::Answer::Yes;
}

void DesignerWindow::closeEvent(QCloseEvent* event) {
    if (confirmDiscard())
        event->accept();
    else
        event->ignore();
}

void DesignerWindow::refreshPages() {
    for (PropertyPage* page : QList<PropertyPage*>{m_menues, m_menuObjects, m_menuItemObjects}) {
        if (!page->Changed())
            page->SelectionChanged();
    }
}

void DesignerWindow::apply() {
    m_applying = true;
    for (PropertyPage* page : QList<PropertyPage*>{m_menues, m_menuObjects, m_menuItemObjects}) {
        if (page->Changed())
            page->ApplyChanges();
    }
    m_applying = false;
    refreshPages();
}

bool DesignerWindow::openFile(const QString& path) {
    QString error;
    if (!m_control->loadFile(path, &error)) {
        m_feedback.message(QStringLiteral("Unable to open ") + path + QStringLiteral(": ") + error,
                           Captions::titled(QStringLiteral(" Menu Designer")), Feedback::Icon::Critical);
        return false;
    }
    m_path = path;
    refreshPages();
    updateTitle();
    markSaved();
    return true;
}

bool DesignerWindow::saveFile(const QString& path) {
    QString error;
    if (!m_control->saveFile(path, &error)) {
        m_feedback.message(QStringLiteral("Unable to save ") + path + QStringLiteral(": ") + error,
                           Captions::titled(QStringLiteral(" Menu Designer")), Feedback::Icon::Critical);
        return false;
    }
    m_path = path;
    updateTitle();
    markSaved();
    return true;
}

void DesignerWindow::openMainWindowBar() {
    openFile(VerticalMenu::mainWindowBarResource());
}

void DesignerWindow::chooseAndOpen() {
    Feedback::FileDialog dialog;
    dialog.title = QStringLiteral("Open Navigation Bar");
    dialog.filter = kFilter;
    if (!confirmDiscard())
        return;
    if (const auto path = m_feedback.openFileName(dialog))
        openFile(*path);
}

void DesignerWindow::chooseAndSave() {
    Feedback::FileDialog dialog;
    dialog.title = QStringLiteral("Save Navigation Bar");
    dialog.filter = kFilter;
    dialog.defaultSuffix = QStringLiteral("vmenu");
    dialog.confirmOverwrite = true;
    if (const auto path = m_feedback.saveFileName(dialog))
        saveFile(*path);
}

void DesignerWindow::updateTitle() {
    const QString name = m_path.isEmpty() ? QStringLiteral("(new)") : QFileInfo(m_path).fileName();
    setWindowTitle(Captions::titled(QStringLiteral(" Menu Designer")) + QStringLiteral(" - ") + name);
}
