#pragma once

#include "launch/launcher.h"
#include "toolkit/forms.h"

#include <QFont>

#include <array>
#include <string>
#include <utility>

class TActionManager;
class TActionToolBar;
class TFormStorage;
class TImageList;
class TStatusBar;
class QGroupBox;
struct PanelButton;

// Starts the program of a launch key from the settings window's launch table, through the shell open
// of toolkit/services.h; a failure is reported in a message box.
void LaunchProgram(const std::string& key, int showIndex);

// The main window: five titled groups of buttons (launch/panel_buttons.h) and a status bar.
class TVentiro_Form1 : public TForm
{
public:
    TVentiro_Form1();
    ~TVentiro_Form1() override;

    TStatusBar* StatusBar1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    TActionToolBar* ActionToolBar2 = nullptr; // Hauptmenü
    TActionToolBar* ActionToolBar1 = nullptr; // NC-Bereich
    TActionToolBar* ActionToolBar4 = nullptr; // 2D-Bereich
    TActionToolBar* ActionToolBar6 = nullptr; // Lizensierung
    TActionToolBar* ActionToolBar5 = nullptr; // Allgemein
    TFormStorage* FormStorage1 = nullptr;
    TActionManager* ActionManager1 = nullptr;
    TImageList* ImageList1 = nullptr;

    void FormCreate();
    void FormShow();

    void SchliessenExecute();
    void CimEExecute();
    void CatiaR2DExecute();
    void DeleteWaExecute();
    void DelDiExecute();
    void DelVerifExecute();
    void HotlineExecute();
    void BrowserExecute();
    void CimZipExecute();
    void EinstellungenExecute();
    void SimulaExecute();
    void VerifierExecute();
    void IMSPostExecute();
    void PostEXEExecute();
    void DrahterodierenExecute();
    void QDrillExecute();
    void DefPostExecute();
    void DfexfExecute();
    void NcDocExecute();
    void DfDraftExecute();
    void GetIDExecute();
    void LicInfoExecute();
    void Dtf2CtfExecute();
    void DocConvExecute();
    void FarbenExecute();
    void DIPrefExecute();
    void DIRSizeExecute();
    void CimInfoExecute();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The group boxes and their bars, from the top down.
    std::array<std::pair<QGroupBox**, TActionToolBar**>, 5> groupMembers();
    void placeControls();
    // What a button does: start its launch key's program, or its own handler.
    void execute(const PanelButton& button);
    void launch(const char* action);
};

extern TVentiro_Form1* Ventiro_Form1;

// The font every control of the panel's windows uses.
QFont PanelFont();

// The INI file both windows keep their state in (platform/config_location.h), found once. Where the
// executable's folder has no spelling in the INI's code page, the first call says so in one message
// and where the file is kept instead (through the services' message display); where no file can be
// named at all, it says that nothing will be kept and gives the empty name.
std::string PanelIniFileName();

// What both windows' FormCreate does: their storage keeps its state in PanelIniFileName(), and
// keeps nothing where there is no such file.
void UsePanelIniFile(TFormStorage& storage);
