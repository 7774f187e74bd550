// The first showing of a window on a small screen: a 1920x1080 screen at 200 % is 960x540 logical
// pixels (the test runs with that screen, see tests/frame.cmake).
#include "platform/winuser.h"
#include "tests/support/application.h"
#include "toolkit/application.h"
#include "toolkit/forms.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

struct FitCase
{
    const char* name;
    TRect designed;                // the outer rectangle as designed
    std::optional<TRect> restored; // a stored placement put in force before the showing
    QPoint expected;               // where the client area is once shown
};

const auto* const application = UseTestApplication<TApplication>("test_window_fit");

TEST(WindowFit, DesignedPlaceMovesUntilTheWholeWindowIsOnTheScreen)
{
    ASSERT_EQ(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 960, 540));

    const FitCase cases[] = {
        // The panel's main window: 608x330 with its frame, 69 pixels too low.
        {"designed, past the bottom", {326, 279, 934, 609}, std::nullopt, {326, 210}},
        {"designed, past the right and bottom", {700, 400, 1100, 700}, std::nullopt, {560, 240}},
        {"designed, whole", {10, 20, 618, 350}, std::nullopt, {10, 20}},
        {"stored, partly off the screen, stays", {10, 20, 618, 350}, TRect{326, 279, 934, 609}, {326, 279}},
    };
    for (const FitCase& c : cases) {
        SCOPED_TRACE(c.name);
        TForm form("Fit", c.designed);
        if (c.restored) {
            TWindowPlacement placement = form.GetWindowPlacement();
            placement.rcNormalPosition = *c.restored;
            form.SetWindowPlacement(placement);
        }
        form.show();
        EXPECT_EQ(form.geometry().topLeft(), c.expected);
        EXPECT_EQ(form.size(), QSize(c.designed.right - c.designed.left, c.designed.bottom - c.designed.top) -
                                   QSize(kSizeableFrameWidth, kSizeableFrameHeight))
            << "moved, never resized";
    }
}

} // namespace
