// The navigation bar model: geometry, collections, painting from the cache and mouse handling.
#include "support/TestEnv.h"
#include "verticalmenu/model/ImageSurface.h"
#include "verticalmenu/model/MenuGeometry.h"
#include "verticalmenu/model/Menus.h"

#include <QPainter>
#include <QtTest>

namespace {
constexpr int kWidth = 110;

// A bar of menus with the given item counts on surfaces of the given height; every icon in the
// cache is a solid colour of its own, so copies can be traced pixel by pixel.
struct Bar {
    ImageSurface surface;
    ImageSurface cache;
    Menus menus;

    Bar(const QList<int>& itemCounts, int height, int openMenu = 0) {
        surface.resize(kWidth, height);
        surface.clear();
        menus.setMenu(&surface);
        menus.setCache(&cache);
        menus.setButtonHeight(MenuGeometry::kButtonHeight);
        int total = 0;
        for (int m = 1; m <= itemCounts.size(); ++m) {
            int index = m;
            VMenu* menu = menus.Add(QStringLiteral("M%1").arg(m), index, &surface);
            menu->setImageCache(&cache);
            menu->setUpBitmap(Picture::fromValue(arrowImage()));
            menu->setDownBitmap(Picture::fromValue(arrowImage()));
            for (int i = 1; i <= itemCounts[m - 1]; ++i)
                menu->AddMenuItem(QStringLiteral("I%1.%2").arg(m).arg(i), i, Picture());
            total += itemCounts[m - 1];
        }
        cache.resize(kWidth, MenuGeometry::cacheHeight(total));
        cache.clear();
        cache.drawEdge(QRect(0, 0, kWidth, 18), Surface::Raised, Surface::AllSides | Surface::FillMiddle);
        // Distinct colours need direct access to the cache image.
        QImage& image = const_cast<QImage&>(cache.image());
        QPainter painter(&image);
        for (int k = 1; k <= total; ++k)
            painter.fillRect(QRect(0, MenuGeometry::cacheIconY(k, 18), 32, 32),
                             QColor::fromRgb(iconColour(k)));
        if (openMenu > 0) {
            menus.setMenuCur(openMenu);
            menus.Paint();
        }
    }

    static QRgb iconColour(int k) { return qRgb(10 * k, 200 - 10 * k, 60); }
    static QImage arrowImage() {
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(Qt::yellow);
        return image;
    }
    VMenu* open() { return menus.Item(menus.MenuCur()); }
    MenuItem* item(int j) { return open()->MenuItemItem(j); }
    QRgb pixel(int x, int y) const { return surface.image().pixel(x, y); }
    int mouse(short kind, int x, int y, int* number = nullptr) {
        int hitType = 0;
        int hit = 0;
        menus.MouseProcess(kind, x, y, hitType, hit);
        if (number)
            *number = hit;
        return hitType;
    }
    QPoint centre(int j) { return QPoint(item(j)->Left() + 16, item(j)->Top() + 16); }
};

bool hasWhite(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) == qRgb(255, 255, 255))
                return true;
    return false;
}
} // namespace

class TstMenuModel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    // A caption starting just below the clip line must not touch the menu button under it: at
    // every height, the top row of the button below the open menu looks like the last button's.
    void captionBelowClipLineLeavesNextButton() {
        for (int height = 100; height <= 330; ++height) {
            Bar bar({1, 6, 1, 1}, height, 2);
            const int next = bar.menus.Item(3)->ButtonTop();
            const int last = bar.menus.Item(4)->ButtonTop();
            for (int x = 0; x < kWidth; ++x)
                QVERIFY2(bar.pixel(x, next) == bar.pixel(x, last),
                         qPrintable(QStringLiteral("height %1, x %2").arg(height).arg(x)));
        }
    }

    void insertionRule_data() {
        QTest::addColumn<QList<int>>("numbers");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("in order") << QList<int>{1, 2, 3} << QList<int>{1, 2, 3};
        QTest::newRow("one goes first") << QList<int>{2, 3, 1} << QList<int>{1, 2, 3};
        QTest::newRow("two after the first") << QList<int>{1, 3, 4, 2} << QList<int>{1, 2, 3, 4};
        QTest::newRow("beyond the end appends") << QList<int>{1, 5} << QList<int>{1, 5};
    }
    void insertionRule() {
        QFETCH(QList<int>, numbers);
        QFETCH(QList<int>, order);
        Menus menus;
        MenuItems items;
        for (int number : numbers) {
            int index = number;
            menus.Add(QString(), index, nullptr);
            int itemIndex = number;
            int height = 18;
            items.Add(QString(), itemIndex, height, Picture());
        }
        QList<int> menuOrder;
        QList<int> itemOrder;
        for (int i = 1; i <= menus.Count(); ++i) {
            menuOrder << menus.Item(i)->Index();
            itemOrder << items.Item(i)->Index();
        }
        QCOMPARE(menuOrder, order);
        QCOMPARE(itemOrder, order);
    }

    void lastItemCutAtClipLine() {
        // n 4, c 2, H 360: clip line 324 cuts the fifth icon (306 to 338).
        Bar bar({1, 5, 1, 1}, 360, 2);
        MenuItem* last = bar.item(5);
        QVERIFY(last->displayed());
        QCOMPARE(last->Top(), 306);
        QCOMPARE(last->borderRect().bottom, 324);
        QVERIFY(bar.open()->downArrow().IsDisplayed());
        QCOMPARE(bar.pixel(last->Left() + 3, 323), Bar::iconColour(6));
        // The button face of menu 3 starts at the clip line, untouched by the icon.
        QVERIFY(bar.pixel(last->Left() + 3, 324) != Bar::iconColour(6));
        // No caption under the cut icon.
        QVERIFY(!hasWhite(bar.surface.image(), QRect(0, 306, 80, 18)));
        // A hover border on a cut box has no bottom side.
        bar.mouse(0, last->Left() + 3, 320);
        QCOMPARE(last->State(), short(1));
        QCOMPARE(bar.pixel(last->Left() + 3, 323), Bar::iconColour(6));
        QCOMPARE(bar.pixel(last->Left() - 2, 310), bar.surface.colours().light.rgb());
    }

    void itemClickNeedsPressAndReleaseOnIt() {
        Bar bar({3}, 400, 1);
        const QPoint second = bar.centre(2);
        int number = -1;
        QCOMPARE(bar.mouse(-1, second.x(), second.y()), 0);
        QCOMPARE(bar.mouse(1, second.x(), second.y(), &number), int(Menus::ItemClicked));
        QCOMPARE(number, 2);

        QCOMPARE(bar.mouse(-1, second.x(), second.y()), 0);
        bar.mouse(0, 5, 300);
        QCOMPARE(bar.mouse(1, 5, 300, &number), 0);
        QCOMPARE(number, 0);
        // A press on nothing then a release on the item pressed long ago is no click.
        bar.mouse(-1, 5, 300);
        QCOMPARE(bar.mouse(1, second.x(), second.y()), 0);
    }

    void hoverRaisesAndLeavingErases() {
        Bar bar({2}, 400, 1);
        MenuItem* first = bar.item(1);
        const QPoint corner(first->borderRect().left, first->borderRect().top);
        const QRgb background = bar.surface.colours().shadow.rgb();
        QCOMPARE(bar.pixel(corner.x(), corner.y()), background);
        bar.mouse(0, first->Left() + 2, first->Top() + 2);
        QCOMPARE(first->State(), short(1));
        QCOMPARE(bar.pixel(corner.x(), corner.y()), bar.surface.colours().light.rgb());
        QCOMPARE(bar.pixel(first->borderRect().right - 1, first->borderRect().bottom - 1),
                 bar.surface.colours().darkShadow.rgb());
        bar.mouse(0, 5, 380);
        QCOMPARE(first->State(), short(0));
        QCOMPARE(bar.pixel(corner.x(), corner.y()), background);
        bar.mouse(-1, first->Left() + 2, first->Top() + 2);
        QCOMPARE(first->State(), short(-1));
        QCOMPARE(bar.pixel(corner.x(), corner.y()), bar.surface.colours().darkShadow.rgb());
    }

    void downArrowScrollsOnPressAndReleaseOnIt() {
        Bar bar({1, 6, 1, 1}, 400, 2);
        const QPoint firstItem = bar.centre(1);
        const Arrow& arrow = bar.open()->downArrow();
        const int x = arrow.rect().left + 4;
        const int y = arrow.rect().top + 4;
        bar.mouse(-1, x, y);
        QCOMPARE(arrow.drawnState(), -1);
        bar.mouse(0, 5, 200);
        QCOMPARE(arrow.drawnState(), 1);
        QCOMPARE(bar.mouse(1, 5, 200), 0);
        QCOMPARE(bar.open()->TopMenuItem(), 1);
        // Coming back and releasing without a new press is no click either.
        QCOMPARE(bar.mouse(1, x, y), 0);
        QCOMPARE(bar.open()->TopMenuItem(), 1);

        QCOMPARE(bar.mouse(-1, x, y), 0);
        QCOMPARE(bar.mouse(1, x, y), int(Menus::ScrolledDown));
        QCOMPARE(bar.open()->TopMenuItem(), 2);
        QVERIFY(bar.open()->upArrow().IsDisplayed());
        QVERIFY(!bar.item(1)->displayed());
        QCOMPARE(bar.item(2)->Top(), 50);
        // The item scrolled out is no longer hit where it was drawn.
        QVERIFY(!bar.item(1)->HitTest(-1, firstItem.x(), firstItem.y()));
        QVERIFY(!bar.item(1)->pressed());
        QCOMPARE(bar.pixel(firstItem.x(), firstItem.y()), Bar::iconColour(3));
    }

    // The animations must end in exactly the picture a fresh paint of the same state gives.
    void animationsEndInTheStaticPicture_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("down the stack 1 to 3") << 1 << 3;
        QTest::newRow("up the stack 4 to 2") << 4 << 2;
        QTest::newRow("neighbours 2 to 3") << 2 << 3;
        QTest::newRow("neighbours 3 to 2") << 3 << 2;
    }
    void animationsEndInTheStaticPicture() {
        QFETCH(int, from);
        QFETCH(int, to);
        const QList<int> counts{3, 6, 2, 4};
        Bar animated(counts, 400);
        int steps = 0;
        animated.menus.setAnimationStep([&steps](bool) { ++steps; });
        animated.menus.setMenuCur(from);
        animated.menus.Paint();
        animated.menus.setMenuCur(to);
        animated.menus.Paint();
        QVERIFY(steps > 100);

        Bar fresh(counts, 400, to);
        QCOMPARE(animated.surface.image(), fresh.surface.image());
    }

    void scrollAnimationsEndInTheStaticPicture() {
        const QList<int> counts{1, 8, 1, 1};
        Bar animated(counts, 400, 2);
        const MenuGeometry::Rect down = animated.open()->downArrow().rect();
        for (int i = 0; i < 2; ++i) {
            animated.mouse(-1, down.left + 4, down.top + 4);
            animated.mouse(1, down.left + 4, down.top + 4);
        }
        const MenuGeometry::Rect up = animated.open()->upArrow().rect();
        animated.mouse(-1, up.left + 4, up.top + 4);
        QCOMPARE(animated.mouse(1, up.left + 4, up.top + 4), int(Menus::ScrolledUp));
        QCOMPARE(animated.open()->TopMenuItem(), 2);

        Bar fresh(counts, 400);
        fresh.menus.Item(2)->setTopMenuItem(2);
        fresh.menus.setMenuCur(2);
        fresh.menus.Paint();
        QCOMPARE(animated.surface.image(), fresh.surface.image());
    }
};

QTEST_MAIN(TstMenuModel)
#include "tst_menumodel.moc"
