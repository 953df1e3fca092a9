// The open menu's page.
#include "verticalmenu/pages/MenuObjects.h"

#include "verticalmenu/VerticalMenu.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

MenuObjects::MenuObjects(QWidget* parent) : PropertyPage(parent) {
    setObjectName(QStringLiteral("MenuObjects"));
    setWindowTitle(QStringLiteral("MenuObjects"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    txtMenuItemsMax = addField(form, QStringLiteral("txtMenuItemsMax"), QStringLiteral("MenuItemsMax:"));
    txtMenuItemCur = addField(form, QStringLiteral("txtMenuItemCur"), QStringLiteral("MenuItemCur:"));
    txtMenuCaption = addField(form, QStringLiteral("txtMenuCaption"), QStringLiteral("MenuCaption:"));
    layout->addLayout(form);
    layout->addStretch();
}

void MenuObjects::SelectionChanged() {
    if (VerticalMenu* c = control()) {
        txtMenuItemsMax->setText(QString::number(c->MenuItemsMax()));
        txtMenuItemCur->setText(QString::number(c->MenuItemCur()));
        txtMenuCaption->setText(c->MenuCaption());
    }
    setChanged(false);
}

void MenuObjects::ApplyChanges() {
    VerticalMenu* c = control();
    if (!c)
        return;
    if (const auto v = toLong(txtMenuItemsMax->text()))
        c->setMenuItemsMax(*v);
    if (const auto v = toLong(txtMenuItemCur->text()))
        c->setMenuItemCur(*v);
    c->setMenuCaption(txtMenuCaption->text());
    setChanged(false);
}
