// Scroll arrow drawing and its press/release state.
#include "verticalmenu/model/Arrow.h"

void Arrow::Reset() {
    m_pressed = false;
    m_isDisplayed = false;
}

void Arrow::Show(bool, int& MenusAtTop, int MenusAtBottom, int) {
    if (!m_parent || !m_parent->isVisible())
        return;
    const int w = m_parent->width();
    const int h = m_parent->height();
    m_rect.left = MenuGeometry::arrowLeft(w);
    if (isUp()) {
        if (MenusAtTop == 0) {
            m_rect.left = 0;
            return;
        }
        m_rect.top = MenuGeometry::upArrowTop(MenusAtTop, m_buttonHeight);
    } else {
        m_rect.top = MenuGeometry::downArrowTop(h, MenusAtBottom, m_buttonHeight);
    }
    m_rect.right = m_rect.left + MenuGeometry::kArrowSize;
    m_rect.bottom = m_rect.top + MenuGeometry::kArrowSize;
    m_isDisplayed = true;
    DrawBorder(1);
}

void Arrow::Hide() {
    if (!m_isDisplayed)
        return;
    if (m_parent)
        m_parent->fillRect(QRect(m_rect.left, m_rect.top, m_rect.width(), m_rect.height()),
                           Surface::Colour::ButtonShadow);
    m_isDisplayed = false;
}

bool Arrow::HitTest(short kind, int x, int y) {
    if (!m_isDisplayed)
        return false;
    if (m_rect.contains(x, y)) {
        if (kind == -1) {
            if (m_drawnState != -1)
                DrawBorder(-1);
            m_pressed = true;
        } else if (kind == 0) {
            if (m_pressed && m_drawnState == 1)
                DrawBorder(-1);
        } else if (kind == 1) {
            if (m_drawnState == -1)
                DrawBorder(1);
            m_pressed = false;
        }
        return true;
    }
    if (kind == -1) {
        if (m_drawnState == -1)
            DrawBorder(1);
        m_pressed = false;
    } else if (kind == 1) {
        m_pressed = false;
    } else if (kind == 0) {
        if (m_drawnState == -1)
            DrawBorder(1);
    }
    return false;
}

void Arrow::DrawBorder(int state) {
    if (!m_isDisplayed || !m_parent)
        return;
    const QRect box(m_rect.left, m_rect.top, m_rect.width(), m_rect.height());
    if (state == -1) {
        // Pressed: the picture moves one pixel towards the lower right, as a pushed button's face does.
        m_parent->drawPicture(m_bitmap, m_rect.left + 1, m_rect.top + 1, m_rect.width() - 1,
                              m_rect.height() - 1);
        m_parent->drawEdge(box, Surface::Sunken, Surface::AllSides);
    } else if (state == 1) {
        m_parent->drawPicture(m_bitmap, m_rect.left, m_rect.top);
        m_parent->drawEdge(box, Surface::Raised, Surface::AllSides);
    } else {
        return;
    }
    m_drawnState = state;
}
