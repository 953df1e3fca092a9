// A scroll arrow of one menu: shown when the items do not fit, pressed and released like a button.
#pragma once

#include "verticalmenu/model/MenuGeometry.h"
#include "verticalmenu/model/Surface.h"

class Arrow {
public:
    static constexpr short kUp = 1;
    static constexpr short kDown = -1;

    void setBitmap(const Picture& bitmap) { m_bitmap = bitmap; }
    const Picture& Bitmap() const { return m_bitmap; }
    void setParent(Surface* parent) { m_parent = parent; }
    void setArrowType(short type) { m_arrowType = type; }
    short ArrowType() const { return m_arrowType; }
    void setButtonHeight(int height) { m_buttonHeight = height; }
    bool IsDisplayed() const { return m_isDisplayed; }

    // Forgets a press and the displayed mark.
    void Reset();

    // Places and draws the arrow raised. The first argument is unused by the arrow.
    void Show(bool flag, int& MenusAtTop, int MenusAtBottom, int TotalMenus);
    void Hide();
    bool HitTest(short kind, int x, int y);
    void DrawBorder(int state);

    const MenuGeometry::Rect& rect() const { return m_rect; }
    int drawnState() const { return m_drawnState; }
    bool pressed() const { return m_pressed; }

private:
    bool isUp() const { return m_arrowType == kUp; }

    Picture m_bitmap;
    Surface* m_parent = nullptr;
    bool m_isDisplayed = false;
    MenuGeometry::Rect m_rect;
    short m_arrowType = kDown;
    int m_buttonHeight = MenuGeometry::kButtonHeight;
    int m_drawnState = 1;
    bool m_pressed = false;
};
