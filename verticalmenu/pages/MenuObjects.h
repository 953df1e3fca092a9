// Property page for the open menu: MenuItemsMax, MenuItemCur, MenuCaption.
#pragma once

#include "verticalmenu/pages/PropertyPage.h"

class MenuObjects : public PropertyPage {
    Q_OBJECT
public:
    explicit MenuObjects(QWidget* parent = nullptr);

    void SelectionChanged() override;
    void ApplyChanges() override;

private:
    QLineEdit* txtMenuItemsMax = nullptr;
    QLineEdit* txtMenuItemCur = nullptr;
    QLineEdit* txtMenuCaption = nullptr;
};
