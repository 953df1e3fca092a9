// Property page for the current item of the open menu: caption, picture, key and tag.
#pragma once

#include "verticalmenu/pages/PropertyPage.h"

#include <QImage>

class Feedback;
class QLabel;
class QPushButton;

class MenuItemObjects : public PropertyPage {
    Q_OBJECT
public:
    explicit MenuItemObjects(Feedback& feedback, QWidget* parent = nullptr);

    void SelectionChanged() override;
    void ApplyChanges() override;

    // The picture the page holds for MenuItemIcon.
    QImage picture() const { return m_picture; }

public slots:
    void cmdBrowse_Click();

private:
    void showPicture();

    Feedback& m_feedback;
    QLineEdit* txtMenuItemCaption = nullptr;
    QLabel* imgPicture = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QLineEdit* txtMenuItemKey = nullptr;
    QLineEdit* txtMenuItemTag = nullptr;
    QImage m_picture;
};
