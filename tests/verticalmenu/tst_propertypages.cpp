// The navigation bar's property pages: filling, applying in order, refused values, Browse.
#include "base/Captions.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"
#include "verticalmenu/pages/Menues.h"
#include "verticalmenu/pages/MenuItemObjects.h"
#include "verticalmenu/pages/MenuObjects.h"
#include "verticalmenu/VerticalMenu.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
void edit(QWidget& page, const char* name, const QString& text) {
    auto* field = page.findChild<QLineEdit*>(QString::fromLatin1(name));
    QVERIFY2(field, name);
    field->selectAll();
    QTest::keyClicks(field, text);
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
}

QString field(QWidget& page, const char* name) {
    return page.findChild<QLineEdit*>(QString::fromLatin1(name))->text();
}

struct Fixture {
    ScriptedFeedback feedback;
    VerticalMenu bar{feedback, Captions::kProduct};
    Fixture() {
        bar.setAnimationDelays(std::chrono::microseconds(0), std::chrono::microseconds(0));
        bar.resize(110, 500);
        bar.show();
        bar.loadMainWindowBar();
    }
};
} // namespace

class TstPropertyPages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void pagesShowTheControl() {
        Fixture f;
        f.bar.setMenuCur(2);
        f.bar.setMenuItemCur(2);
        Menues menues(f.feedback);
        MenuObjects menuObjects;
        MenuItemObjects itemObjects(f.feedback);
        menues.setSelectedControls({&f.bar});
        menuObjects.setSelectedControls({&f.bar});
        itemObjects.setSelectedControls({&f.bar});
        QCOMPARE(field(menues, "txtMenusMax"), "4");
        QCOMPARE(field(menues, "txtMenuCur"), "2");
        QCOMPARE(field(menuObjects, "txtMenuItemsMax"), "3");
        QCOMPARE(field(menuObjects, "txtMenuCaption"), "Options");
        QCOMPARE(field(itemObjects, "txtMenuItemCaption"), "Security");
        QVERIFY(!itemObjects.picture().isNull());
        QVERIFY(!menues.Changed());
        edit(menues, "txtMenuStartup", "3");
        QVERIFY(menues.Changed());
    }

    // Fields apply in order, MenusMax before MenuCur so a grown bar can open its new menu; a
    // refused value leaves the others applied.
    void menuesAppliesInOrder_data() {
        QTest::addColumn<QString>("startup");
        QTest::addColumn<QString>("menusMax");
        QTest::addColumn<QString>("menuCur");
        QTest::addColumn<QList<int>>("expected"); // MenuStartup, MenusMax, MenuCur
        QTest::addColumn<int>("messages");
        QTest::newRow("MenusMax refused") << "2"
                                          << "7"
                                          << "3" << QList<int>{2, 4, 3} << 1;
        QTest::newRow("MenuCur opens a new menu") << "not a number"
                                                  << "5"
                                                  << "5" << QList<int>{1, 5, 5} << 0;
    }
    void menuesAppliesInOrder() {
        QFETCH(QString, startup);
        QFETCH(QString, menusMax);
        QFETCH(QString, menuCur);
        QFETCH(QList<int>, expected);
        QFETCH(int, messages);
        Fixture f;
        Menues page(f.feedback);
        page.setSelectedControls({&f.bar});
        edit(page, "txtMenuStartup", startup);
        edit(page, "txtMenusMax", menusMax);
        edit(page, "txtMenuCur", menuCur);
        page.ApplyChanges();
        QCOMPARE(f.feedback.messages.size(), messages);
        QCOMPARE((QList<int>{f.bar.MenuStartup(), f.bar.MenusMax(), f.bar.MenuCur()}), expected);
        QVERIFY(!page.Changed());
    }

    void menuObjectsAppliesAroundARefusedValue() {
        Fixture f;
        MenuObjects page;
        page.setSelectedControls({&f.bar});
        edit(page, "txtMenuItemsMax", "2");
        edit(page, "txtMenuItemCur", "3");
        edit(page, "txtMenuCaption", "Start");
        page.ApplyChanges();
        QCOMPARE(f.feedback.messages.size(), 1);
        QCOMPARE(f.bar.MenuItemsMax(), 2);
        QCOMPARE(f.bar.MenuItemCur(), 1);
        QCOMPARE(f.bar.MenuCaption(), "Start");
        QCOMPARE(f.bar.menus().Caption(1), "Start");
    }

    void menuItemObjectsAppliesToTheCurrentItem() {
        Fixture f;
        f.bar.setMenuItemCur(3);
        MenuItemObjects page(f.feedback);
        page.setSelectedControls({&f.bar});
        edit(page, "txtMenuItemCaption", "Report");
        edit(page, "txtMenuItemKey", "report");
        edit(page, "txtMenuItemTag", "t");
        page.ApplyChanges();
        const MenuItem* item = f.bar.menus().Item(1)->MenuItemItem(3);
        QCOMPARE(item->Caption(), "Report");
        QCOMPARE(item->Key(), "report");
        QCOMPARE(item->Tag(), "t");
        QVERIFY(!item->Button().value<QImage>().isNull());
        QCOMPARE(f.bar.menus().Item(1)->MenuItemItem(2)->Caption(), "Report Criteria");
    }

    void browse_data() {
        QTest::addColumn<int>("answer"); // 0 cancel, 1 a picture, 2 not a picture
        QTest::newRow("cancelled") << 0;
        QTest::newRow("picture") << 1;
        QTest::newRow("not a picture") << 2;
    }
    void browse() {
        QFETCH(int, answer);
        Fixture f;
        MenuItemObjects page(f.feedback);
        page.setSelectedControls({&f.bar});
        const QImage before = page.picture();
        QTemporaryDir dir;
        const QString path = dir.filePath("new.ico");
        QImage icon(32, 32, QImage::Format_ARGB32);
        icon.fill(Qt::magenta);
        QFile text(path);
        QVERIFY(answer == 1 ? icon.save(path, "ICO")
                            : text.open(QIODevice::WriteOnly) && text.write("not a picture"));
        text.close();
        if (answer != 0)
            f.feedback.fileAnswers << path;

        page.findChild<QPushButton*>("cmdBrowse")->click();

        QCOMPARE(f.feedback.fileDialogs.size(), 1);
        if (answer == 1) {
            QVERIFY(page.Changed());
            QCOMPARE(page.picture().pixel(5, 5), QColor(Qt::magenta).rgb());
            page.ApplyChanges();
            QCOMPARE(f.bar.MenuItemIcon().pixel(5, 5), QColor(Qt::magenta).rgb());
        } else {
            QVERIFY(!page.Changed());
            QCOMPARE(page.picture(), before);
        }
    }

    void textToNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -999 for refused
        QTest::newRow("plain") << "4" << 4;
        QTest::newRow("spaces") << " 3 " << 3;
        QTest::newRow("half to even down") << "2.5" << 2;
        QTest::newRow("half to even up") << "3.5" << 4;
        QTest::newRow("empty") << "" << -999;
        QTest::newRow("word") << "abc" << -999;
        QTest::newRow("too large") << "3000000000" << -999;
    }
    void textToNumber() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const auto value = PropertyPage::toLong(text);
        QCOMPARE(value.value_or(-999), expected);
    }
};

QTEST_MAIN(TstPropertyPages)
#include "tst_propertypages.moc"
