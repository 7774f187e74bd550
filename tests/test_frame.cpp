#include "toolkit/application.h"

#include "tests/support/application.h"
#include "toolkit/forms.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_destroyed;

class LoggingForm : public TForm
{
public:
    LoggingForm() : TForm("Form" + std::to_string(++s_count), TRect{100, 100, 708, 430})
    {
        SetOnDestroy([this] { g_destroyed.push_back(Name()); });
    }
    static inline int s_count = 0;
};

} // namespace

TEST(Window, HiddenPlacementIsTheDesignedOuterRectangle)
{
    TForm form("Placed", TRect{100, 100, 708, 430});
    const TWindowPlacement p = form.GetWindowPlacement();
    EXPECT_EQ(p.showCmd, SW_SHOWNORMAL);
    EXPECT_EQ(p.ptMinPosition, (TPoint{-1, -1}));
    EXPECT_EQ(p.rcNormalPosition, (TRect{100, 100, 708, 430}));
    EXPECT_EQ(form.width(), 600);
    EXPECT_EQ(form.height(), 303);
    form.SetWindowPlacement(TWindowPlacement{44, 0, 1, {-1, -1}, {-1, -1}, {50, 60, 658, 390}});
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.GetWindowPlacement().rcNormalPosition, (TRect{50, 60, 658, 390}));
}

TEST(Window, ClosingAModalWindowEndsItWithCancel)
{
    TForm form("Modal", TRect{0, 0, 308, 227});
    QTimer::singleShot(0, &form, [&form] { form.Close(); });
    EXPECT_EQ(form.ShowModal(), 2);
    EXPECT_FALSE(form.isVisible());
}

TEST(Window, ComponentsAreFoundWithoutRegardToCase)
{
    TForm form("Components", TRect{0, 0, 308, 227});
    QObject editor;
    form.RegisterComponent("Verknuepfungseditor", &editor, nullptr);
    EXPECT_TRUE(form.HasComponent("VERKNUEPFUNGSEDITOR"));
    EXPECT_FALSE(form.HasComponent("Other"));
    EXPECT_EQ(form.FindStringsProperty("verknuepfungseditor", "NoSuch"), nullptr);
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        TestApplication<TApplication> app(argv[0]);
        app->SetTitle("Ventiro");
        result = RUN_ALL_TESTS();
        LoggingForm* first = nullptr;
        LoggingForm* second = nullptr;
        app->CreateForm(first);
        app->CreateForm(second);
        if (app->MainForm() != first)
            result = 1;
        QTimer::singleShot(0, first, [first] { first->Close(); });
        app->Run(); // closing the main window ends the loop
    }
    // Shutdown: windows go last created first.
    if (g_destroyed != std::vector<std::string>{"Form2", "Form1"}) {
        std::fprintf(stderr, "shutdown order wrong\n");
        result = 1;
    }
    return result;
}
