// The hourglass pointer for the length of one piece of long work, restored however it ends.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

class WaitCursor {
public:
    // With a window, it is repainted on both changes so the pointer shows at once.
    explicit WaitCursor(QWidget* window = nullptr) : m_window(window) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        repaint();
    }
    ~WaitCursor() {
        QApplication::restoreOverrideCursor();
        repaint();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    void repaint() {
        if (!m_window)
            return;
        m_window->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    QPointer<QWidget> m_window;
};
