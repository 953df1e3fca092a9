// Captured-titles picker: lists MGRAppTitles alphabetically and writes the picked ones in one unit.
#include "groupings/frmCapturedTitles.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/TextUtils.h"
#include "base/VcError.h"
#include "groupings/GroupingsStore.h"

#include <algorithm>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

frmCapturedTitles::frmCapturedTitles(ManagerDatabase& database, Feedback& feedback, const QString& alias,
                                     QWidget* parent)
    : QDialog(parent), m_database(database), m_feedback(feedback) {
    setObjectName(QStringLiteral("frmCapturedTitles"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("Application Grouping:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    lblAppGrouping = new QLabel(this);
    lblAppGrouping->setObjectName(QStringLiteral("lblAppGrouping"));
    lblAppGrouping->setTextFormat(Qt::PlainText);
    QFont bold = lblAppGrouping->font();
    bold.setBold(true);
    lblAppGrouping->setFont(bold);
    Label2 = new QLabel(QStringLiteral("Select Window Titles:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    lstWindowTitles = new QListWidget(this);
    lstWindowTitles->setObjectName(QStringLiteral("lstWindowTitles"));
    lstWindowTitles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    OKButton->setEnabled(false);
    OKButton->setDefault(true);

    auto* aliasRow = new QHBoxLayout;
    aliasRow->addWidget(Label1);
    aliasRow->addWidget(lblAppGrouping, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(aliasRow);
    layout->addWidget(Label2);
    layout->addWidget(lstWindowTitles, 1);
    layout->addLayout(buttons);
    resize(460, 380);

    connect(lstWindowTitles, &QListWidget::itemSelectionChanged, this,
            [this] { OKButton->setEnabled(!lstWindowTitles->selectedItems().isEmpty()); });
    connect(OKButton, &QPushButton::clicked, this, [this] {
        writePicked();
        accept();
    });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    load(!alias.isEmpty());
    lblAppGrouping->setText(alias);
}

void frmCapturedTitles::load(bool aliasSelected) {
    setWindowTitle(Captions::titled(QStringLiteral(" Window Titles")));
    if (!aliasSelected)
        return;
    QStringList titles;
    try {
        titles = GroupingsStore(m_database).capturedTitles();
    } catch (const VcError& error) {
        m_feedback.message(error.description(), windowTitle(), Feedback::Icon::Critical);
        return;
    }
    // Alphabetical without regard to letter case; the exact spelling breaks ties so the order
    // does not depend on the order of download.
    std::sort(titles.begin(), titles.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    lstWindowTitles->addItems(titles);
    OKButton->setEnabled(false);
}

void frmCapturedTitles::writePicked() {
    QStringList picked;
    for (int i = 0; i < lstWindowTitles->count(); ++i) {
        if (lstWindowTitles->item(i)->isSelected())
            picked.append(BlankQuotes(lstWindowTitles->item(i)->text()));
    }
    if (picked.isEmpty())
        return;
    try {
        GroupingsStore(m_database).addTitles(lblAppGrouping->text(), picked);
    } catch (const VcError& error) {
        m_feedback.message(QStringLiteral("The window titles could not be saved.\n\nError #%1: %2")
                               .arg(error.number())
                               .arg(error.description()),
                           windowTitle(), Feedback::Icon::Critical);
    }
}
