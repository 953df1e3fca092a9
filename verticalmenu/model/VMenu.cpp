// A menu's items, arrows and button rectangle.
#include "verticalmenu/model/VMenu.h"

VMenu::VMenu() {
    m_upArrow.setArrowType(Arrow::kUp);
    m_downArrow.setArrowType(Arrow::kDown);
}

void VMenu::setControl(Surface* control) {
    m_control = control;
    m_upArrow.setParent(control);
    m_downArrow.setParent(control);
}

void VMenu::setButtonHeight(int height) {
    m_buttonHeight = height;
    m_upArrow.setButtonHeight(height);
    m_downArrow.setButtonHeight(height);
}

int VMenu::TopMenuItem() {
    if (m_topMenuItem == 0)
        m_topMenuItem = 1;
    return m_topMenuItem;
}

void VMenu::setTopMenuItem(int top) {
    if (top != 0)
        m_topMenuItem = top;
}

MenuItem* VMenu::AddMenuItem(const QString& sCaption, int lMenuItemlIndex, const Picture& picIcon) {
    MenuItem* item = m_items.Add(sCaption, lMenuItemlIndex, m_buttonHeight, picIcon);
    item->setParent(m_control);
    item->setCache(m_imageCache);
    return item;
}

void VMenu::setButtonTop(int lOffset) {
    const int width = m_control ? m_control->width() : 0;
    m_buttonRect = {0, lOffset, width, lOffset + m_buttonHeight};
}

void VMenu::HideButton(int iThisButton) {
    if (iThisButton == 1)
        m_upArrow.Hide();
    else
        m_downArrow.Hide();
}

void VMenu::PaintItems(int lIconStart, int& lMenuCur, int lClipY, int& lMax) {
    int top = TopMenuItem();
    const bool complete = m_items.Paint(top, lIconStart, lMenuCur, lClipY);
    if (complete) {
        m_downArrow.Hide();
    } else {
        int unusedTop = 0;
        m_downArrow.Show(true, unusedTop, lMax - lMenuCur + 1, lMax);
    }
    if (top < 2) {
        m_upArrow.Hide();
    } else {
        int menusAtTop = lMenuCur;
        m_upArrow.Show(true, menusAtTop, 0, lMax);
    }
}

int VMenu::MouseProcessForArrows(short kind, int x, int y) {
    int result = 0;
    struct Pass {
        Arrow& arrow;
        int& state;
        int clicked;
    };
    Pass passes[] = {{m_downArrow, m_downMouseState, -100}, {m_upArrow, m_upMouseState, 100}};
    for (Pass& pass : passes) {
        if (pass.arrow.HitTest(kind, x, y)) {
            if (kind == 1) {
                if (pass.state == -1)
                    result = pass.clicked;
                pass.state = 1;
            } else if (kind == -1) {
                pass.state = -1;
            } else if (pass.state != -1) {
                pass.state = 0;
            }
        } else if (kind == 1) {
            pass.state = 1;
        }
    }
    return result;
}
