// One menu of the navigation bar: its button, its items and its two scroll arrows.
#pragma once

#include "verticalmenu/model/Arrow.h"
#include "verticalmenu/model/MenuItems.h"

class VMenu {
public:
    VMenu();

    const QString& Caption() const { return m_caption; }
    void setCaption(const QString& caption) { m_caption = caption; }
    int Index() const { return m_index; }
    void setIndex(int index) { m_index = index; }
    Surface* Control() const { return m_control; }
    void setControl(Surface* control);
    void setImageCache(Surface* cache) { m_imageCache = cache; }
    int ButtonHeight() const { return m_buttonHeight; }
    void setButtonHeight(int height);
    void setUpBitmap(const Picture& picture) { m_upArrow.setBitmap(picture); }
    void setDownBitmap(const Picture& picture) { m_downArrow.setBitmap(picture); }
    // Reading a scroll position of 0 gives 1; setting 0 is ignored.
    int TopMenuItem();
    void setTopMenuItem(int top);
    MenuItems& menuItems() { return m_items; }
    const MenuItems& menuItems() const { return m_items; }

    MenuItem* AddMenuItem(const QString& sCaption, int lMenuItemlIndex, const Picture& picIcon);
    void DeleteMenuItem(int index) { m_items.Delete(index); }
    int MenuItemCount() const { return m_items.Count(); }
    MenuItem* MenuItemItem(int index) const { return m_items.Item(index); }

    int ButtonTop() const { return m_buttonRect.top; }
    // Places the button across the whole surface width with its top at lOffset.
    void setButtonTop(int lOffset);
    const MenuGeometry::Rect& buttonRect() const { return m_buttonRect; }
    bool IsMenuSelected(int ptX, int ptY) const { return m_buttonRect.contains(ptX, ptY); }
    // 1 hides the up arrow, anything else the down arrow.
    void HideButton(int iThisButton);

    void PaintItems(int lIconStart, int& lMenuCur, int lClipY, int& lMax);
    // 100 when the up arrow was clicked, -100 for the down arrow, otherwise 0.
    int MouseProcessForArrows(short kind, int x, int y);

    const Arrow& upArrow() const { return m_upArrow; }
    const Arrow& downArrow() const { return m_downArrow; }

private:
    QString m_caption;
    int m_index = 0;
    Surface* m_control = nullptr;
    Surface* m_imageCache = nullptr;
    int m_buttonHeight = MenuGeometry::kButtonHeight;
    MenuItems m_items;
    Arrow m_upArrow;
    Arrow m_downArrow;
    MenuGeometry::Rect m_buttonRect;
    int m_topMenuItem = 1;
    int m_upMouseState = 1;
    int m_downMouseState = 1;
};
