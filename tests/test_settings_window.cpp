#include "app/Einstellungen_Unit1.h"

#include "app/Ventiro_Unit1.h"
#include "launch/default_launch_table.h"
#include "storage/form_storage.h"
#include "tests/support/application.h"
#include "tests/support/qt_files.h"
#include "toolkit/action_toolbar.h"
#include "toolkit/application.h"
#include "toolkit/services.h"
#include "toolkit/status_bar.h"
#include "toolkit/value_list_editor.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The placement the window was made with.
TWindowPlacement& designedPlacement()
{
    static TWindowPlacement placement;
    return placement;
}

// The window keeps its state in a temporary folder, never beside the test program.
std::string iniPath()
{
    static const TempDir dir;
    return dir.file("Ventiro.ini");
}

const auto* const application = UseTestApplication<TApplication>(
    "test_settings_window",
    [](TApplication& app) {
        TServices services;
        services.iniFile = iniPath();
        SetServices(services);
        app.CreateForm(Einstellungen_Form1);
        designedPlacement() = Einstellungen_Form1->GetWindowPlacement();
    },
    [](TApplication&) {
        Einstellungen_Form1->FormStorage1->Active = false;
        SetServices({});
    });

// Runs the window modally; `whileOpen` runs inside the modal loop and ends with Close().
int openModal(const std::function<void()>& whileOpen)
{
    QTimer::singleShot(0, [whileOpen] {
        whileOpen();
        Einstellungen_Form1->SchliessenExecute();
    });
    return Einstellungen_Form1->ShowModal();
}

// The grid's line editor, which exists once the window has been shown.
QLineEdit* inplaceEditor()
{
    return Einstellungen_Form1->Verknuepfungseditor->findChild<QLineEdit*>("InplaceEditor");
}

void typeAtEndOf(const std::string& key, const QString& text)
{
    TValueListEditor* editor = Einstellungen_Form1->Verknuepfungseditor;
    int row = 0;
    ASSERT_TRUE(FindKeyRow(editor->Strings(), key, row));
    QLineEdit* line = inplaceEditor();
    ASSERT_NE(line, nullptr);
    QTest::keyClick(line, Qt::Key_Up, Qt::ControlModifier);
    for (int r = 1; r < row; ++r)
        QTest::keyClick(line, Qt::Key_Down);
    QTest::keyClick(line, Qt::Key_End);
    QTest::keyClicks(line, text);
}

// The window is shared by the tests: each one finds it as the program made it, whatever the one
// before changed or left behind when it failed.
class SettingsWindow : public testing::Test
{
protected:
    void TearDown() override
    {
        Einstellungen_Form1->hide();
        Einstellungen_Form1->SetWindowPlacement(designedPlacement());
        Einstellungen_Form1->FormCreate(); // the test's INI file again
        Einstellungen_Form1->Verknuepfungseditor->Strings().Assign(DefaultLaunchTable());
    }
};

} // namespace

TEST_F(SettingsWindow, ComponentsAndLayout)
{
    TEinstellungen_Form1& form = *Einstellungen_Form1;
    EXPECT_EQ(form.windowTitle(), QString("Einstellungen"));
    EXPECT_EQ(form.Left(), 325);
    EXPECT_EQ(form.Top(), 180);
    EXPECT_FALSE(form.windowIcon().isNull());
    // The same font as the main window, down to the editor's cells.
    EXPECT_EQ(form.font(), PanelFont());
    EXPECT_EQ(form.Verknuepfungseditor->font(), PanelFont());
    ASSERT_EQ(form.ActionToolBar1->Items().size(), 1u);
    const TActionClientItem& item = form.ActionToolBar1->Items()[0];
    EXPECT_EQ(item.Caption, "&Schliessen");
    EXPECT_EQ(item.ImageIndex, 20);
    EXPECT_EQ(item.Action->Name, "Schliessen");
    EXPECT_EQ(item.Action->Hint, "Schliessen");
    EXPECT_EQ(item.Action->Category, "Programm");
    // Screen readers find the button by its caption and press it as a button.
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(form.ActionToolBar1->Button(0));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(QAccessible::Name), QString("Schliessen"));
    EXPECT_EQ(button->role(), QAccessible::Button);
    EXPECT_EQ(form.GroupBox1->title(), QString("Info"));
    EXPECT_EQ(form.Label1->pos(), QPoint(24, 16));
    EXPECT_EQ(form.Label1->text(),
              QString::fromUtf8("Geben Sie unter der Spalte \"Wert\" den Pfad zur Datei ein.\n"
                                "Parameter f\u00FCr den Programmaufruf geben Sie bitte in eckigen "
                                "Klammern ein."));
    EXPECT_TRUE(form.StatusBar1->AutoHint);
    EXPECT_EQ(form.FormStorage1->IniSection, "Einstellungenmaske");
    EXPECT_EQ(form.FormStorage1->StoredProps(), std::vector<std::string>{"Verknuepfungseditor.Strings"});
    EXPECT_EQ(form.FormStorage1->IniFileName, iniPath());
    EXPECT_EQ(form.Verknuepfungseditor->Strings().Count(), static_cast<int>(DefaultLaunchTable().size()));

    form.resize(517, 418);
    form.show();
    QTRY_COMPARE(form.Verknuepfungseditor->height(), 418 - 26 - 52 - 19);
    form.resize(517, 600);
    QTRY_COMPARE(form.Verknuepfungseditor->height(), 600 - 26 - 52 - 19);
    EXPECT_EQ(form.ActionToolBar1->height(), 26);
    EXPECT_EQ(form.GroupBox1->height(), 52);
    EXPECT_EQ(form.StatusBar1->height(), 19);
}

TEST_F(SettingsWindow, EditsAreSavedOnCloseAndComeBackOnReopen)
{
    const TempDir dir;
    const QString ini = qtPath(dir, "Ventiro.ini");
    Einstellungen_Form1->FormStorage1->IniFileName = ini.toStdString();
    Einstellungen_Form1->Verknuepfungseditor->Strings().Assign(DefaultLaunchTable());
    const std::string original = ValueOfKey(Einstellungen_Form1->Verknuepfungseditor->Strings(), "CimE");

    EXPECT_EQ(openModal([] { typeAtEndOf("CimE", "9"); }), 2);
    EXPECT_FALSE(Einstellungen_Form1->isVisible());
    EXPECT_EQ(ValueOfKey(Einstellungen_Form1->Verknuepfungseditor->Strings(), "CimE"), original + "9");
    EXPECT_NE(readBytes(ini.toStdString()).find("[Einstellungenmaske.Verknuepfungseditor_Strings]"),
              std::string::npos);
    // The placement is saved by the close as well, not only at the end of the program.
    const std::string saved = readBytes(ini.toStdString());
    const auto section = saved.find("[Einstellungenmaske]\r\n");
    ASSERT_NE(section, std::string::npos);
    EXPECT_NE(saved.find("NormPos=", section), std::string::npos);

    // Whatever the memory holds, opening brings back what the file holds.
    Einstellungen_Form1->Verknuepfungseditor->Strings().Assign({"CimE=other"});
    std::string seen;
    openModal([&seen] { seen = ValueOfKey(Einstellungen_Form1->Verknuepfungseditor->Strings(), "CimE"); });
    EXPECT_EQ(seen, original + "9");
    EXPECT_EQ(Einstellungen_Form1->Verknuepfungseditor->Strings().Count(),
              static_cast<int>(DefaultLaunchTable().size()));
}

TEST_F(SettingsWindow, FailedWriteIsReportedAndEditsAreKeptUntilWritten)
{
    const TempDir dir;
    const QString good = qtPath(dir, "Ventiro.ini");
    Einstellungen_Form1->FormStorage1->IniFileName = good.toStdString();
    Einstellungen_Form1->Verknuepfungseditor->Strings().Assign(DefaultLaunchTable());
    openModal([] {});
    const std::string saved = ValueOfKey(Einstellungen_Form1->Verknuepfungseditor->Strings(), "CimE");

    // A file in place of the folder: no user, root included, can create the INI file there.
    QFile blocker(qtPath(dir, "blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString bad = qtPath(dir, "blocker/Ventiro.ini");
    Einstellungen_Form1->FormStorage1->IniFileName = bad.toStdString();
    QString message;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&message] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            message = box->text();
            box->accept();
        }
    });
    watcher.start(10);
    openModal([] { typeAtEndOf("CimE", "X"); });
    watcher.stop();
    // The error display ends the message with a full stop.
    EXPECT_EQ(message, QString("Unable to write to ") + bad + ".");
    EXPECT_EQ(ValueOfKey(Einstellungen_Form1->Verknuepfungseditor->Strings(), "CimE"), saved + "X");

    // The file can be written again. Opening does not put its older table over the edits it never
    // received; the close that follows writes them.
    Einstellungen_Form1->FormStorage1->IniFileName = good.toStdString();
    std::string seen;
    openModal([&seen] { seen = ValueOfKey(Einstellungen_Form1->Verknuepfungseditor->Strings(), "CimE"); });
    EXPECT_EQ(seen, saved + "X");
    EXPECT_FALSE(Einstellungen_Form1->FormStorage1->Unwritten());
    Einstellungen_Form1->Verknuepfungseditor->Strings().Assign({"CimE=other"});
    openModal([&seen] { seen = ValueOfKey(Einstellungen_Form1->Verknuepfungseditor->Strings(), "CimE"); });
    EXPECT_EQ(seen, saved + "X");
}

TEST_F(SettingsWindow, GridEditMenuSpeaksGermanWhereQtsTranslationsAreInstalled)
{
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm"))
        GTEST_SKIP() << "Qt's translations are not installed (qt6-translations-l10n)";
    // The line editor is there once the window is open, also when this test runs first.
    QStringList texts;
    openModal([&texts] {
        QLineEdit* line = inplaceEditor();
        ASSERT_NE(line, nullptr);
        const std::unique_ptr<QMenu> menu(line->createStandardContextMenu());
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator())
                texts << action->text().section('\t', 0, 0);
        }
    });
    EXPECT_EQ(texts.join('|'),
              QString::fromUtf8("&Rückgängig|Wieder&herstellen|&Ausschneiden|&Kopieren|Einf&ügen|"
                                "Löschen|Alles auswählen"));
}
