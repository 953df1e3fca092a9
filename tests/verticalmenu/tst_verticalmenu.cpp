// The navigation bar control: range checks, resizing, mouse routing, persistence, picture loads.
#include "base/Captions.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"
#include "verticalmenu/model/PropertyBag.h"
#include "verticalmenu/VerticalMenu.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
std::unique_ptr<VerticalMenu> makeBar(ScriptedFeedback& feedback, int height = 500) {
    auto bar = std::make_unique<VerticalMenu>(feedback, Captions::kProduct);
    bar->setAnimationDelays(std::chrono::microseconds(0), std::chrono::microseconds(0));
    bar->resize(110, height);
    bar->show();
    return bar;
}

QImage solid(QColor colour) {
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QPoint itemCentre(const VerticalMenu& bar, int item) {
    const MenuItem* it = bar.menus().Item(bar.MenuCur())->MenuItemItem(item);
    return QPoint(it->Left() + 16, it->Top() + 16);
}
} // namespace

class TstVerticalMenu : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void rangeErrors_data() {
        QTest::addColumn<QString>("property");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("message");
        const QString menus = "MenusMax must be between 0 and 6";
        const QString items = "MenuItemsMax must be between 0 and 10";
        const QString current = "The current item must be between 0 and MenuItemsMax";
        QTest::newRow("MenusMax 7") << "MenusMax" << 7 << menus;
        QTest::newRow("MenusMax -1") << "MenusMax" << -1 << menus;
        QTest::newRow("MenuItemsMax 11") << "MenuItemsMax" << 11 << items;
        QTest::newRow("MenuItemsMax -1") << "MenuItemsMax" << -1 << items;
        QTest::newRow("MenuItemCur max+1") << "MenuItemCur" << 4 << current;
        QTest::newRow("MenuItemCur -1") << "MenuItemCur" << -1 << current;
    }
    void rangeErrors() {
        QFETCH(QString, property);
        QFETCH(int, value);
        QFETCH(QString, message);
        ScriptedFeedback feedback;
        auto bar = makeBar(feedback);
        bar->setMenusMax(2);
        bar->setMenuItemsMax(3);
        bar->setMenuItemCur(2);
        QSignalSpy changed(bar.get(), &VerticalMenu::propertyChanged);
        if (property == QLatin1String("MenusMax"))
            bar->setMenusMax(value);
        else if (property == QLatin1String("MenuItemsMax"))
            bar->setMenuItemsMax(value);
        else
            bar->setMenuItemCur(value);
        QCOMPARE(feedback.beeps, 1);
        QCOMPARE(feedback.messages.size(), 1);
        QCOMPARE(feedback.messages[0].text, message);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(bar->MenusMax(), 2);
        QCOMPARE(bar->menus().Count(), 2);
        QCOMPARE(bar->MenuItemsMax(), 3);
        QCOMPARE(bar->MenuItemCur(), 2);
    }

    void menusAndItemsGrowAndShrink() {
        ScriptedFeedback feedback;
        auto bar = makeBar(feedback);
        QSignalSpy changed(bar.get(), &VerticalMenu::propertyChanged);
        bar->setMenusMax(3);
        QVERIFY(changed.contains(QVariantList{"MenusMax"}));
        QCOMPARE(bar->menus().Item(3)->MenuItemCount(), 1);
        QCOMPARE(bar->MenuCur(), 1);

        bar->setMenuItemsMax(4);
        const VMenu* open = bar->menus().Item(1);
        QCOMPARE(open->MenuItemCount(), 4);
        bar->setMenuItemCur(4);
        bar->setMenuItemsMax(2);
        QCOMPARE(bar->MenuItemCur(), 2);
        QCOMPARE(open->MenuItemCount(), 2);
        bar->setMenuItemCur(0);
        QCOMPARE(bar->MenuItemCur(), 0);

        bar->setMenuCur(3);
        bar->setMenusMax(2);
        QCOMPARE(bar->MenuCur(), 2);
        QCOMPARE(feedback.messages.size(), 0);
    }

    void mouseOpensMenusAndClicksItems() {
        ScriptedFeedback feedback;
        auto bar = makeBar(feedback);
        QVERIFY(bar->loadMainWindowBar());
        QSignalSpy clicks(bar.get(), &VerticalMenu::MenuItemClick);
        const int toolsTop = bar->menus().Item(3)->ButtonTop();
        QTest::mousePress(bar.get(), Qt::LeftButton, {}, QPoint(50, toolsTop + 5));
        QCOMPARE(bar->MenuCur(), 3);
        QTest::mouseRelease(bar.get(), Qt::LeftButton, {}, QPoint(50, toolsTop + 5));
        QCOMPARE(clicks.count(), 0);

        const QPoint second = itemCentre(*bar, 2);
        QTest::mousePress(bar.get(), Qt::RightButton, {}, second);
        QTest::mouseRelease(bar.get(), Qt::RightButton, {}, second);
        QCOMPARE(clicks.count(), 0);

        QTest::mousePress(bar.get(), Qt::LeftButton, {}, second);
        QTest::mouseRelease(bar.get(), Qt::LeftButton, {}, second);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks[0][0].value<short>(), short(3));
        QCOMPARE(clicks[0][1].value<short>(), short(2));
        // The highlight is cleared after the click is reported.
        QCOMPARE(bar->menus().Item(3)->MenuItemItem(2)->State(), short(0));
    }

    void saveLoadRoundTrip() {
        ScriptedFeedback feedback;
        auto first = makeBar(feedback);
        QVERIFY(first->loadMainWindowBar());
        first->setMenuCur(2);
        first->setMenuItemCur(2);
        first->setMenuItemKey("sec");
        first->setMenuItemTag("tag \"quoted\"");
        first->setToolTipText("Navigation");
        first->setWhatsThisHelpID(42);
        first->setMousePointer(11);
        first->setEnabledProperty(true);
        first->setClipControls(true);
        first->setMenuStartup(3);
        first->setMenuCur(3);
        QTemporaryDir dir;
        const QString path = dir.filePath("bar.vmenu");
        QVERIFY(first->saveFile(path));

        auto second = makeBar(feedback);
        QVERIFY(second->loadFile(path));
        QCOMPARE(second->MenuCur(), 3);
        // Everything else the bar keeps is in the written properties, compared whole.
        PropertyBag a;
        PropertyBag b;
        first->WriteProperties(a);
        second->WriteProperties(b);
        QCOMPARE(a.toJson(), b.toJson());
        QCOMPARE(feedback.messages.size(), 0);
    }

    // Every item shows its own icon: the cache holds them in menu-then-item order, one slot each.
    void eachItemShowsItsOwnIcon() {
        ScriptedFeedback feedback;
        auto bar = makeBar(feedback, 600);
        const auto colour = [](int m, int i) { return QColor::fromRgb(qRgb(40 * m, 60 * i, 200)); };
        bar->setMenusMax(3);
        for (int m = 1; m <= 3; ++m) {
            bar->setMenuCur(m);
            bar->setMenuItemsMax(m + 1);
            for (int i = 1; i <= m + 1; ++i) {
                bar->setMenuItemCur(i);
                bar->setMenuItemIcon(solid(colour(m, i)));
            }
        }
        for (int m = 1; m <= 3; ++m) {
            bar->setMenuCur(m);
            const QImage shown = bar->grab().toImage();
            for (int i = 1; i <= m + 1; ++i) {
                const QPoint centre = itemCentre(*bar, i);
                QCOMPARE(QColor(shown.pixel(centre)), colour(m, i));
            }
        }
        QCOMPARE(feedback.messages.size(), 0);
    }

    // Loading opens MenuStartup, whatever the keys' letter case. The saved MenuCur is only stored,
    // never opened, so a saved 0 or a saved menu with no items never beeps or shows a range message.
    void loadingOpensMenuStartup_data() {
        QTest::addColumn<int>("menuCur");
        QTest::addColumn<int>("itemsOfMenu2");
        QTest::addColumn<int>("startup");
        QTest::addColumn<bool>("upperCase");
        QTest::newRow("no menu open") << 0 << 1 << 1 << false;
        QTest::newRow("menu without items") << 2 << 0 << 1 << false;
        QTest::newRow("keys in upper case") << 3 << 1 << 2 << true;
    }
    void loadingOpensMenuStartup() {
        QFETCH(int, menuCur);
        QFETCH(int, itemsOfMenu2);
        QFETCH(int, startup);
        QFETCH(bool, upperCase);
        const auto key = [upperCase](const QString& name) { return upperCase ? name.toUpper() : name; };
        PropertyBag bag;
        bag.write(key("MenusMax"), 3, 1);
        bag.write(key("MenuItemsMax2"), itemsOfMenu2, 1);
        bag.write(key("MenuCur"), menuCur, 1);
        bag.write(key("MenuStartup"), startup, 1);
        bag.write(key("MenuCaption2"), "Second", "Menu");
        ScriptedFeedback feedback;
        auto bar = makeBar(feedback);
        bar->ReadProperties(bag);
        QCOMPARE(feedback.beeps, 0);
        QCOMPARE(feedback.messages.size(), 0);
        QCOMPARE(bar->MenuCur(), startup);
        QCOMPARE(bar->MenuItemsMax(), 1);
        QCOMPARE(bar->menus().Caption(2), "Second");
    }

    void brokenFileLeavesTheBar() {
        QTemporaryDir dir;
        const QString path = dir.filePath("broken.vmenu");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"format\": \"something else\"}");
        file.close();
        ScriptedFeedback feedback;
        auto bar = makeBar(feedback);
        QVERIFY(bar->loadMainWindowBar());
        QString error;
        QVERIFY(!bar->loadFile(path, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!bar->loadFile(dir.filePath("missing.vmenu")));
        QCOMPARE(bar->MenusMax(), 4);
    }

    // A picture given by path or URL loads later, under its item's load name ("210": menu 2, item
    // 10); until then the current menu and item may change.
    void picturePathsLoadAsynchronously() {
        QTemporaryDir dir;
        const QString picture = dir.filePath("icon.png");
        QVERIFY(solid(Qt::green).save(picture));
        const auto pictureOn210 = [](const VerticalMenu& bar) {
            return bar.menus().Item(2)->MenuItemItem(10)->Button().value<QImage>();
        };
        const auto setPictureOn210 = [](VerticalMenu& bar, const QString& source) {
            bar.setMenusMax(2);
            bar.setMenuCur(2);
            bar.setMenuItemsMax(10);
            bar.setMenuItemCur(10);
            bar.setMenuItemPictureURL(source);
        };
        ScriptedFeedback feedback;
        auto bar = makeBar(feedback);
        bar->setHostProbe([] { return false; });
        setPictureOn210(*bar, picture);
        bar->setMenuCur(1);
        QTRY_VERIFY(!pictureOn210(*bar).isNull());
        QCOMPARE(pictureOn210(*bar).pixel(3, 3), QColor(Qt::green).rgb());
        QCOMPARE(bar->MenuCur(), 1);
        QCOMPARE(bar->MenuItemCur(), 1);

        PropertyBag bag;
        bar->InitProperties();
        setPictureOn210(*bar, QUrl::fromLocalFile(picture).toString());
        bar->WriteProperties(bag);
        QVERIFY(bag.contains("MenuItemPictureURL210"));
        QVERIFY(!bag.contains("MenuItemIcon210"));

        auto loaded = makeBar(feedback);
        loaded->setHostProbe([] { return false; });
        loaded->ReadProperties(bag);
        QTRY_VERIFY(!pictureOn210(*loaded).isNull());
        QCOMPARE(loaded->MenuCur(), 1);
    }

    // A repaint that arrives while the items scroll waits for the scroll to end: painting over
    // a half-scrolled band left ghost icons and a second arrow.
    void repaintDuringScrollLeavesNoGhosts() {
        ScriptedFeedback feedback;
        const auto scrolled = [&feedback](bool interrupted) {
            auto bar = makeBar(feedback, 200);
            bar->setAnimationDelays(std::chrono::microseconds(0), std::chrono::microseconds(1));
            if (!bar->loadMainWindowBar())
                return QImage();
            const MenuGeometry::Rect down = bar->menus().Item(1)->downArrow().rect();
            const QPoint at((down.left + down.right) / 2, (down.top + down.bottom) / 2);
            if (interrupted)
                QTimer::singleShot(0, bar.get(), [&bar] { bar->Refresh(); });
            QTest::mousePress(bar.get(), Qt::LeftButton, {}, at);
            QTest::mouseRelease(bar.get(), Qt::LeftButton, {}, at);
            QCoreApplication::processEvents();
            return bar->picMenu();
        };
        const QImage clean = scrolled(false);
        QVERIFY(!clean.isNull());
        QCOMPARE(scrolled(true), clean);
    }
};

QTEST_MAIN(TstVerticalMenu)
#include "tst_verticalmenu.moc"
