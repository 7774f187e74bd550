#include "app/Ventiro_Unit1.h"

#include "app/Einstellungen_Unit1.h"
#include "launch/launch_keys.h"
#include "platform/config_location.h"
#include "platform/module.h"
#include "storage/form_storage.h"
#include "toolkit/action_toolbar.h"
#include "toolkit/actions.h"
#include "toolkit/ansi.h"
#include "toolkit/application.h"
#include "toolkit/image_list.h"
#include "toolkit/message_dialog.h"
#include "toolkit/services.h"
#include "toolkit/status_bar.h"
#include "toolkit/value_list_editor.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPixmap>
#include <QResizeEvent>

TVentiro_Form1* Ventiro_Form1 = nullptr;

namespace {

constexpr int kShowNormal = 9;
constexpr int kStatusBarHeight = 19;
constexpr int kStatusBarMinWidth = 600;
constexpr int kBarLeft = 2;
constexpr int kBarTop = 15;

const QColor kLightBlue(240, 251, 255);
const QColor kMoneyGreen(192, 220, 192);

using Handler = void (TVentiro_Form1::*)();

struct ActionEntry
{
    const char* name;
    const char* category;
    const char* caption;
    const char* hint;
    int image;
    Handler handler;
};

// The window's actions in the manager's order (texts in Windows-1252).
const ActionEntry kActions[] = {
    {"Schliessen", "Hauptmenue", "Schliessen", "Menue beenden", 20, &TVentiro_Form1::SchliessenExecute},
    {"CimE", "Hauptmenue", "Cimatron E", "Cimatron-E starten", 0, &TVentiro_Form1::CimEExecute},
    {"CatiaR2D", "Hauptmenue", "Catia read 2D", "Catia 2D-Daten einlesen", 22,
     &TVentiro_Form1::CatiaR2DExecute},
    {"DeleteWa", "Hauptmenue", "DelWA", "Delete Workarea", 8, &TVentiro_Form1::DeleteWaExecute},
    {"DelDi", "Hauptmenue", "DelDi", "", 6, &TVentiro_Form1::DelDiExecute},
    {"DelVerif", "Hauptmenue", "DelVerif", "Tempor\xE4re Daten des Verifier l\xF6schen", 7,
     &TVentiro_Form1::DelVerifExecute},
    {"Hotline", "Hauptmenue", "Hotline",
     "Info \xFC"
     "ber Hotline",
     16, &TVentiro_Form1::HotlineExecute},
    {"Browser", "Hauptmenue", "Browser",
     "Datenbank \xF6"
     "ffnen",
     3, &TVentiro_Form1::BrowserExecute},
    {"CimZip", "Hauptmenue", "CimZip", "Senden / Empfangen von Cimatron Dateien", 4,
     &TVentiro_Form1::CimZipExecute},
    {"Einstellungen", "Einstellungen", "Einstellungen", "Einstellungen des Pultaros", 21,
     &TVentiro_Form1::EinstellungenExecute},
    {"Simula", "NCBereich", "Simula", "Simula", 18, &TVentiro_Form1::SimulaExecute},
    {"Verifier", "NCBereich", "Verifier", "Verifier", 18, &TVentiro_Form1::VerifierExecute},
    {"IMSPost", "NCBereich", "IMSPost", "Postprozessorengine von IMS", 17, &TVentiro_Form1::IMSPostExecute},
    {"PostEXE", "NCBereich", "PostEXE", "Postprozessorlauf t\xE4tigen", 17, &TVentiro_Form1::PostEXEExecute},
    {"Drahterodieren", "NCBereich", "Draht erodieren", "Draht erodieren", 2,
     &TVentiro_Form1::DrahterodierenExecute},
    {"QDrill", "NCBereich", "QDrill", "Quickdrill", 18, &TVentiro_Form1::QDrillExecute},
    {"DefPost", "NCBereich", "DefPost", "Postprozessor voreinstellen", 11, &TVentiro_Form1::DefPostExecute},
    {"Dfexf", "NCBereich", "Dfexf", "Postprozessor editieren", 11, &TVentiro_Form1::DfexfExecute},
    {"NcDoc", "NCBereich", "NcDoc", "Dokumentation zum Werkzeugweg definieren", 12,
     &TVentiro_Form1::NcDocExecute},
    {"DfDraft", "2DBereich", "DfDraft", "Definition im Zeichnungsbereich", 9,
     &TVentiro_Form1::DfDraftExecute},
    {"GetID", "Lizensierung", "GetID", "", 19, &TVentiro_Form1::GetIDExecute},
    {"LicInfo", "Lizensierung", "LicInfo", "Lizensinfo", 23, &TVentiro_Form1::LicInfoExecute},
    {"Dtf2Ctf", "Allgemein", "Dtf2Ctf", "Cimatron-E V3 nch V4 konvertieren", 14,
     &TVentiro_Form1::Dtf2CtfExecute},
    {"DocConv", "Allgemein", "DocConv", "", 1, &TVentiro_Form1::DocConvExecute},
    {"Farben", "Allgemein", "Farben", "Farbschema einstellen", 5, &TVentiro_Form1::FarbenExecute},
    {"DIPref", "Allgemein", "DIPref", "", 12, &TVentiro_Form1::DIPrefExecute},
    {"DIRSize", "Allgemein", "DIRSize", "", 13, &TVentiro_Form1::DIRSizeExecute},
    {"CimInfo", "Allgemein", "CimInfo", "", 23, &TVentiro_Form1::CimInfoExecute},
};

struct ItemSpec
{
    const char* action;
    const char* caption;
};

const ItemSpec kHauptmenue[] = {
    {"CimE", "&Cimatron E"},      {"CatiaR2D", "C&atia read 2D"}, {"DeleteWa", "&DelWA"},
    {"DelDi", "D&elDi"},          {"DelVerif", "De&lVerif"},      {"Hotline", "&Hotline"},
    {"Browser", "&Browser"},      {"CimZip", "C&imZip"},          {"Einstellungen", "Ei&nstellungen"},
    {"Schliessen", "&Schliessen"}};
const ItemSpec kNcBereich[] = {{"Simula", "&Simula"},
                               {"Verifier", "&Verifier"},
                               {"IMSPost", "&IMSPost"},
                               {"PostEXE", "&PostEXE"},
                               {"Drahterodieren", "&Draht erodieren"},
                               {"QDrill", "&QDrill"},
                               {"DefPost", "D&efPost"},
                               {"Dfexf", "D&fexf"},
                               {"NcDoc", "&NcDoc"}};
const ItemSpec k2dBereich[] = {{"DfDraft", "&DfDraft"}};
const ItemSpec kLizensierung[] = {{"GetID", "&GetID"}, {"LicInfo", "&LicInfo"}};
const ItemSpec kAllgemein[] = {{"Dtf2Ctf", "&Dtf2Ctf"}, {"DocConv", "D&ocConv"}, {"Farben", "&Farben"},
                               {"DIPref", "D&IPref"},   {"DIRSize", "DI&RSize"}, {"CimInfo", "&CimInfo"}};

template <std::size_t N>
std::vector<TActionClientItem> barItems(const TActionManager& manager, const ItemSpec (&items)[N])
{
    std::vector<TActionClientItem> result;
    for (const ItemSpec& item : items) {
        TAction* action = manager.Find(item.action);
        result.push_back(TActionClientItem{action, item.caption, action ? action->ImageIndex : -1});
    }
    return result;
}

} // namespace

QFont PanelFont()
{
    // The designed face, then faces of its kind. Only the first one this machine has is named: a
    // face that is not installed would make the font lookup search all faces for a substitute (a
    // millisecond at start-up) before it tried the next name. Only outline faces count: the designed
    // face is a bitmap font on Windows, with a few sizes only; Windows has its outline twin,
    // "Microsoft Sans Serif".
    static const QStringList families = [] {
        const QStringList faces = {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                                   QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                   QStringLiteral("DejaVu Sans")};
        const QStringList installed = QFontDatabase::families();
        for (const QString& face : faces) {
            if (installed.contains(face, Qt::CaseInsensitive) && QFontDatabase::isSmoothlyScalable(face))
                return QStringList{face};
        }
        return faces;
    }();
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(11);
    // Every text of the panel is Windows-1252, which each of these fonts covers: no search for
    // fallback fonts per script (it would cost the start-up several milliseconds).
    font.setStyleStrategy(QFont::NoFontMerging);
    // Whole-pixel glyphs and advances, as the designed bitmap face has them: each letter is then
    // drawn once, not once per sub-pixel position, which halves the cost of the first paint. On
    // Windows Qt draws fully hinted text through GDI, whose hinting under Wine loses one-pixel stems
    // (every capital "I" of Liberation Sans at 11 pixels); vertical hinting goes through DirectWrite,
    // which draws every letter, still with whole-pixel heights.
    const bool gdi = QGuiApplication::platformName() == QLatin1String("windows");
    font.setHintingPreference(gdi ? QFont::PreferVerticalHinting : QFont::PreferFullHinting);
    return font;
}

std::string PanelIniFileName()
{
    static const std::string name = [] {
        const std::string folder = platform::ExecutableFolder();
        std::string file = platform::ConfigFileLocation(folder, "Ventiro.ini");
        if (folder.empty()) {
            const std::string unspellable = "Der Name des Programmordners l\xE4sst sich im Zeichensatz der "
                                            "INI-Datei nicht schreiben.\r";
            ShowMessage(unspellable +
                        (file.empty() ? std::string("Fenster und Verkn\xFCpfungen werden nicht "
                                                    "gespeichert.")
                                      : "Fenster und Verkn\xFCpfungen werden in " + file + " gespeichert."));
        }
        return file;
    }();
    return name;
}

void LaunchProgram(const std::string& key, int showIndex)
{
    if (!Einstellungen_Form1 || !Einstellungen_Form1->Verknuepfungseditor)
        return;
    // The table may have changed on disk since it was read, by another panel or by hand.
    if (Einstellungen_Form1->FormStorage1)
        Einstellungen_Form1->FormStorage1->FollowFile();
    LaunchServices services;
    services.ownerWindow = Application ? Application->Handle() : nullptr;
    services.showMessage = [](const std::string& message) { ShowMessage(message); };
    services.shellOpen = Services().shellOpen;
    LaunchFromTable(Einstellungen_Form1->Verknuepfungseditor->Strings(), key, showIndex, services);
}

TVentiro_Form1::TVentiro_Form1() : TForm("Ventiro_Form1", TRect{326, 279, 326 + 608, 279 + 330})
{
    SetCaption("Ventiro - Startpanel f\xFCr Cimatron-E");
    setFont(PanelFont());
    setMinimumSize(592, 303);
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, kLightBlue);
    setPalette(windowPalette);
    setAutoFillBackground(true);
    SetShowHint(this, false);

    ImageList1 = new TImageList(16, 16);
    // The strip is four glyphs wide, in its size and at twice the size.
    ImageList1->AddStrip(QPixmap::fromImage(RawImage(QStringLiteral(":/glyphs.rgba"), 4 * 16)), 24,
                         QPixmap::fromImage(RawImage(QStringLiteral(":/glyphs@2x.rgba"), 4 * 32)));
    ActionManager1 = new TActionManager;
    ActionManager1->Images = ImageList1;
    for (const ActionEntry& entry : kActions) {
        const Handler handler = entry.handler;
        ActionManager1->Add(TAction{entry.name, entry.category, entry.caption, entry.hint, entry.image,
                                    [this, handler] { (this->*handler)(); }});
    }

    StatusBar1 = new TStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->AutoHint = true;
    StatusBar1->setMinimumWidth(kStatusBarMinWidth);

    const auto makeBox = [this](const char* name, const char* caption, const QColor& colour) {
        auto* box = new QGroupBox(toQString(caption), this);
        box->setObjectName(QString::fromLatin1(name));
        QPalette boxPalette = box->palette();
        boxPalette.setColor(QPalette::Window, colour);
        box->setPalette(boxPalette);
        box->setAutoFillBackground(true);
        return box;
    };
    const auto makeBar = [this](QGroupBox* box, const char* name, std::vector<TActionClientItem> items) {
        auto* bar = new TActionToolBar(box);
        bar->setObjectName(QString::fromLatin1(name));
        bar->SetActionManager(ActionManager1);
        bar->SetItems(std::move(items));
        return bar;
    };
    GroupBox1 = makeBox("GroupBox1", "Hauptmen\xFC", kLightBlue);
    GroupBox2 = makeBox("GroupBox2", "NC-Bereich", kMoneyGreen);
    GroupBox3 = makeBox("GroupBox3", "2D-Bereich", kLightBlue);
    GroupBox4 = makeBox("GroupBox4", "Lizensierung", kMoneyGreen);
    GroupBox5 = makeBox("GroupBox5", "Allgemein", kLightBlue);
    ActionToolBar2 = makeBar(GroupBox1, "ActionToolBar2", barItems(*ActionManager1, kHauptmenue));
    ActionToolBar2->AllowHiding = false;
    SetShowHint(ActionToolBar2, true);
    SetParentShowHint(ActionToolBar2, false);
    ActionToolBar1 = makeBar(GroupBox2, "ActionToolBar1", barItems(*ActionManager1, kNcBereich));
    ActionToolBar4 = makeBar(GroupBox3, "ActionToolBar4", barItems(*ActionManager1, k2dBereich));
    ActionToolBar6 = makeBar(GroupBox4, "ActionToolBar6", barItems(*ActionManager1, kLizensierung));
    ActionToolBar5 = makeBar(GroupBox5, "ActionToolBar5", barItems(*ActionManager1, kAllgemein));
    resize(600, 303);
    placeControls();

    SetOnShow([this] { FormShow(); });
    FormStorage1 = new TFormStorage(*this);
    FormStorage1->IniFileName = "Ventiro.ini";
    FormStorage1->IniSection = "Pultaro";
    FormCreate();
}

TVentiro_Form1::~TVentiro_Form1()
{
    delete FormStorage1;
    FormStorage1 = nullptr;
    delete ActionManager1;
    ActionManager1 = nullptr;
    delete ImageList1;
    ImageList1 = nullptr;
}

void TVentiro_Form1::placeControls()
{
    struct Box
    {
        QGroupBox* box;
        TActionToolBar* bar;
        int height;
    };
    const Box boxes[] = {{GroupBox1, ActionToolBar2, 81},
                         {GroupBox2, ActionToolBar1, 48},
                         {GroupBox3, ActionToolBar4, 48},
                         {GroupBox4, ActionToolBar6, 48},
                         {GroupBox5, ActionToolBar5, 48}};
    int top = 0;
    for (const Box& b : boxes) {
        if (!b.box)
            continue;
        b.box->setGeometry(0, top, width(), b.height);
        b.bar->setGeometry(kBarLeft, kBarTop, std::max(0, width() - 2 * kBarLeft), b.bar->height());
        top += b.height;
    }
    if (StatusBar1)
        StatusBar1->setGeometry(0, height() - kStatusBarHeight, std::max(width(), kStatusBarMinWidth),
                                kStatusBarHeight);
}

void TVentiro_Form1::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    placeControls();
}

void TVentiro_Form1::FormCreate()
{
    FormStorage1->IniFileName = PanelIniFileName();
    FormStorage1->Active = !FormStorage1->IniFileName.empty();
}

void TVentiro_Form1::FormShow()
{
    if (!Einstellungen_Form1)
        return;
    Einstellungen_Form1->Verknuepfungseditor->Refresh();
    Einstellungen_Form1->FormStorage1->LoadFromIni();
}

void TVentiro_Form1::launchAction(const char* action)
{
    if (const char* key = LaunchKeyOf(action))
        LaunchProgram(key, kShowNormal);
}

void TVentiro_Form1::SchliessenExecute()
{
    Close();
}

void TVentiro_Form1::EinstellungenExecute()
{
    if (Einstellungen_Form1)
        Einstellungen_Form1->ShowModal();
}

// Each launching action passes the launch key that the table of launch keys gives for its name.
// clang-format off
void TVentiro_Form1::CimEExecute() { launchAction("CimE"); }
void TVentiro_Form1::CatiaR2DExecute() { launchAction("CatiaR2D"); }
void TVentiro_Form1::DeleteWaExecute() { launchAction("DeleteWa"); }
void TVentiro_Form1::DelDiExecute() { launchAction("DelDi"); }
void TVentiro_Form1::DelVerifExecute() { launchAction("DelVerif"); }
void TVentiro_Form1::HotlineExecute() { launchAction("Hotline"); }
void TVentiro_Form1::BrowserExecute() { launchAction("Browser"); }
void TVentiro_Form1::CimZipExecute() { launchAction("CimZip"); }
void TVentiro_Form1::SimulaExecute() { launchAction("Simula"); }
void TVentiro_Form1::VerifierExecute() { launchAction("Verifier"); }
void TVentiro_Form1::IMSPostExecute() { launchAction("IMSPost"); }
void TVentiro_Form1::PostEXEExecute() { launchAction("PostEXE"); }
void TVentiro_Form1::DrahterodierenExecute() { launchAction("Drahterodieren"); }
void TVentiro_Form1::QDrillExecute() { launchAction("QDrill"); }
void TVentiro_Form1::DefPostExecute() { launchAction("DefPost"); }
void TVentiro_Form1::DfexfExecute() { launchAction("Dfexf"); }
void TVentiro_Form1::NcDocExecute() { launchAction("NcDoc"); }
void TVentiro_Form1::DfDraftExecute() { launchAction("DfDraft"); }
void TVentiro_Form1::GetIDExecute() { launchAction("GetID"); }
void TVentiro_Form1::LicInfoExecute() { launchAction("LicInfo"); }
void TVentiro_Form1::Dtf2CtfExecute() { launchAction("Dtf2Ctf"); }
void TVentiro_Form1::DocConvExecute() { launchAction("DocConv"); }
void TVentiro_Form1::FarbenExecute() { launchAction("Farben"); }
void TVentiro_Form1::DIPrefExecute() { launchAction("DIPref"); }
void TVentiro_Form1::DIRSizeExecute() { launchAction("DIRSize"); }
void TVentiro_Form1::CimInfoExecute() { launchAction("CimInfo"); }
// clang-format on
