// The menu list page.
#include "verticalmenu/pages/Menues.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "verticalmenu/VerticalMenu.h"

#include <QAction>
#include <QFormLayout>
#include <QLineEdit>
#include <QToolBar>
#include <QVBoxLayout>

Menues::Menues(Feedback& feedback, QWidget* parent) : PropertyPage(parent), m_feedback(feedback) {
    setObjectName(QStringLiteral("Menues"));
    setWindowTitle(QStringLiteral("Menues"));
    auto* layout = new QVBoxLayout(this);
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    QAction* viewDetails = Toolbar1->addAction(QStringLiteral("View Details"));
    viewDetails->setObjectName(QStringLiteral("View Details"));
    connect(viewDetails, &QAction::triggered, this, [this] {
        m_feedback.message(QStringLiteral("Add 'View Details' button code."), Captions::kProduct,
                           Feedback::Icon::None, Feedback::Buttons::Ok);
    });
    layout->addWidget(Toolbar1);
    auto* form = new QFormLayout;
    txtMenuStartup = addField(form, QStringLiteral("txtMenuStartup"), QStringLiteral("MenuStartup:"));
    txtMenusMax = addField(form, QStringLiteral("txtMenusMax"), QStringLiteral("MenusMax:"));
    txtMenuCur = addField(form, QStringLiteral("txtMenuCur"), QStringLiteral("MenuCur:"));
    layout->addLayout(form);
    layout->addStretch();
}

void Menues::SelectionChanged() {
    if (VerticalMenu* c = control()) {
        txtMenuStartup->setText(QString::number(c->MenuStartup()));
        txtMenusMax->setText(QString::number(c->MenusMax()));
        txtMenuCur->setText(QString::number(c->MenuCur()));
    }
    setChanged(false);
}

void Menues::ApplyChanges() {
    VerticalMenu* c = control();
    if (!c)
        return;
    if (const auto v = toLong(txtMenuStartup->text()))
        c->setMenuStartup(*v);
    if (const auto v = toLong(txtMenusMax->text()))
        c->setMenusMax(*v);
    if (const auto v = toLong(txtMenuCur->text()))
        c->setMenuCur(*v);
    setChanged(false);
}
