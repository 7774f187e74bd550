// A real Qt window keeps its placement through its form storage: moved, resized, maximized or
// minimized and closed, it comes back the same way in the next run.
#include "platform/profile.h"
#include "storage/form_storage.h"
#include "tests/support/application.h"
#include "tests/support/files.h"
#include "tests/support/recording_window.h"
#include "toolkit/application.h"
#include "toolkit/forms.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

TApplication& app()
{
    return *Application;
}

// A window as the program builds them: designed rectangle, then its storage on one section.
class StoredForm : public TForm
{
public:
    StoredForm(const std::string& ini, const std::string& section)
        : TForm("StoredForm", {326, 279, 934, 609}), Storage(NewFormStorage(*this, ini, section))
    {}
    std::unique_ptr<TFormStorage> Storage;
};

std::string readKey(const std::string& ini, const char* section, const char* key)
{
    return platform::GetPrivateProfileStringA(section, key, "", ini.c_str());
}

// The window that the application treats as its main window: the first one it creates.
std::string g_mainIni;

class MainForm : public StoredForm
{
public:
    MainForm() : StoredForm(g_mainIni, "Main") {}
};

MainForm* g_main = nullptr;

// The main window goes with the application object; the folder of the INI file it last used went
// with the test that used it, so it saves nothing when it goes.
const auto* const application =
    UseTestApplication<TApplication>("test_window_placement", {}, [](TApplication&) {
        if (g_main != nullptr)
            g_main->Storage->Active = false;
    });

StoredForm& mainForm(const std::string& ini)
{
    g_mainIni = ini;
    if (g_main == nullptr)
        app().CreateForm(g_main);
    g_main->Storage->IniFileName = ini;
    return *g_main;
}

class WindowPlacement : public ::testing::Test
{
protected:
    // The main window, shared by the tests, goes back to hidden and normal.
    void TearDown() override
    {
        if (g_main != nullptr) {
            g_main->hide();
            g_main->setWindowState(Qt::WindowNoState);
        }
    }
    const TempDir dir;
    const std::string ini = dir.file("Ventiro.ini");
};

} // namespace

TEST_F(WindowPlacement, MovedAndResizedWindowComesBackThere)
{
    mainForm(ini); // the main window exists, so the windows below are ordinary ones
    {
        StoredForm form(ini, "Other");
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.setGeometry(140, 90, 700, 400);
        form.Close(); // the close query saves
        EXPECT_FALSE(form.isVisible());
    }
    // The outer rectangle: the client grown by the window frame.
    EXPECT_EQ(readKey(ini, "Other", "NormPos"), "140,90,848,517");
    EXPECT_EQ(readKey(ini, "Other", "ShowCmd"), "1");

    StoredForm again(ini, "Other");
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    EXPECT_EQ(again.GetWindowPlacement().rcNormalPosition, (TRect{140, 90, 848, 517}));
    EXPECT_EQ(again.size(), QSize(700, 400));
    again.hide();
}

TEST_F(WindowPlacement, MaximizedWindowKeepsItsNormalRectangle)
{
    mainForm(ini);
    {
        StoredForm form(ini, "Other");
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.setGeometry(200, 150, 600, 303);
        form.showMaximized();
        QTRY_VERIFY(form.isMaximized());
        form.Close();
    }
    EXPECT_EQ(readKey(ini, "Other", "ShowCmd"), "3");
    EXPECT_EQ(readKey(ini, "Other", "NormPos"), "200,150,808,480");

    StoredForm again(ini, "Other");
    again.show();
    QTRY_VERIFY(again.isMaximized());
    EXPECT_EQ(again.GetWindowPlacement().rcNormalPosition, (TRect{200, 150, 808, 480}));
    again.hide();
}

TEST_F(WindowPlacement, MainWindowSavedMinimizedStartsTheApplicationMinimized)
{
    StoredForm& form = mainForm(ini);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.showMinimized();
    QTRY_VERIFY(form.isMinimized());
    form.Storage->SaveToIni();
    EXPECT_EQ(readKey(ini, "Main", "ShowCmd"), "2");

    // The next run: the window is shown normal, then the application minimizes itself.
    form.hide();
    form.setWindowState(Qt::WindowNoState);
    form.show();
    EXPECT_EQ(form.WindowState(), TWindowState::wsNormal);
    QTRY_VERIFY(form.isMinimized());
}

TEST_F(WindowPlacement, RectangleOfAMonitorThatIsGoneComesBackOnScreen)
{
    mainForm(ini);
    platform::WritePrivateProfileStringA("Other", "NormPos", "5000,4000,5608,4330", ini.c_str());
    platform::WritePrivateProfileStringA("Other", "ShowCmd", "1", ini.c_str());
    platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    StoredForm form(ini, "Other");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_TRUE(screen.contains(form.frameGeometry().topLeft())) << form.x() << "," << form.y();
    EXPECT_EQ(form.size(), QSize(600, 303));
    form.hide();
}

// Run as its own process with VENTIRO_SHOWCMD set (see the test list): the show request of a shortcut.
TEST(StartupShowRequest, MainWindowStartsAsRequestedWithItsPlacementRestored)
{
    const int request = app().StartupShowCommand();
    if (request != 3 && request != 7)
        GTEST_SKIP() << "needs VENTIRO_SHOWCMD=3 or 7";
    if (!FirstRunInThisProcess())
        GTEST_SKIP() << "the show request is handed out once per process";
    const TempDir dir;
    const std::string ini = dir.file("Ventiro.ini");
    platform::WritePrivateProfileStringA("Main", "ShowCmd", "1", ini.c_str());
    platform::WritePrivateProfileStringA("Main", "NormPos", "100,110,708,440", ini.c_str());
    platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    StoredForm& form = mainForm(ini);
    bool restored = false;
    Qt::WindowStates state;
    TRect normal;
    QTimer::singleShot(0, &form, [&] {
        restored = form.Storage->Restored();
        state = form.windowState();
        normal = form.GetWindowPlacement().rcNormalPosition;
        app().Terminate();
    });
    app().Run();
    EXPECT_TRUE(restored);
    EXPECT_EQ(normal, (TRect{100, 110, 708, 440}));
    if (request == 7)
        EXPECT_TRUE(state.testFlag(Qt::WindowMinimized));
    else
        EXPECT_EQ(state, Qt::WindowMaximized);
}
