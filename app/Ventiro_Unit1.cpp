#include "app/Ventiro_Unit1.h"

#include "app/Einstellungen_Unit1.h"
#include "launch/panel_buttons.h"
#include "platform/config_location.h"
#include "platform/module.h"
#include "storage/form_storage.h"
#include "toolkit/action_toolbar.h"
#include "toolkit/actions.h"
#include "toolkit/ansi.h"
#include "toolkit/application.h"
#include "toolkit/image_list.h"
#include "toolkit/panel_style.h"
#include "toolkit/services.h"
#include "toolkit/status_bar.h"
#include "toolkit/value_list_editor.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QPixmap>
#include <QResizeEvent>

#include <algorithm>

TVentiro_Form1* Ventiro_Form1 = nullptr;

namespace {

constexpr int kStatusBarHeight = 19;
constexpr int kStatusBarMinWidth = 600;
constexpr int kBarLeft = 2;
constexpr int kBarTop = 15;

const QColor kLightBlue(240, 251, 255);
const QColor kMoneyGreen(192, 220, 192);

// The five titled groups from the top down, each with the tool bar of one PanelBar.
struct Group
{
    const char* box;
    const char* caption;
    const QColor& colour;
    int height;
    const char* bar;
};

const Group kGroups[] = {{"GroupBox1", "Hauptmen\xFC", kLightBlue, 81, "ActionToolBar2"},
                         {"GroupBox2", "NC-Bereich", kMoneyGreen, 48, "ActionToolBar1"},
                         {"GroupBox3", "2D-Bereich", kLightBlue, 48, "ActionToolBar4"},
                         {"GroupBox4", "Lizensierung", kMoneyGreen, 48, "ActionToolBar6"},
                         {"GroupBox5", "Allgemein", kLightBlue, 48, "ActionToolBar5"}};

std::string withoutAccelerator(std::string caption)
{
    std::erase(caption, '&');
    return caption;
}

// The items of one bar: its buttons in the order of their places.
std::vector<TActionClientItem> barItems(const TActionManager& manager, PanelBar bar)
{
    std::vector<const PanelButton*> buttons;
    for (const PanelButton& button : PanelButtons()) {
        if (button.bar == bar)
            buttons.push_back(&button);
    }
    std::ranges::sort(buttons, {}, &PanelButton::position);
    std::vector<TActionClientItem> items;
    for (const PanelButton* button : buttons) {
        TAction* action = manager.Find(button->action);
        items.push_back(TActionClientItem{action, button->caption, button->glyph});
    }
    return items;
}

} // namespace

QFont PanelFont()
{
    // The designed face, then faces of its kind. Only the first one this machine has is named: a
    // face that is not installed would make the font lookup search all faces for a substitute (a
    // millisecond at start-up) before it tried the next name. Only outline faces count: the designed
    // face is a bitmap font on Windows, with a few sizes only; Windows has its outline twin,
    // "Microsoft Sans Serif".
    static const QString face = InstalledOutlineFace(
        {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial", "DejaVu Sans"});
    QFont font;
    font.setFamilies({face.isEmpty() ? QStringLiteral("MS Sans Serif") : face});
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
    if (!Services().iniFile.empty())
        return Services().iniFile;
    static const std::string name = [] {
        const std::string folder = platform::ExecutableFolder();
        std::string file = platform::ConfigFileLocation(folder, "Ventiro.ini");
        if (folder.empty()) {
            const std::string kept = file.empty() ? std::string("nicht") : "in " + file;
            Services().showMessage("Der Name des Programmordners l\xE4sst sich im Zeichensatz der INI-Datei "
                                   "nicht schreiben.\rFenster und Verkn\xFCpfungen werden " +
                                   kept + " gespeichert.");
        }
        return file;
    }();
    return name;
}

void UsePanelIniFile(TFormStorage& storage)
{
    storage.IniFileName = PanelIniFileName();
    storage.Active = !storage.IniFileName.empty();
    // One close of the panel waits once for a held lock and reports once, for both windows.
    if (Ventiro_Form1 && Ventiro_Form1->FormStorage1 && Ventiro_Form1->FormStorage1 != &storage)
        storage.Failures = Ventiro_Form1->FormStorage1->Failures;
}

void LaunchProgram(const std::string& key, int showIndex)
{
    if (!Einstellungen_Form1 || !Einstellungen_Form1->Verknuepfungseditor)
        return;
    // The table may have changed on disk since it was read, by another panel or by hand.
    if (Einstellungen_Form1->FormStorage1)
        Einstellungen_Form1->FormStorage1->FollowFile();
    const LaunchServices services{Application ? Application->Handle() : nullptr, Services().showMessage,
                                  Services().shellOpen};
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
    for (const PanelButton& button : PanelButtons()) {
        ActionManager1->Add(TAction{button.action, button.category, withoutAccelerator(button.caption),
                                    button.hint, button.glyph, [this, &button] { execute(button); }});
    }

    StatusBar1 = new TStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->AutoHint = true;
    StatusBar1->setMinimumWidth(kStatusBarMinWidth);

    const auto groups = groupMembers();
    for (std::size_t i = 0; i < std::size(kGroups); ++i) {
        auto* box = new QGroupBox(toQString(kGroups[i].caption), this);
        box->setObjectName(QString::fromLatin1(kGroups[i].box));
        QPalette boxPalette = box->palette();
        boxPalette.setColor(QPalette::Window, kGroups[i].colour);
        box->setPalette(boxPalette);
        box->setAutoFillBackground(true);
        auto* bar = new TActionToolBar(box);
        bar->setObjectName(QString::fromLatin1(kGroups[i].bar));
        bar->SetActionManager(ActionManager1);
        bar->SetItems(barItems(*ActionManager1, static_cast<PanelBar>(i)));
        *groups[i].first = box;
        *groups[i].second = bar;
    }
    ActionToolBar2->AllowHiding = false;
    SetShowHint(ActionToolBar2, true);
    SetParentShowHint(ActionToolBar2, false);
    resize(600, 303);
    placeControls();

    SetOnShow([this] { FormShow(); });
    FormStorage1 = new TFormStorage(*this);
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

std::array<std::pair<QGroupBox**, TActionToolBar**>, 5> TVentiro_Form1::groupMembers()
{
    return {{{&GroupBox1, &ActionToolBar2},
             {&GroupBox2, &ActionToolBar1},
             {&GroupBox3, &ActionToolBar4},
             {&GroupBox4, &ActionToolBar6},
             {&GroupBox5, &ActionToolBar5}}};
}

void TVentiro_Form1::placeControls()
{
    const auto groups = groupMembers();
    int top = 0;
    for (std::size_t i = 0; i < std::size(kGroups); ++i) {
        QGroupBox* box = *groups[i].first;
        TActionToolBar* bar = *groups[i].second;
        if (!box)
            continue;
        box->setGeometry(0, top, width(), kGroups[i].height);
        bar->setGeometry(kBarLeft, kBarTop, std::max(0, width() - 2 * kBarLeft), bar->height());
        top += kGroups[i].height;
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
    UsePanelIniFile(*FormStorage1);
}

void TVentiro_Form1::FormShow()
{
    if (!Einstellungen_Form1)
        return;
    Einstellungen_Form1->Verknuepfungseditor->Refresh();
    Einstellungen_Form1->FormStorage1->LoadFromIni();
}

void TVentiro_Form1::execute(const PanelButton& button)
{
    if (button.deed == PanelDeed::Launch)
        LaunchProgram(button.launchKey, kShowIndexNormal);
    else if (button.deed == PanelDeed::OpenSettings)
        EinstellungenExecute();
    else
        SchliessenExecute();
}

void TVentiro_Form1::launch(const char* action)
{
    if (const PanelButton* button = FindPanelButton(action))
        execute(*button);
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

// The handlers by the names the actions are known by; each does what its button does.
// clang-format off
void TVentiro_Form1::CimEExecute() { launch("CimE"); }
void TVentiro_Form1::CatiaR2DExecute() { launch("CatiaR2D"); }
void TVentiro_Form1::DeleteWaExecute() { launch("DeleteWa"); }
void TVentiro_Form1::DelDiExecute() { launch("DelDi"); }
void TVentiro_Form1::DelVerifExecute() { launch("DelVerif"); }
void TVentiro_Form1::HotlineExecute() { launch("Hotline"); }
void TVentiro_Form1::BrowserExecute() { launch("Browser"); }
void TVentiro_Form1::CimZipExecute() { launch("CimZip"); }
void TVentiro_Form1::SimulaExecute() { launch("Simula"); }
void TVentiro_Form1::VerifierExecute() { launch("Verifier"); }
void TVentiro_Form1::IMSPostExecute() { launch("IMSPost"); }
void TVentiro_Form1::PostEXEExecute() { launch("PostEXE"); }
void TVentiro_Form1::DrahterodierenExecute() { launch("Drahterodieren"); }
void TVentiro_Form1::QDrillExecute() { launch("QDrill"); }
void TVentiro_Form1::DefPostExecute() { launch("DefPost"); }
void TVentiro_Form1::DfexfExecute() { launch("Dfexf"); }
void TVentiro_Form1::NcDocExecute() { launch("NcDoc"); }
void TVentiro_Form1::DfDraftExecute() { launch("DfDraft"); }
void TVentiro_Form1::GetIDExecute() { launch("GetID"); }
void TVentiro_Form1::LicInfoExecute() { launch("LicInfo"); }
void TVentiro_Form1::Dtf2CtfExecute() { launch("Dtf2Ctf"); }
void TVentiro_Form1::DocConvExecute() { launch("DocConv"); }
void TVentiro_Form1::FarbenExecute() { launch("Farben"); }
void TVentiro_Form1::DIPrefExecute() { launch("DIPref"); }
void TVentiro_Form1::DIRSizeExecute() { launch("DIRSize"); }
void TVentiro_Form1::CimInfoExecute() { launch("CimInfo"); }
// clang-format on
