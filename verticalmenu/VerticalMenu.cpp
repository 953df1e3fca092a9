// The navigation bar control: properties, persistence, image cache and mouse routing.
#include "verticalmenu/VerticalMenu.h"

#include "base/Feedback.h"
#include "verticalmenu/model/PropertyBag.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <thread>

namespace {
// A new or resized cache holds the button face and the background row until SetupCache runs.
constexpr int kInitialCacheHeight = 69;

QString number(int value) {
    return QString::number(value);
}

QByteArray toPng(const QImage& image) {
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage fromPng(const QByteArray& bytes) {
    QImage image;
    if (!bytes.isEmpty())
        image.loadFromData(bytes, "PNG");
    return image;
}

Picture toPicture(const QImage& image) {
    return image.isNull() ? Picture() : Picture::fromValue(image);
}

QImage fromPicture(const Picture& picture) {
    return picture.canConvert<QImage>() ? picture.value<QImage>() : QImage();
}

// A local file path or file URL; other addresses cannot be fetched by the console.
QString localPath(const QString& location) {
    const QUrl url(location);
    if (url.isLocalFile())
        return url.toLocalFile();
    if (url.scheme().size() > 1)
        return {};
    return location;
}
} // namespace

// Resources of a static library must be registered by a call from inside the library.
static void initVerticalMenuResources() {
    Q_INIT_RESOURCE(verticalmenu);
}

VerticalMenu::VerticalMenu(Feedback& feedback, QString messageCaption, QWidget* parent)
    : QWidget(parent), m_feedback(feedback), m_messageCaption(std::move(messageCaption)),
      m_menus(std::make_unique<Menus>()) {
    initVerticalMenuResources();
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_imgUp = QImage(QStringLiteral(":/verticalmenu/arrows/up.png"));
    m_imgDown = QImage(QStringLiteral(":/verticalmenu/arrows/down.png"));
    m_picMenu.setVisibleProbe([this] { return isVisible(); });
    applyPalette();
    m_menus->setMenu(&m_picMenu);
    m_menus->setCache(&m_picCache);
    m_menus->setAnimationStep([this](bool scrolling) { animationStep(scrolling); });
    sizeSurfaces();
    InitProperties();
}

VerticalMenu::~VerticalMenu() = default;

QString VerticalMenu::mainWindowBarResource() {
    return QStringLiteral(":/verticalmenu/MainBar.vmenu");
}

bool VerticalMenu::loadMainWindowBar(QString* error) {
    initVerticalMenuResources();
    return loadFile(mainWindowBarResource(), error);
}

bool VerticalMenu::loadFile(const QString& path, QString* error) {
    PropertyBag bag;
    if (!bag.loadFile(path, error))
        return false;
    // A loaded design replaces the control's content, as a freshly created control would.
    m_paintingSuspended = true;
    for (int m = m_menus->Count(); m >= 1; --m)
        m_menus->Delete(m);
    m_menusMax = 0;
    m_menuCur = 0;
    m_menus->setMenuCur(0);
    m_menus->forgetLastPainted();
    m_picMenu.clear();
    ReadProperties(bag);
    return true;
}

bool VerticalMenu::saveFile(const QString& path, QString* error) {
    PropertyBag bag;
    WriteProperties(bag);
    return bag.saveFile(path, error);
}

// ---- properties ----

void VerticalMenu::rangeError(const QString& text) {
    m_feedback.beep();
    m_feedback.message(text, m_messageCaption, Feedback::Icon::None, Feedback::Buttons::Ok);
}

VMenu* VerticalMenu::openMenuObject() const {
    return m_menus->Item(m_menuCur);
}

MenuItem* VerticalMenu::currentItem() const {
    const VMenu* menu = openMenuObject();
    return menu ? menu->MenuItemItem(m_menuItemCur) : nullptr;
}

void VerticalMenu::setMenusMax(int value) {
    if (value < 0 || value > 6) {
        rangeError(QStringLiteral("MenusMax must be between 0 and 6"));
        return;
    }
    const int count = m_menus->Count();
    if (value < count) {
        for (int m = count; m > value; --m) {
            m_menus->Delete(m);
            if (value < m_menuCur)
                openMenu(value);
        }
    } else if (value > count) {
        const int keptMenuCur = m_menuCur;
        for (int k = count + 1; k <= value; ++k) {
            int index = k;
            VMenu* menu = m_menus->Add(QString(), index, &m_picMenu);
            m_menuCur = k;
            setMenuCaption(QStringLiteral("Menu") + number(k));
            menu->setUpBitmap(toPicture(m_imgUp));
            menu->setDownBitmap(toPicture(m_imgDown));
            menu->setImageCache(&m_picCache);
            menu->AddMenuItem(QStringLiteral("Item"), 1, Picture());
        }
        m_menuCur = keptMenuCur;
        // The caption follows the open menu again, not the last one created.
        if (const VMenu* open = openMenuObject())
            m_menuCaption = open->Caption();
    }
    m_menusMax = value;
    m_menus->NumberOfMenusChanged(true);
    SetupCache();
    repaintMenu();
    emit propertyChanged(QStringLiteral("MenusMax"));
}

void VerticalMenu::openMenu(int value) {
    m_menuCur = value;
    m_menuItemCur = 1;
    m_menus->setMenuCur(value);
    const VMenu* menu = openMenuObject();
    m_menuItemsMax = menu ? menu->MenuItemCount() : 0;
    setMenuCaption(menu ? menu->Caption() : QString());
    emit propertyChanged(QStringLiteral("MenuCur"));
}

void VerticalMenu::setMenuCur(int value) {
    if (m_pictureLoadInProgress)
        return;
    // Callers only open existing menus (or none); other numbers are refused quietly so that
    // the bar never points at a menu it does not have.
    if (value < 0 || value > m_menus->Count())
        return;
    openMenu(value);
}

void VerticalMenu::setMenuStartup(int value) {
    m_menuStartup = value;
    emit propertyChanged(QStringLiteral("MenuStartup"));
}

void VerticalMenu::setMenuCaption(const QString& value) {
    m_menuCaption = value;
    if (VMenu* menu = openMenuObject())
        menu->setCaption(value);
    repaintMenu();
    emit propertyChanged(QStringLiteral("MenuCaption"));
}

QString VerticalMenu::MenuItemCaption() {
    if (const MenuItem* item = currentItem())
        m_menuItemCaption = item->Caption();
    return m_menuItemCaption;
}

void VerticalMenu::setMenuItemCaption(const QString& value) {
    m_menuItemCaption = value;
    if (MenuItem* item = currentItem())
        item->setCaption(value);
    if (!m_paintingSuspended)
        repaintMenu();
    emit propertyChanged(QStringLiteral("MenuItemCaption"));
}

QImage VerticalMenu::MenuItemIcon() const {
    const MenuItem* item = currentItem();
    return item ? fromPicture(item->Button()) : QImage();
}

void VerticalMenu::setMenuItemIcon(const QImage& value) {
    if (MenuItem* item = currentItem())
        item->setButton(toPicture(value));
    if (!m_paintingSuspended) {
        SetupCache();
        repaintMenu();
    }
    emit propertyChanged(QStringLiteral("MenuItemIcon"));
}

QString VerticalMenu::MenuItemPictureURL() const {
    const MenuItem* item = currentItem();
    return item ? item->PictureURL() : QString();
}

void VerticalMenu::setMenuItemPictureURL(const QString& value) {
    if (MenuItem* item = currentItem())
        item->setPictureURL(value);
    emit propertyChanged(QStringLiteral("MenuItemPictureURL"));
    const QString path = localPath(value);
    if (value.isEmpty() || path.isEmpty())
        return;
    const QString name = number(m_menuCur) + number(m_menuItemCur);
    QTimer::singleShot(0, this, [this, path, name] {
        QImageReader reader(path);
        const QImage picture = reader.read();
        if (!picture.isNull())
            AsyncReadComplete(name, picture);
    });
}

void VerticalMenu::AsyncReadComplete(const QString& name, const QImage& picture) {
    if (m_animating) {
        m_pendingPictures.append({name, picture});
        return;
    }
    if (name.isEmpty())
        return;
    m_pictureLoadInProgress = true;
    const int keptMenu = m_menuCur;
    const int keptItem = m_menuItemCur;
    m_menuCur = name.left(1).toInt();
    m_menuItemCur = name.mid(1).toInt();
    setMenuItemIcon(picture);
    m_menuCur = keptMenu;
    m_menuItemCur = keptItem;
    m_pictureLoadInProgress = false;
}

QString VerticalMenu::MenuItemKey() const {
    const MenuItem* item = currentItem();
    return item ? item->Key() : QString();
}

void VerticalMenu::setMenuItemKey(const QString& value) {
    if (MenuItem* item = currentItem())
        item->setKey(value);
    emit propertyChanged(QStringLiteral("MenuItemKey"));
}

QString VerticalMenu::MenuItemTag() const {
    const MenuItem* item = currentItem();
    return item ? item->Tag() : QString();
}

void VerticalMenu::setMenuItemTag(const QString& value) {
    if (MenuItem* item = currentItem())
        item->setTag(value);
    emit propertyChanged(QStringLiteral("MenuItemTag"));
}

void VerticalMenu::setMenuItemsMax(int value) {
    if (value < 0 || value > 10) {
        rangeError(QStringLiteral("MenuItemsMax must be between 0 and 10"));
        return;
    }
    const int keptItem = m_menuItemCur;
    if (VMenu* menu = openMenuObject()) {
        const int count = menu->MenuItemCount();
        if (value < count) {
            for (int i = count; i > value; --i)
                menu->DeleteMenuItem(i);
            m_menuItemCur = std::min(keptItem, value);
        } else if (value > count) {
            for (int j = count + 1; j <= value; ++j) {
                MenuItem* item = menu->AddMenuItem(QString(), j, Picture());
                item->setCaption(QStringLiteral("Item") + number(j));
            }
            m_menuItemCur = keptItem;
        }
    }
    m_menuItemsMax = value;
    SetupCache();
    repaintMenu();
    emit propertyChanged(QStringLiteral("MenuItemsMax"));
}

void VerticalMenu::setMenuItemCur(int value) {
    if (m_pictureLoadInProgress)
        return;
    if (value < 0 || value > m_menuItemsMax) {
        rangeError(QStringLiteral("The current item must be between 0 and MenuItemsMax"));
        return;
    }
    m_menuItemCur = value;
    emit propertyChanged(QStringLiteral("MenuItemCur"));
}

void VerticalMenu::setWhatsThisHelpID(int value) {
    m_whatsThisHelpId = value;
    emit propertyChanged(QStringLiteral("WhatsThisHelpID"));
}

void VerticalMenu::setToolTipText(const QString& value) {
    m_toolTipText = value;
    emit propertyChanged(QStringLiteral("ToolTipText"));
}

void VerticalMenu::setMousePointer(short value) {
    m_mousePointer = value;
    emit propertyChanged(QStringLiteral("MousePointer"));
}

void VerticalMenu::setEnabledProperty(bool value) {
    m_enabled = value;
    emit propertyChanged(QStringLiteral("Enabled"));
}

void VerticalMenu::setClipControls(bool value) {
    m_clipControls = value;
    emit propertyChanged(QStringLiteral("ClipControls"));
}

// ---- drawing ----

void VerticalMenu::Refresh() {
    repaintMenu();
}

void VerticalMenu::repaintMenu() {
    if (m_paintingSuspended || !isVisible())
        return;
    if (m_animating) {
        m_repaintPending = true;
        return;
    }
    animate([this] { m_menus->Paint(); });
}

void VerticalMenu::animate(const std::function<void()>& work) {
    if (m_animating) {
        work();
        return;
    }
    m_animating = true;
    work();
    m_animating = false;
    update();
    if (m_repaintPending) {
        m_repaintPending = false;
        if (!m_paintingSuspended && isVisible())
            m_menus->Paint();
        update();
    }
    while (!m_pendingPictures.isEmpty()) {
        const auto pending = m_pendingPictures.takeFirst();
        AsyncReadComplete(pending.first, pending.second);
    }
}

void VerticalMenu::mouse(short kind, int x, int y, int& hitType, int& hit) {
    // A press or release on an arrow scrolls the items step by step.
    animate([&] { m_menus->MouseProcess(kind, x, y, hitType, hit); });
}

void VerticalMenu::redrawFromScratch() {
    m_picMenu.clear();
    m_menus->forgetLastPainted();
    repaintMenu();
}

void VerticalMenu::animationStep(bool scrolling) {
    const auto delay = scrolling ? m_scrollDelay : m_menuChangeDelay;
    if (delay.count() <= 0 || !isVisible())
        return;
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    std::this_thread::sleep_for(delay);
}

void VerticalMenu::setAnimationDelays(std::chrono::microseconds menuChangeStep,
                                      std::chrono::microseconds scrollStep) {
    m_menuChangeDelay = menuChangeStep;
    m_scrollDelay = scrollStep;
}

void VerticalMenu::SetupCache() {
    const int w = m_picMenu.width();
    m_picCache.resize(w, kInitialCacheHeight);
    m_picCache.clear();
    m_picCache.drawEdge(QRect(0, 0, w, MenuGeometry::kButtonHeight), Surface::Raised,
                        Surface::AllSides | Surface::FillMiddle);
    m_picCache.resize(w, MenuGeometry::cacheHeight(m_menus->TotalMenuItems()));
    int k = 0;
    for (int m = 1; m <= m_menus->Count(); ++m) {
        const VMenu* menu = m_menus->Item(m);
        for (int i = 1; i <= menu->MenuItemCount(); ++i) {
            ++k;
            QImage icon = fromPicture(menu->MenuItemItem(i)->Button());
            if (icon.isNull())
                continue;
            // A larger picture would spill into the next item's slot.
            if (icon.width() > MenuGeometry::kIconSize || icon.height() > MenuGeometry::kIconSize)
                icon = icon.scaled(MenuGeometry::kIconSize, MenuGeometry::kIconSize, Qt::KeepAspectRatio,
                                   Qt::SmoothTransformation);
            m_picCache.drawPicture(Picture::fromValue(icon), 0,
                                   MenuGeometry::cacheIconY(k, m_menus->ButtonHeight()));
        }
    }
}

void VerticalMenu::applyPalette() {
    const ImageSurface::Colours colours = ImageSurface::Colours::fromPalette(palette());
    m_picMenu.setColours(colours);
    m_picCache.setColours(colours);
    QFont captions = font();
    captions.setPixelSize(11);
    m_picMenu.setFont(captions);
    m_picCache.setFont(captions);
}

void VerticalMenu::sizeSurfaces() {
    m_picMenu.resize(width(), height());
    m_picCache.resize(width(), kInitialCacheHeight);
}

void VerticalMenu::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_picMenu.image());
}

void VerticalMenu::resizeEvent(QResizeEvent*) {
    sizeSurfaces();
    // The button face in the cache is as wide as the bar, so a new width needs a new cache.
    if (!m_paintingSuspended) {
        SetupCache();
        redrawFromScratch();
    }
}

void VerticalMenu::showEvent(QShowEvent*) {
    redrawFromScratch();
}

void VerticalMenu::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        applyPalette();
        if (!m_paintingSuspended) {
            SetupCache();
            redrawFromScratch();
        }
    }
    QWidget::changeEvent(event);
}

// ---- mouse ----

void VerticalMenu::press(int x, int y) {
    int hitType = 0;
    int hit = 0;
    mouse(-1, x, y, hitType, hit);
    if (hitType == Menus::MenuButtonHit && hit >= 1)
        setMenuCur(hit);
    update();
}

void VerticalMenu::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    press(event->position().toPoint().x(), event->position().toPoint().y());
}

void VerticalMenu::mouseMoveEvent(QMouseEvent* event) {
    int hitType = 0;
    int hit = 0;
    const QPoint at = event->position().toPoint();
    mouse(0, at.x(), at.y(), hitType, hit);
    update();
}

void VerticalMenu::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    int hitType = 0;
    int hit = 0;
    mouse(1, at.x(), at.y(), hitType, hit);
    if (hitType == Menus::ItemClicked && hit >= 1) {
        int moveType = 0;
        int moveHit = 0;
        mouse(0, at.x(), at.y(), moveType, moveHit);
        update();
        emit MenuItemClick(static_cast<short>(m_menuCur), static_cast<short>(hit));
        mouse(0, 0, 0, moveType, moveHit);
    }
    update();
}

void VerticalMenu::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = mapFromGlobal(QCursor::pos());
    // The cursor position is the pointer's; offscreen and in synthetic events it may not be.
    const QPoint use = rect().contains(at) ? at : event->position().toPoint();
    press(use.x(), use.y());
}

void VerticalMenu::leaveEvent(QEvent*) {
    // The bar gets no more moves once the pointer is gone; clear hover borders now.
    int hitType = 0;
    int hit = 0;
    mouse(0, -1, -1, hitType, hit);
    update();
}

// ---- persistence ----

void VerticalMenu::runHostProbe() {
    m_picturesEmbedded = m_hostProbe ? m_hostProbe() : true;
}

void VerticalMenu::InitProperties() {
    m_paintingSuspended = true;
    runHostProbe();
    m_menus->setButtonHeight(MenuGeometry::kButtonHeight);
    m_whatsThisHelpId = 0;
    m_toolTipText.clear();
    m_mousePointer = 0;
    m_enabled = false;
    m_clipControls = false;
    m_autoRedraw = false;
    m_menuCaption = QStringLiteral("Menu");
    m_menuItemCaption = QStringLiteral("Item");
    m_menuItemCur = 1;
    m_menuItemsMax = 1;
    m_keptBackground = QImage();
    m_picCache.resize(m_picMenu.width(), kInitialCacheHeight);
    m_picCache.clear();
    m_picMenu.clear();
    setMenusMax(1);
    setMenuCur(1);
    setMenuStartup(1);
    SetupCache();
    m_paintingSuspended = false;
    repaintMenu();
}

void VerticalMenu::ReadProperties(const PropertyBag& bag) {
    m_paintingSuspended = true;
    runHostProbe();
    m_picMenu.clear();
    m_enabled = bag.read(QStringLiteral("Enabled"), false).toBool();
    m_toolTipText = bag.read(QStringLiteral("ToolTipText"), QString()).toString();
    m_whatsThisHelpId = bag.read(QStringLiteral("WhatsThisHelpID"), 0).toInt();
    m_menuItemCur = 1;
    m_menuItemsMax = 1;
    m_keptBackground =
        fromPng(bag.read(QStringLiteral("MenuItemIcon0"), toPng(m_keptBackground)).toByteArray());
    m_picCache.resize(m_picMenu.width(), kInitialCacheHeight);
    m_picCache.clear();
    m_menus->setButtonHeight(MenuGeometry::kButtonHeight);

    setMenusMax(bag.read(QStringLiteral("MenusMax"), 1).toInt());

    for (int m = 1; m <= m_menusMax; ++m) {
        setMenuCur(m);
        const QString menuKey = number(m);
        setMenuCaption(bag.read(QStringLiteral("MenuCaption") + menuKey, QStringLiteral("Menu")).toString());
        setMenuItemsMax(bag.read(QStringLiteral("MenuItemsMax") + menuKey, 1).toInt());
        const VMenu* menu = openMenuObject();
        const int items = menu ? menu->MenuItemCount() : 0;
        for (int i = 1; i <= items; ++i) {
            m_menuItemCur = i;
            const QString itemKey = menuKey + number(i);
            if (m_picturesEmbedded) {
                setMenuItemIcon(
                    fromPng(bag.read(QStringLiteral("MenuItemIcon") + itemKey, QByteArray()).toByteArray()));
            } else {
                setMenuItemPictureURL(
                    bag.read(QStringLiteral("MenuItemPictureURL") + itemKey, QString()).toString());
            }
            setMenuItemCaption(
                bag.read(QStringLiteral("MenuItemCaption") + itemKey, QStringLiteral("Item")).toString());
            setMenuItemKey(bag.read(QStringLiteral("MenuItemKey") + itemKey, QString()).toString());
            setMenuItemTag(bag.read(QStringLiteral("MenuItemTag") + itemKey, QString()).toString());
        }
    }

    // The saved MenuCur is stored, not opened (the bar always opens on MenuStartup), so a saved
    // 0 or a menu without items raises no range message while loading.
    const int savedMenuCur = bag.read(QStringLiteral("MenuCur"), 1).toInt();
    if (savedMenuCur >= 0 && savedMenuCur <= m_menus->Count()) {
        m_menuCur = savedMenuCur;
        m_menus->setMenuCur(savedMenuCur);
    }
    m_menuItemCur = 1;
    setMenuStartup(bag.read(QStringLiteral("MenuStartup"), 1).toInt());
    setMenuCur(m_menuStartup);

    m_whatsThisHelpId = bag.read(QStringLiteral("WhatsThisHelpID"), 0).toInt();
    m_toolTipText = bag.read(QStringLiteral("ToolTipText"), QString()).toString();
    m_mousePointer = static_cast<short>(bag.read(QStringLiteral("MousePointer"), 0).toInt());
    m_enabled = bag.read(QStringLiteral("Enabled"), false).toBool();
    m_autoRedraw = bag.read(QStringLiteral("AutoRedraw"), false).toBool();
    m_clipControls = bag.read(QStringLiteral("ClipControls"), false).toBool();

    SetupCache();
    m_paintingSuspended = false;
    redrawFromScratch();
}

void VerticalMenu::WriteProperties(PropertyBag& bag) {
    const int keptMenu = m_menuCur;
    const int keptItem = m_menuItemCur;
    bag.write(QStringLiteral("Enabled"), m_enabled, false);
    bag.write(QStringLiteral("ToolTipText"), m_toolTipText, QString());
    bag.write(QStringLiteral("WhatsThisHelpID"), m_whatsThisHelpId, 0);
    bag.write(QStringLiteral("MenusMax"), m_menusMax, 1);
    bag.write(QStringLiteral("MenuCur"), m_menuCur, 1);
    bag.write(QStringLiteral("MenuStartup"), m_menuStartup, 1);
    for (int m = 1; m <= m_menusMax; ++m) {
        const VMenu* menu = m_menus->Item(m);
        if (!menu)
            break;
        const QString menuKey = number(m);
        bag.write(QStringLiteral("MenuCaption") + menuKey, menu->Caption(), QStringLiteral("Menu"));
        bag.write(QStringLiteral("MenuItemsMax") + menuKey, menu->MenuItemCount(), 1);
        for (int i = 1; i <= menu->MenuItemCount(); ++i) {
            const MenuItem* item = menu->MenuItemItem(i);
            const QString itemKey = menuKey + number(i);
            if (m_picturesEmbedded)
                bag.write(QStringLiteral("MenuItemIcon") + itemKey, toPng(fromPicture(item->Button())),
                          QByteArray());
            else
                bag.write(QStringLiteral("MenuItemPictureURL") + itemKey, item->PictureURL(), QString());
            bag.write(QStringLiteral("MenuItemCaption") + itemKey, item->Caption(), QStringLiteral("Item"));
            bag.write(QStringLiteral("MenuItemKey") + itemKey, item->Key(), QString());
            bag.write(QStringLiteral("MenuItemTag") + itemKey, item->Tag(), QString());
        }
    }
    const QByteArray background = toPng(m_keptBackground);
    bag.write(QStringLiteral("MenuItemIcon0"), background, background);
    bag.write(QStringLiteral("WhatsThisHelpID"), m_whatsThisHelpId, 0);
    bag.write(QStringLiteral("ToolTipText"), m_toolTipText, QString());
    bag.write(QStringLiteral("MousePointer"), static_cast<int>(m_mousePointer), 0);
    bag.write(QStringLiteral("Enabled"), m_enabled, false);
    bag.write(QStringLiteral("AutoRedraw"), m_autoRedraw, false);
    bag.write(QStringLiteral("ClipControls"), m_clipControls, false);
    m_menuCur = keptMenu;
    m_menuItemCur = keptItem;
}
