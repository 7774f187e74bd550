#include "launch/panel_buttons.h"

#include <array>
#include <cstring>

namespace {

using enum PanelBar;

// clang-format off
constexpr std::array kButtons = std::to_array<PanelButton>({
    {"Schliessen", "Hauptmenue", Hauptmenue, 10, "&Schliessen", "Menue beenden", 20, nullptr, nullptr,
     PanelDeed::CloseWindow},
    {"CimE", "Hauptmenue", Hauptmenue, 1, "&Cimatron E", "Cimatron-E starten", 0,
     "CimE", "CimE=c:\\cim4\\cim_e\\CimatronE_Launcher.exe [-LANG German]"},
    {"CatiaR2D", "Hauptmenue", Hauptmenue, 2, "C&atia read 2D", "Catia 2D-Daten einlesen", 22,
     "CatiaR2D", "Catiar2d=C:\\Cim4\\Cim_E\\IT\\var\\catiar2d\\modview.exe"},
    {"DeleteWa", "Hauptmenue", Hauptmenue, 3, "&DelWA", "Delete Workarea", 8,
     "Delwa", "DelWa=C:\\Cim4\\Cim_E\\delwa.bat"},
    {"DelDi", "Hauptmenue", Hauptmenue, 4, "D&elDi", "", 6,
     "DelDi", "DelDi=C:\\Cim4\\Cim_E\\deldi.bat"},
    {"DelVerif", "Hauptmenue", Hauptmenue, 5, "De&lVerif", "Tempor\xE4re Daten des Verifier l\xF6schen", 7,
     "DelVerif", "DelVerif=C:\\Cim4\\Cim_E\\delverif.bat"},
    {"Hotline", "Hauptmenue", Hauptmenue, 6, "&Hotline", "Info \xFC" "ber Hotline", 16,
     "Hotline", "HotLine=C:\\Cim4\\Cim_E\\hotlineinfo.exe"},
    {"Browser", "Hauptmenue", Hauptmenue, 7, "&Browser", "Datenbank \xF6" "ffnen", 3,
     "Browser", "Browser=C:\\Cim4\\Cim_E\\cimxplor.exe"},
    {"CimZip", "Hauptmenue", Hauptmenue, 8, "C&imZip", "Senden / Empfangen von Cimatron Dateien", 4,
     "CimZip", "CimZip=C:\\Cim4\\Cim_E\\cimzip.exe"},
    {"Einstellungen", "Einstellungen", Hauptmenue, 9, "Ei&nstellungen", "Einstellungen des Pultaros", 21,
     nullptr, nullptr, PanelDeed::OpenSettings},
    {"Simula", "NCBereich", NcBereich, 1, "&Simula", "Simula", 18,
     "Simula", "Simula=C:\\Cim4\\Cim_E\\IT\\bin\\ncverify.exe"},
    {"Verifier", "NCBereich", NcBereich, 2, "&Verifier", "Verifier", 18,
     "Verifier", "Verifier=C:\\Cim4\\Cim_E\\IT\\bin\\ncvsolid.exe"},
    {"IMSPost", "NCBereich", NcBereich, 3, "&IMSPost", "Postprozessorengine von IMS", 17,
     "IMSPost", "IMSPost=C:\\Cim4\\Cim_E\\imspost.exe"},
    {"PostEXE", "NCBereich", NcBereich, 4, "&PostEXE", "Postprozessorlauf t\xE4tigen", 17,
     "PostExe", "PostExe=C:\\Cim4\\Cim_E\\postexe.bat"},
    {"Drahterodieren", "NCBereich", NcBereich, 5, "&Draht erodieren", "Draht erodieren", 2,
     "Drahter", "DrahtEr=C:\\Cim4\\Cim_E\\fikus.bat"},
    {"QDrill", "NCBereich", NcBereich, 6, "&QDrill", "Quickdrill", 18,
     "qdrill", "QDrill=C:\\Cim4\\Cim_E\\quickdrill\\quickdrill.exe"},
    {"DefPost", "NCBereich", NcBereich, 7, "D&efPost", "Postprozessor voreinstellen", 11,
     "DFPost", "DFPost=C:\\Cim4\\Cim_E\\dfstrd.exe [p]"},
    {"Dfexf", "NCBereich", NcBereich, 8, "D&fexf", "Postprozessor editieren", 11,
     "Dfexf", "Dfexf=C:\\Cim4\\Cim_E\\dfexf.exe"},
    {"NcDoc", "NCBereich", NcBereich, 9, "&NcDoc", "Dokumentation zum Werkzeugweg definieren", 12,
     "NcDoku", "NCDoku=C:\\Cim4\\Cim_E\\ncdocsetup.exe"},
    {"DfDraft", "2DBereich", ZweiDBereich, 1, "&DfDraft", "Definition im Zeichnungsbereich", 9,
     "DfDraft", "DfDraft=C:\\Cim4\\Cim_E\\dfstrd.exe [d]"},
    {"GetID", "Lizensierung", Lizensierung, 1, "&GetID", "", 19,
     "GetID", "GetID=C:\\Cim4\\Cim_E\\getids.exe"},
    {"LicInfo", "Lizensierung", Lizensierung, 2, "&LicInfo", "Lizensinfo", 23,
     "LicInfo", "licinfo=C:\\Cim4\\Cim_E\\licinfo.exe"},
    {"Dtf2Ctf", "Allgemein", Allgemein, 1, "&Dtf2Ctf", "Cimatron-E V3 nch V4 konvertieren", 14,
     "Dtf2Ctf", "dtf2ctf=C:\\Cim4\\Cim_E\\dtfconvert.exe"},
    {"DocConv", "Allgemein", Allgemein, 2, "D&ocConv", "", 1,
     "DocConv", "DocConv=C:\\Cim4\\Cim_E\\Doc_Convert.exe"},
    {"Farben", "Allgemein", Allgemein, 3, "&Farben", "Farbschema einstellen", 5,
     "Farben", "Farben=C:\\Cim4\\Cim_E\\CimSchem.exe [Colors]"},
    {"DIPref", "Allgemein", Allgemein, 4, "D&IPref", "", 12,
     "DIPref", "DIPref=C:\\Cim4\\Cim_E\\cimschem.exe [di]"},
    {"DIRSize", "Allgemein", Allgemein, 5, "DI&RSize", "", 13,
     "Dirsize", "dirsize=C:\\Cim4\\Cim_E\\dirsize.exe"},
    {"CimInfo", "Allgemein", Allgemein, 6, "&CimInfo", "", 23,
     "CimInfo", "ciminfo=C:\\Cim4\\Cim_E\\ciminfo.exe"},
});
// clang-format on

} // namespace

std::span<const PanelButton> PanelButtons()
{
    return kButtons;
}

const PanelButton* FindPanelButton(const char* action)
{
    for (const PanelButton& button : kButtons) {
        if (action != nullptr && std::strcmp(button.action, action) == 0)
            return &button;
    }
    return nullptr;
}
