#include "app/Ventiro_Unit1.h"

#include "app/Einstellungen_Unit1.h"
#include "launch/default_launch_table.h"
#include "launch/panel_buttons.h"
#include "platform/shell_codes.h"
#include "storage/form_storage.h"
#include "tests/support/application.h"
#include "tests/support/files.h"
#include "toolkit/action_toolbar.h"
#include "toolkit/actions.h"
#include "toolkit/ansi.h"
#include "toolkit/application.h"
#include "toolkit/image_list.h"
#include "toolkit/message_dialog.h"
#include "toolkit/services.h"
#include "toolkit/status_bar.h"
#include "toolkit/value_list_editor.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QDir>
#include <QFontInfo>
#include <QGroupBox>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

struct ShellCall
{
    void* owner;
    std::string operation, file, parameters, directory;
    int showCmd;
};

std::vector<ShellCall>& shellCalls()
{
    static std::vector<ShellCall> calls;
    return calls;
}

// What the stand-in shell answers: above 32 is success, 32 or less a failure the launcher reports.
std::intptr_t& shellResult()
{
    static std::intptr_t result = platform::shellcode::kStarted;
    return result;
}

std::string iniPath()
{
    static const TempDir dir;
    return dir.file("Ventiro.ini");
}

// The program's two windows, shared by the tests, with the stand-in shell as their services.
void createWindows(TApplication& app)
{
    // The program's own INI file is Ventiro.ini beside it (in the system's own spelling: "\\" on
    // Windows); the run's goes to a temporary folder, never next to the test program.
    ASSERT_EQ(
        PanelIniFileName(),
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/Ventiro.ini").toStdString());
    TServices services;
    services.iniFile = iniPath();
    services.shellOpen = [](void* owner, const char* operation, const char* file, const char* parameters,
                            const char* directory, int showCmd) -> std::intptr_t {
        shellCalls().push_back(ShellCall{owner, operation, file, parameters, directory, showCmd});
        return shellResult();
    };
    SetServices(services);
    app.CreateForm(Ventiro_Form1);
    app.CreateForm(Einstellungen_Form1);
    Einstellungen_Form1->SetImages(Ventiro_Form1->ImageList1);
    ASSERT_EQ(Ventiro_Form1->FormStorage1->IniFileName, iniPath());
    ASSERT_EQ(Einstellungen_Form1->FormStorage1->IniFileName, iniPath());
}

const auto* const application = UseTestApplication<TApplication>("test_main_window", createWindows,
                                                                 [](TApplication&) { SetServices({}); });

std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

TActionToolBar* bar(int number)
{
    switch (number) {
    case 1:
        return Ventiro_Form1->ActionToolBar1;
    case 2:
        return Ventiro_Form1->ActionToolBar2;
    case 4:
        return Ventiro_Form1->ActionToolBar4;
    case 5:
        return Ventiro_Form1->ActionToolBar5;
    default:
        return Ventiro_Form1->ActionToolBar6;
    }
}

class MainWindow : public testing::Test
{
protected:
    void SetUp() override
    {
        Ventiro_Form1->resize(600, 303);
        Ventiro_Form1->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Ventiro_Form1));
        shellCalls().clear();
    }
    // What a test changes of the shared state goes back, whether the test passed or not.
    void TearDown() override
    {
        Einstellungen_Form1->Verknuepfungseditor->Strings().Assign(DefaultLaunchTable());
        shellResult() = platform::shellcode::kStarted;
        std::remove(iniPath().c_str());
    }
};

// Closes the settings window when it goes out of scope: also after a failed check in its modal loop.
struct SettingsClosedAtEnd
{
    ~SettingsClosedAtEnd() { Einstellungen_Form1->SchliessenExecute(); }
};

// For the length of a test, a settings window that no test has shown yet stands in for the shared one.
class FreshSettingsWindow
{
public:
    FreshSettingsWindow() : m_shared(Einstellungen_Form1), m_fresh(std::make_unique<TEinstellungen_Form1>())
    {
        m_fresh->SetImages(Ventiro_Form1->ImageList1);
        Einstellungen_Form1 = m_fresh.get();
    }
    ~FreshSettingsWindow() { Einstellungen_Form1 = m_shared; }
    FreshSettingsWindow(const FreshSettingsWindow&) = delete;
    FreshSettingsWindow& operator=(const FreshSettingsWindow&) = delete;

private:
    TEinstellungen_Form1* m_shared;
    std::unique_ptr<TEinstellungen_Form1> m_fresh;
};

TEST_F(MainWindow, DesignedLayoutWithTheRealFont)
{
    const QString family = QFontInfo(Ventiro_Form1->font()).family();
    EXPECT_TRUE(family == QLatin1String("MS Sans Serif") || family == QLatin1String("Microsoft Sans Serif") ||
                family == QLatin1String("Liberation Sans") || family == QLatin1String("Arial"))
        << family.toStdString();
    EXPECT_EQ(Ventiro_Form1->size(), QSize(600, 303));

    struct Box
    {
        QGroupBox* box;
        const char* caption;
        int top, height;
        QColor colour;
        TActionToolBar* bar;
        int rows;
    };
    const QColor blue(240, 251, 255), green(192, 220, 192);
    const Box boxes[] = {
        {Ventiro_Form1->GroupBox1, "Hauptmen\xFC", 0, 81, blue, Ventiro_Form1->ActionToolBar2, 2},
        {Ventiro_Form1->GroupBox2, "NC-Bereich", 81, 48, green, Ventiro_Form1->ActionToolBar1, 1},
        {Ventiro_Form1->GroupBox3, "2D-Bereich", 129, 48, blue, Ventiro_Form1->ActionToolBar4, 1},
        {Ventiro_Form1->GroupBox4, "Lizensierung", 177, 48, green, Ventiro_Form1->ActionToolBar6, 1},
        {Ventiro_Form1->GroupBox5, "Allgemein", 225, 48, blue, Ventiro_Form1->ActionToolBar5, 1}};
    for (const Box& b : boxes) {
        SCOPED_TRACE(b.caption);
        EXPECT_EQ(b.box->title(), toQString(b.caption));
        EXPECT_EQ(b.box->geometry(), QRect(0, b.top, 600, b.height));
        EXPECT_EQ(b.box->palette().color(QPalette::Window), b.colour);
        EXPECT_EQ(b.bar->parentWidget(), b.box);
        EXPECT_EQ(b.bar->geometry(), QRect(2, 15, 596, b.rows == 2 ? 54 : 26));
        EXPECT_EQ(b.bar->RowCount(), b.rows);
    }
    EXPECT_EQ(Ventiro_Form1->palette().color(QPalette::Window), blue);
    EXPECT_EQ(Ventiro_Form1->StatusBar1->geometry(), QRect(0, 284, 600, 19));
    EXPECT_TRUE(Ventiro_Form1->StatusBar1->AutoHint);
}

TEST_F(MainWindow, WidthChangesRelayTheBarsButNotTheGroupHeights)
{
    Ventiro_Form1->resize(1400, 303);
    EXPECT_EQ(Ventiro_Form1->ActionToolBar2->RowCount(), 1);
    EXPECT_EQ(Ventiro_Form1->ActionToolBar2->geometry(), QRect(2, 15, 1396, 26));
    EXPECT_EQ(Ventiro_Form1->GroupBox1->height(), 81);
    EXPECT_EQ(Ventiro_Form1->GroupBox2->geometry(), QRect(0, 81, 1400, 48));

    Ventiro_Form1->resize(1400, 500); // only the band under the groups grows
    EXPECT_EQ(Ventiro_Form1->GroupBox5->geometry(), QRect(0, 225, 1400, 48));
    EXPECT_EQ(Ventiro_Form1->StatusBar1->geometry(), QRect(0, 481, 1400, 19));

    Ventiro_Form1->resize(100, 303); // the minimum holds
    EXPECT_EQ(Ventiro_Form1->width(), 592);
    EXPECT_EQ(Ventiro_Form1->StatusBar1->width(), 600);
    EXPECT_EQ(Ventiro_Form1->GroupBox1->height(), 81);
    EXPECT_EQ(Ventiro_Form1->ActionToolBar2->RowCount(), 2);
}

// The bar a button row names, and the button of a row on it.
TActionToolBar* barOf(PanelBar panelBar)
{
    const int numbers[] = {2, 1, 4, 6, 5}; // the bars' object names, from the top down
    return bar(numbers[static_cast<int>(panelBar)]);
}

QWidget* buttonOf(const PanelButton& row)
{
    return barOf(row.bar)->Button(row.position - 1);
}

TEST_F(MainWindow, ActionsAndBarsAreBuiltFromTheButtonRows)
{
    const auto& actions = Ventiro_Form1->ActionManager1->Actions();
    const auto rows = PanelButtons();
    ASSERT_EQ(actions.size(), rows.size());
    std::map<PanelBar, std::size_t> perBar;
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const PanelButton& row = rows[i];
        SCOPED_TRACE(row.action);
        EXPECT_EQ(actions[i]->Name, row.action);
        EXPECT_EQ(actions[i]->Category, row.category);
        EXPECT_EQ(actions[i]->Hint, row.hint);
        EXPECT_EQ(actions[i]->ImageIndex, row.glyph);
        std::string plain = row.caption;
        ASSERT_EQ(std::erase(plain, '&'), 1u); // one accelerator per button
        EXPECT_EQ(actions[i]->Caption, plain);
        // Every button stands at its place, with the caption that shows its accelerator.
        const auto& items = barOf(row.bar)->Items();
        ASSERT_GE(row.position, 1);
        ASSERT_LE(static_cast<std::size_t>(row.position), items.size());
        const TActionClientItem& item = items[static_cast<std::size_t>(row.position - 1)];
        EXPECT_EQ(item.Action, actions[i].get());
        EXPECT_EQ(item.Caption, row.caption);
        EXPECT_EQ(item.ImageIndex, row.glyph);
        EXPECT_EQ(buttonOf(row)->accessibleName(), toQString(plain));
        ++perBar[row.bar];
    }
    // Every bar has a button and holds its rows' buttons only: the places are filled from 1 on.
    ASSERT_EQ(perBar.size(), 5u);
    for (const auto& [panelBar, count] : perBar)
        EXPECT_EQ(barOf(panelBar)->Items().size(), count);
    // A few designed values: the close button is the first action and the last button of the top bar.
    EXPECT_EQ(actions.front()->Name, "Schliessen");
    EXPECT_EQ(Ventiro_Form1->ActionToolBar2->Items().back().Action->Name, "Schliessen");
    EXPECT_EQ(Ventiro_Form1->ActionToolBar1->Items().front().Caption, "&Simula");
    EXPECT_EQ(Ventiro_Form1->ActionToolBar6->Items().size(), 2u);

    EXPECT_EQ(Ventiro_Form1->ImageList1->Count(), 24);
    EXPECT_EQ(Ventiro_Form1->ImageList1->Width(), 16);
    EXPECT_FALSE(Ventiro_Form1->ImageList1->Get(23).isNull());
    EXPECT_TRUE(Ventiro_Form1->ImageList1->Get(0).hasAlphaChannel());
    // Screen readers and UI automation see each group by its caption and each button as a button.
    for (QGroupBox* group : {Ventiro_Form1->GroupBox1, Ventiro_Form1->GroupBox2, Ventiro_Form1->GroupBox3,
                             Ventiro_Form1->GroupBox4, Ventiro_Form1->GroupBox5}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(group);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::Grouping);
        EXPECT_EQ(a->text(QAccessible::Name), group->title());
    }
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(bar(1)->Button(0));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->role(), QAccessible::Button);
    ASSERT_NE(button->actionInterface(), nullptr);
    EXPECT_TRUE(button->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
}

TEST_F(MainWindow, EachLaunchButtonOpensTheEntryOfItsKey)
{
    // One distinct program per table line, under the designed names (which differ in case from the
    // keys for several buttons).
    std::vector<std::string> lines;
    for (const std::string& line : DefaultLaunchTable()) {
        const std::string name = line.substr(0, line.find('='));
        lines.push_back(name + "=C:\\tools\\" + name + ".exe");
    }
    Einstellungen_Form1->Verknuepfungseditor->Strings().Assign(lines);

    int launching = 0;
    for (const PanelButton& row : PanelButtons()) {
        if (!row.launchKey)
            continue;
        SCOPED_TRACE(row.action);
        ++launching;
        shellCalls().clear();
        QTest::mouseClick(buttonOf(row), Qt::LeftButton);
        ASSERT_EQ(shellCalls().size(), 1u);
        const ShellCall& call = shellCalls().front();
        EXPECT_EQ(call.file, upper(std::string(row.launchKey)) + ".EXE");
        EXPECT_EQ(call.parameters, "-");
        EXPECT_EQ(call.directory, "C:\\TOOLS\\");
        EXPECT_EQ(call.operation, "open");
        EXPECT_EQ(call.showCmd, 1); // normal window
        EXPECT_EQ(call.owner, Application->Handle());
    }
    EXPECT_EQ(static_cast<std::size_t>(launching), DefaultLaunchTable().size());
    // The handlers by name do what their buttons do.
    shellCalls().clear();
    Ventiro_Form1->DeleteWaExecute();
    ASSERT_EQ(shellCalls().size(), 1u);
    EXPECT_EQ(shellCalls().front().file, "DELWA.EXE");
}

TEST_F(MainWindow, TableRestoresAndLaunchesWithoutTheSettingsView)
{
    // A settings window that no test has opened: its grid has never been needed.
    const FreshSettingsWindow fresh;
    ASSERT_EQ(Einstellungen_Form1->Verknuepfungseditor->findChild<QTableView*>("Grid"), nullptr);
    {
        std::ofstream ini(iniPath(), std::ios::binary | std::ios::trunc);
        ini << "[Einstellungenmaske.Verknuepfungseditor_Strings]\r\nCount=2\r\n"
               "Item0=CimE=c:\\restored\\cim.exe[-x]\r\nItem1=Farben=d:\\f.exe\r\n";
    }
    // Shown again, the main window's show handler refreshes the editor and restores the table.
    Ventiro_Form1->hide();
    Ventiro_Form1->show();
    EXPECT_EQ(Einstellungen_Form1->Verknuepfungseditor->Strings().Count(), 2);
    QTest::mouseClick(Ventiro_Form1->ActionToolBar2->Button(0), Qt::LeftButton);
    ASSERT_EQ(shellCalls().size(), 1u);
    EXPECT_EQ(shellCalls().front().file, "CIM.EXE");
    EXPECT_EQ(shellCalls().front().parameters, "-X");
    EXPECT_EQ(shellCalls().front().directory, "C:\\RESTORED\\");
    EXPECT_EQ(Einstellungen_Form1->Verknuepfungseditor->findChild<QTableView*>("Grid"), nullptr);

    // The grid built later starts on the first row, with the restored text.
    Einstellungen_Form1->show();
    auto* grid = Einstellungen_Form1->Verknuepfungseditor->findChild<QTableView*>("Grid");
    auto* line = Einstellungen_Form1->Verknuepfungseditor->findChild<QLineEdit*>("InplaceEditor");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->currentIndex().row(), 0);
    EXPECT_EQ(line->text(), QString("c:\\restored\\cim.exe[-x]"));
    QTest::keyClick(line, Qt::Key_Down);
    EXPECT_EQ(line->text(), QString("d:\\f.exe"));
    EXPECT_EQ(grid->currentIndex().row(), 1);
    Einstellungen_Form1->hide();
}

TEST_F(MainWindow, EinstellungenOpensTheSettingsWindowModally)
{
    bool wasOpen = false;
    bool mainDisabled = false;
    QTimer::singleShot(0, [&] {
        const SettingsClosedAtEnd closed;
        QTRY_VERIFY(Einstellungen_Form1->isVisible());
        wasOpen = true;
        mainDisabled =
            !Ventiro_Form1->isEnabled() || QApplication::activeModalWidget() == Einstellungen_Form1;
    });
    QTest::mouseClick(Ventiro_Form1->ActionToolBar2->Button(8), Qt::LeftButton);
    EXPECT_TRUE(wasOpen);
    EXPECT_TRUE(mainDisabled);
    EXPECT_FALSE(Einstellungen_Form1->isVisible());
    EXPECT_TRUE(shellCalls().empty());
}

// Calls `check` with the modal window once one is up, from inside that window's own event loop.
void onceModal(const std::function<void(QWidget*)>& check)
{
    QTimer::singleShot(5, [check] {
        if (QWidget* modal = QApplication::activeModalWidget())
            check(modal);
        else
            onceModal(check);
    });
}

QAccessibleInterface* accessibleButton(int barNumber, int index)
{
    return QAccessible::queryAccessibleInterface(bar(barNumber)->Button(index));
}

void press(QAccessibleInterface* button)
{
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

// While a modal window is up, each of these main-window buttons is pressed by the mouse and through
// the accessibility interface, and must run nothing and report itself not available.
void pressBlockedButtons(const std::vector<std::pair<int, int>>& buttons)
{
    for (const auto& [barNumber, index] : buttons) {
        SCOPED_TRACE(bar(barNumber)->Button(index)->accessibleName().toStdString());
        QAccessibleInterface* button = accessibleButton(barNumber, index);
        EXPECT_TRUE(button->state().disabled);
        EXPECT_FALSE(button->state().focusable);
        press(button);
        QTest::mouseClick(bar(barNumber)->Button(index), Qt::LeftButton);
        QTest::keyClick(bar(barNumber)->Button(index), Qt::Key_Space);
        // The window keeps its look: its controls draw as in an inactive window.
        const QPalette look = bar(barNumber)->Button(index)->palette();
        EXPECT_EQ(look.color(QPalette::Disabled, QPalette::ButtonText),
                  look.color(QPalette::Inactive, QPalette::ButtonText));
    }
    QCoreApplication::processEvents();
}

TEST_F(MainWindow, SettingsWindowBlocksEveryWayOfPressingAButton)
{
    const QColor blue = Ventiro_Form1->palette().color(QPalette::Window);
    bool checked = false;
    onceModal([&](QWidget* modal) {
        const SettingsClosedAtEnd closed;
        EXPECT_EQ(modal, Einstellungen_Form1);
        // CimE, Einstellungen, Schliessen, Simula, CimInfo
        pressBlockedButtons({{2, 0}, {2, 8}, {2, 9}, {1, 0}, {5, 5}});
        EXPECT_TRUE(shellCalls().empty());
        EXPECT_FALSE(Application->Terminated());
        EXPECT_EQ(QApplication::activeModalWidget(), Einstellungen_Form1); // opened once
        checked = true;
    });
    // The press returns before the settings window is even shown, let alone closed.
    press(accessibleButton(2, 8));
    EXPECT_FALSE(Einstellungen_Form1->isVisible());
    QTRY_VERIFY(checked);
    EXPECT_FALSE(Einstellungen_Form1->isVisible());

    // Closed: the buttons are available and work again, and the window has its colours back.
    QAccessibleInterface* cimE = accessibleButton(2, 0);
    EXPECT_FALSE(cimE->state().disabled);
    EXPECT_TRUE(Ventiro_Form1->isEnabled());
    EXPECT_EQ(Ventiro_Form1->palette().color(QPalette::Window), blue);
    press(cimE);
    QTRY_COMPARE(shellCalls().size(), 1u);
}

TEST_F(MainWindow, NoSecondLaunchWhileAMessageIsShown)
{
    shellResult() = platform::shellcode::kFileNotFound; // the launcher shows its message
    bool checked = false;
    onceModal([&](QWidget* modal) {
        auto* message = dynamic_cast<TMessageForm*>(modal);
        EXPECT_NE(message, nullptr);
        pressBlockedButtons({{1, 0}, {2, 1}, {2, 8}}); // Simula, CatiaR2D, Einstellungen
        EXPECT_EQ(shellCalls().size(), 1u);
        EXPECT_FALSE(Einstellungen_Form1->isVisible());
        checked = true;
        if (message != nullptr)
            QTest::mouseClick(message->OK, Qt::LeftButton);
        else
            modal->close();
    });
    press(accessibleButton(2, 0)); // CimE
    QTRY_VERIFY(checked);
    EXPECT_EQ(shellCalls().size(), 1u);
    EXPECT_FALSE(accessibleButton(1, 0)->state().disabled);
}

TEST_F(MainWindow, AcceleratorLettersRunNothing)
{
    const Qt::Key letters[] = {Qt::Key_C, Qt::Key_A, Qt::Key_D, Qt::Key_E, Qt::Key_H, Qt::Key_S,
                               Qt::Key_N, Qt::Key_V, Qt::Key_I, Qt::Key_F, Qt::Key_G, Qt::Key_L};
    for (Qt::Key letter : letters) {
        QTest::keyClick(Ventiro_Form1, letter, Qt::AltModifier);
        QTest::keyClick(Ventiro_Form1, letter);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(shellCalls().empty());
    EXPECT_TRUE(Ventiro_Form1->isVisible());
    EXPECT_FALSE(Einstellungen_Form1->isVisible());
}

TEST_F(MainWindow, StatusBarAndTooltipFollowTheButtonUnderTheMouse)
{
    auto* status = Ventiro_Form1->StatusBar1;
    auto restOn = [](QWidget* w, QPoint at = QPoint(8, 8)) { QTest::mouseMove(w, at); };

    restOn(Ventiro_Form1->ActionToolBar2->Button(0)); // CimE
    QTRY_COMPARE(QString::fromStdString(status->SimpleText()), QStringLiteral("Cimatron-E starten"));
    QTRY_VERIFY(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Cimatron-E starten"));

    restOn(Ventiro_Form1->GroupBox1, QPoint(300, 5)); // the group's caption row
    QTRY_COMPARE(QString::fromStdString(status->SimpleText()), QString());

    restOn(Ventiro_Form1->ActionToolBar2->Button(3)); // DelDi: no hint
    QTRY_COMPARE(QString::fromStdString(status->SimpleText()), QString());
    QTRY_VERIFY(!QToolTip::isVisible());

    restOn(Ventiro_Form1->ActionToolBar1->Button(0)); // Simula on a bar without tooltips
    QTRY_COMPARE(QString::fromStdString(status->SimpleText()), QStringLiteral("Simula"));
    QWidget* simula = Ventiro_Form1->ActionToolBar1->Button(0);
    QHelpEvent askForTip(QEvent::ToolTip, QPoint(8, 8), simula->mapToGlobal(QPoint(8, 8)));
    QApplication::sendEvent(simula, &askForTip); // what the pointer resting on the button asks for
    EXPECT_FALSE(QToolTip::isVisible());

    restOn(Ventiro_Form1->ActionToolBar5->Button(3)); // DIPref, then DIRSize: both without hint
    QTRY_COMPARE(QString::fromStdString(status->SimpleText()), QString());
    restOn(Ventiro_Form1->ActionToolBar5->Button(4));
    QTRY_VERIFY(Ventiro_Form1->ActionToolBar5->Button(4)->underMouse());
    QCoreApplication::processEvents(); // the hint update that leaving DIPref queued
    EXPECT_EQ(status->SimpleText(), "");
    EXPECT_EQ(Hint(Ventiro_Form1->ActionToolBar5->Button(4)), "");
    EXPECT_EQ(Hint(Ventiro_Form1->ActionToolBar5), "");
    EXPECT_EQ(Hint(Ventiro_Form1->GroupBox5), "");
}

// Closing runs once per process, so each way of closing has its own run (see tests/mainwin.cmake).
void closeAndCheck(const std::function<void()>& close)
{
    QFile::remove(QString::fromStdString(iniPath()));
    Ventiro_Form1->hide();
    QTimer::singleShot(0, [close] {
        QTRY_VERIFY(Ventiro_Form1->isVisible());
        Ventiro_Form1->move(111, 122);
        close();
    });
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
    const std::string ini = readBytes(iniPath());
    EXPECT_NE(ini.find("[Pultaro]\r\n"), std::string::npos) << ini;
}

TEST(MainWindowClose, BySchliessenButton)
{
    const char* way = std::getenv("VENTIRO_CLOSE_WAY");
    if (!way || std::string(way) != "button" || !FirstRunInThisProcess())
        GTEST_SKIP() << "runs once, in its own process";
    closeAndCheck([] { QTest::mouseClick(Ventiro_Form1->ActionToolBar2->Button(9), Qt::LeftButton); });
}

TEST(MainWindowClose, ByCloseBox)
{
    const char* way = std::getenv("VENTIRO_CLOSE_WAY");
    if (!way || std::string(way) != "box" || !FirstRunInThisProcess())
        GTEST_SKIP() << "runs once, in its own process";
    closeAndCheck([] { Ventiro_Form1->close(); });
}

} // namespace

TEST_F(MainWindow, AtTheMinimumWidthNoSliverOfTheSizeGripShows)
{
    const QRgb grip = Ventiro_Form1->StatusBar1->palette().color(QPalette::Dark).rgb();
    for (const int width : {592, 700}) {
        SCOPED_TRACE(width);
        Ventiro_Form1->resize(width, 303);
        const QImage corner = Ventiro_Form1->grab(QRect(width - 14, 303 - 19, 14, 19)).toImage();
        bool drawn = false;
        for (int y = 0; y < corner.height(); ++y) {
            for (int x = 0; x < corner.width(); ++x)
                drawn = drawn || corner.pixel(x, y) == grip;
        }
        EXPECT_EQ(drawn, width == 700);
    }
}

TEST_F(MainWindow, SettingsWindowStoredMinimisedOpensNormal)
{
    const FreshSettingsWindow fresh;
    std::ofstream(iniPath(), std::ios::binary | std::ios::trunc) << "[Einstellungenmaske]\r\nShowCmd=2\r\n";
    bool visible = false;
    bool minimised = true;
    QTimer::singleShot(0, [&] {
        const SettingsClosedAtEnd closed;
        visible = Einstellungen_Form1->isVisible();
        minimised = Einstellungen_Form1->isMinimized();
    });
    Ventiro_Form1->EinstellungenExecute();
    EXPECT_TRUE(visible);
    EXPECT_FALSE(minimised) << "the main window waits for it, so it must be there to click";
}
