#include "toolkit/action_toolbar.h"

#include "tests/support/application.h"
#include "toolkit/application.h"
#include "toolkit/image_list.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

const auto* const application = UseTestApplication<TApplication>("test_action_toolbar");

// Three actions that count their runs, on a bar of the given width.
struct Fixture
{
    TActionManager manager;
    TImageList images{16, 16};
    std::unique_ptr<TActionToolBar> bar;
    int runs[3] = {0, 0, 0};

    explicit Fixture(int width)
    {
        QPixmap glyph(16, 16);
        glyph.fill(Qt::red);
        images.Add(glyph);
        manager.Images = &images;
        const char* names[] = {"Eins", "Zwei", "Drei"};
        const char* captions[] = {"&Eins", "Z&wei", "Dr&ei"};
        std::vector<TActionClientItem> items;
        for (int i = 0; i < 3; ++i) {
            TAction& action =
                manager.Add(TAction{names[i], "Test", names[i], "", 0, [this, i] { ++runs[i]; }});
            items.push_back(TActionClientItem{&action, captions[i], 0});
        }
        bar = std::make_unique<TActionToolBar>();
        bar->SetActionManager(&manager);
        bar->SetItems(std::move(items));
        bar->resize(width, 10);
        bar->show();
    }
    int w(int index) const { return bar->Button(index)->width(); }
    QRect g(int index) const { return bar->Button(index)->geometry(); }
};

TEST(ActionToolBar, OneRowWhenAllButtonsFit)
{
    Fixture f(1000);
    EXPECT_EQ(f.bar->RowCount(), 1);
    EXPECT_EQ(f.bar->height(), 26);
    EXPECT_EQ(f.g(0), QRect(1, 1, f.w(0), 24));
    EXPECT_EQ(f.g(1).topLeft(), QPoint(1 + f.w(0), 1)); // neighbours touch
    EXPECT_EQ(f.g(2).topLeft(), QPoint(1 + f.w(0) + f.w(1), 1));
}

TEST(ActionToolBar, ButtonWrapsWhenSpaceLeftIsLessThanItsWidthPlusMargin)
{
    Fixture probe(1000);
    const int exact = 1 + probe.w(0) + probe.w(1) + 1; // the second button just fits
    {
        Fixture f(exact);
        EXPECT_EQ(f.g(1).top(), 1);
        EXPECT_EQ(f.g(2).topLeft(), QPoint(1, 29));
        EXPECT_EQ(f.bar->RowCount(), 2);
        EXPECT_EQ(f.bar->height(), 54);
    }
    {
        Fixture f(exact - 1);
        EXPECT_EQ(f.g(1).topLeft(), QPoint(1, 29));
        EXPECT_EQ(f.g(2).topLeft(), QPoint(1, 57));
        EXPECT_EQ(f.bar->RowCount(), 3);
        EXPECT_EQ(f.bar->height(), 82);
    }
}

TEST(ActionToolBar, FirstButtonOfARowStaysEvenIfTooWide)
{
    Fixture f(10);
    EXPECT_EQ(f.g(0).topLeft(), QPoint(1, 1));
    EXPECT_EQ(f.bar->RowCount(), 3);
}

TEST(ActionToolBar, RelaysOnWidthChange)
{
    Fixture f(1000);
    f.bar->resize(1 + f.w(0) + 1, f.bar->height());
    EXPECT_EQ(f.bar->RowCount(), 3);
    EXPECT_EQ(f.bar->height(), 82);
    f.bar->resize(1000, f.bar->height());
    EXPECT_EQ(f.bar->RowCount(), 1);
    EXPECT_EQ(f.bar->height(), 26);
}

TEST(ActionToolBar, ButtonsFollowANewFont)
{
    Fixture f(1000);
    const int narrow = f.w(0);
    QFont large = f.bar->font();
    large.setPixelSize(3 * QFontInfo(large).pixelSize());
    f.bar->setFont(large);
    EXPECT_GT(f.w(0), narrow);
    EXPECT_EQ(f.g(1).left(), 1 + f.w(0));
}

TEST(ActionToolBar, ClickRunsTheActionOnce)
{
    Fixture f(1000);
    f.bar->show();
    QTest::mouseClick(f.bar->Button(1), Qt::LeftButton);
    EXPECT_EQ(f.runs[0], 0);
    EXPECT_EQ(f.runs[1], 1);
    EXPECT_EQ(f.runs[2], 0);
    QTest::mouseClick(f.bar->Button(1), Qt::RightButton);
    EXPECT_EQ(f.runs[1], 1);
}

TEST(ActionToolBar, ReleaseOutsideTheButtonRunsNothing)
{
    Fixture f(1000);
    f.bar->show();
    QWidget* button = f.bar->Button(0);
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(button->width() + 5, 5));
    EXPECT_EQ(f.runs[0], 0);
}

TEST(ActionToolBar, ButtonsTakeNoFocusAndNoKeys)
{
    Fixture f(1000);
    f.bar->show();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(f.bar->Button(i)->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(f.bar->focusPolicy(), Qt::NoFocus);
    QTest::keyClick(f.bar.get(), Qt::Key_E, Qt::AltModifier);
    QTest::keyClick(f.bar.get(), Qt::Key_W, Qt::AltModifier);
    QTest::keyClick(f.bar->Button(0), Qt::Key_E);
    QTest::keyClick(f.bar->Button(0), Qt::Key_Space);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.runs[0] + f.runs[1] + f.runs[2], 0);
}

TEST(ActionToolBar, ButtonsArePushButtonsForAccessibility)
{
    Fixture f(1000);
    f.bar->show();
    const char* expected[] = {"Eins", "Zwei", "Drei"};
    for (int i = 0; i < 3; ++i) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(f.bar->Button(i));
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->role(), QAccessible::Button);
        EXPECT_EQ(iface->text(QAccessible::Name), QString::fromLatin1(expected[i]));
        ASSERT_NE(iface->actionInterface(), nullptr);
        EXPECT_TRUE(
            iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    }
    // A press returns at once; the action runs from the event loop right after.
    QAccessibleInterface* drei = QAccessible::queryAccessibleInterface(f.bar->Button(2));
    drei->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(f.runs[2], 0);
    QTRY_COMPARE(f.runs[2], 1);

    // A disabled button reports so and ignores presses, also one queued before it was disabled.
    EXPECT_FALSE(drei->state().disabled);
    drei->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    f.bar->setEnabled(false);
    EXPECT_TRUE(drei->state().disabled);
    drei->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTest::mouseClick(f.bar->Button(2), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.runs[2], 1);
    f.bar->setEnabled(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.runs[2], 1);
}

TEST(ActionToolBar, ErrorInAHandlerDoesNotEscapeTheClick)
{
    Fixture f(1000);
    f.manager.Find("Eins")->OnExecute = [] { throw EAbort(""); };
    f.bar->show();
    EXPECT_NO_THROW(QTest::mouseClick(f.bar->Button(0), Qt::LeftButton));
}

} // namespace
