// The navigation bar control: menu buttons, the open menu's icon items, scroll arrows, and
// the properties that are saved and loaded with a window's design.
#pragma once

#include "verticalmenu/model/ImageSurface.h"
#include "verticalmenu/model/Menus.h"

#include <chrono>
#include <functional>
#include <memory>
#include <QImage>
#include <QList>
#include <QWidget>

class Feedback;
class PropertyBag;

class VerticalMenu : public QWidget {
    Q_OBJECT
public:
    // Creates a new instance: one menu "Menu1" with one item "Item". Range errors of the
    // properties beep and show their message through feedback.
    // messageCaption titles the range messages the control shows; its creator names it.
    VerticalMenu(Feedback& feedback, QString messageCaption, QWidget* parent = nullptr);
    ~VerticalMenu() override;

    // Loads the main window's navigation bar (four menus with their items and icons).
    bool loadMainWindowBar(QString* error = nullptr);
    // Resource path of the main window's saved bar.
    static QString mainWindowBarResource();

    // Loads a saved property file (JSON) as the design environment would; false on a broken file.
    bool loadFile(const QString& path, QString* error = nullptr);
    bool saveFile(const QString& path, QString* error = nullptr);

    // Saving and loading the design; loading always ends with MenuStartup open.
    void WriteProperties(PropertyBag& bag);
    void ReadProperties(const PropertyBag& bag);
    // A newly placed control's values.
    void InitProperties();

    int MenusMax() const { return m_menusMax; }
    void setMenusMax(int value);
    int MenuCur() const { return m_menuCur; }
    void setMenuCur(int value);
    int MenuStartup() const { return m_menuStartup; }
    void setMenuStartup(int value);
    QString MenuCaption() const { return m_menuCaption; }
    void setMenuCaption(const QString& value);
    QString MenuItemCaption();
    void setMenuItemCaption(const QString& value);
    QImage MenuItemIcon() const;
    void setMenuItemIcon(const QImage& value);
    QString MenuItemPictureURL() const;
    void setMenuItemPictureURL(const QString& value);
    QString MenuItemKey() const;
    void setMenuItemKey(const QString& value);
    QString MenuItemTag() const;
    void setMenuItemTag(const QString& value);
    int MenuItemsMax() const { return m_menuItemsMax; }
    void setMenuItemsMax(int value);
    int MenuItemCur() const { return m_menuItemCur; }
    void setMenuItemCur(int value);

    // Held and saved; they change nothing in the bar's behaviour.
    int WhatsThisHelpID() const { return m_whatsThisHelpId; }
    void setWhatsThisHelpID(int value);
    QString ToolTipText() const { return m_toolTipText; }
    void setToolTipText(const QString& value);
    short MousePointer() const { return m_mousePointer; }
    void setMousePointer(short value);
    // Named apart from QWidget::setEnabled, which does change behaviour.
    bool Enabled() const { return m_enabled; }
    void setEnabledProperty(bool value);
    bool ClipControls() const { return m_clipControls; }
    void setClipControls(bool value);
    bool AutoRedraw() const { return m_autoRedraw; }

    void Refresh();
    void SetupCache();

    // Whether item pictures are saved in the design itself (true on the program's own windows)
    // or as paths fetched when loading. The probe runs when the control initialises or loads.
    void setHostProbe(std::function<bool()> probe) { m_hostProbe = std::move(probe); }
    bool picturesEmbedded() const { return m_picturesEmbedded; }

    // Pause after each animation step (menu change: one pixel; scrolling: two pixels). Zero
    // runs the animations without showing their steps, ending in the same picture.
    void setAnimationDelays(std::chrono::microseconds menuChangeStep, std::chrono::microseconds scrollStep);

    QSize sizeHint() const override { return QSize(110, 500); }

    // The drawing surface and the image cache, for the bar's owner to grab and for tests.
    const QImage& picMenu() const { return m_picMenu.image(); }
    const QImage& picCache() const { return m_picCache.image(); }
    const Menus& menus() const { return *m_menus; }

    // Arrival of a picture loaded asynchronously for MenuItemPictureURL; name is MenuCur
    // followed by MenuItemCur at the time the load was started ("210": menu 2, item 10).
    void AsyncReadComplete(const QString& name, const QImage& picture);

signals:
    // An item of the open menu was clicked (pressed and released on it).
    void MenuItemClick(short MenuNumber, short MenuItem);
    // A property was assigned; the design environment marks it changed.
    void propertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void openMenu(int number);
    void rangeError(const QString& text);
    void repaintMenu();
    // Runs work that may animate (a menu change, a scroll): repaints and picture loads that
    // arrive meanwhile wait until it ends, then run once.
    void animate(const std::function<void()>& work);
    void mouse(short kind, int x, int y, int& hitType, int& hit);
    void redrawFromScratch();
    void press(int x, int y);
    void animationStep(bool scrolling);
    VMenu* openMenuObject() const;
    MenuItem* currentItem() const;
    void runHostProbe();
    void applyPalette();
    void sizeSurfaces();

    Feedback& m_feedback;
    QString m_messageCaption;
    ImageSurface m_picMenu;
    ImageSurface m_picCache;
    QImage m_imgUp;
    QImage m_imgDown;
    std::unique_ptr<Menus> m_menus;

    int m_menusMax = 0;
    int m_menuCur = 0;
    int m_menuStartup = 0;
    QString m_menuCaption;
    int m_menuItemsMax = 0;
    int m_menuItemCur = 0;
    QString m_menuItemCaption;
    bool m_paintingSuspended = false;
    bool m_pictureLoadInProgress = false;
    bool m_picturesEmbedded = true;
    QImage m_keptBackground;
    int m_whatsThisHelpId = 0;
    QString m_toolTipText;
    short m_mousePointer = 0;
    bool m_enabled = false;
    bool m_autoRedraw = false;
    bool m_clipControls = false;

    std::function<bool()> m_hostProbe;
    std::chrono::microseconds m_menuChangeDelay{600};
    std::chrono::microseconds m_scrollDelay{5000};
    bool m_animating = false;
    bool m_repaintPending = false;
    QList<QPair<QString, QImage>> m_pendingPictures;
};
