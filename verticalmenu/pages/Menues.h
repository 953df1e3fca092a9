// Property page for the menu list: MenuStartup, MenusMax, MenuCur.
#pragma once

#include "verticalmenu/pages/PropertyPage.h"

class Feedback;
class QToolBar;

class Menues : public PropertyPage {
    Q_OBJECT
public:
    explicit Menues(Feedback& feedback, QWidget* parent = nullptr);

    void SelectionChanged() override;
    void ApplyChanges() override;

private:
    Feedback& m_feedback;
    QToolBar* Toolbar1 = nullptr;
    QLineEdit* txtMenuStartup = nullptr;
    QLineEdit* txtMenusMax = nullptr;
    QLineEdit* txtMenuCur = nullptr;
};
