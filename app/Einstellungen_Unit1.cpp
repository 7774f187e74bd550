#include "app/Einstellungen_Unit1.h"

#include "app/Ventiro_Unit1.h"
#include "launch/default_launch_table.h"
#include "platform/config_location.h"
#include "storage/form_storage.h"
#include "toolkit/action_toolbar.h"
#include "toolkit/actions.h"
#include "toolkit/ansi.h"
#include "toolkit/status_bar.h"
#include "toolkit/value_list_editor.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

TEinstellungen_Form1* Einstellungen_Form1 = nullptr;

namespace {

const char* const InfoText = "Geben Sie unter der Spalte \"Wert\" den Pfad zur Datei ein.\r\n"
                             "Parameter f\xFCr den Programmaufruf geben Sie bitte in eckigen Klammern ein.";

} // namespace

TEinstellungen_Form1::TEinstellungen_Form1()
    : TForm("Einstellungen_Form1", TRect{325, 180, 325 + 525, 180 + 445})
{
    SetCaption("Einstellungen");
    setFont(PanelFont());
    // Loaded as a picture: an icon made from a file name asks every image plug-in about it first.
    setWindowIcon(QIcon(QPixmap(QStringLiteral(":/einstellungen.png"))));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ActionManager1 = new TActionManager;
    TAction& schliessen = ActionManager1->Add(
        TAction{"Schliessen", "Programm", "Schliessen", "Schliessen", 20, [this] { SchliessenExecute(); }});
    ActionToolBar1 = new TActionToolBar(this);
    ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
    ActionToolBar1->setAccessibleName(QStringLiteral("ActionToolBar1"));
    ActionToolBar1->setFixedHeight(26);
    ActionToolBar1->SetActionManager(ActionManager1);
    ActionToolBar1->SetItems({TActionClientItem{&schliessen, "&Schliessen", 20}});
    layout->addWidget(ActionToolBar1);

    Verknuepfungseditor = new TValueListEditor(this);
    Verknuepfungseditor->setObjectName(QStringLiteral("Verknuepfungseditor"));
    Verknuepfungseditor->Strings().Assign(DefaultLaunchTable());
    layout->addWidget(Verknuepfungseditor, 1);
    RegisterComponent("Verknuepfungseditor", Verknuepfungseditor, &Verknuepfungseditor->Strings());

    GroupBox1 = new QGroupBox(QStringLiteral("Info"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setFixedHeight(52);
    Label1 = new QLabel(GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setText(toQString(InfoText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    Label1->move(24, 16);
    Label1->adjustSize();
    Label1->resize(std::max(Label1->width(), 356), std::max(Label1->height(), 26));
    layout->addWidget(GroupBox1);

    StatusBar1 = new TStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->AutoHint = true;
    layout->addWidget(StatusBar1);

    setTabOrder(Verknuepfungseditor, GroupBox1);

    FormStorage1 = new TFormStorage(*this);
    FormStorage1->IniFileName = "Ventiro.ini";
    FormStorage1->IniSection = "Einstellungenmaske";
    FormStorage1->SetStoredProps({"Verknuepfungseditor.Strings"});
    FormCreate();
}

TEinstellungen_Form1::~TEinstellungen_Form1()
{
    delete FormStorage1;
    FormStorage1 = nullptr;
    delete ActionManager1;
    ActionManager1 = nullptr;
}

void TEinstellungen_Form1::SetImages(TImageList* images)
{
    ActionManager1->Images = images;
    ActionToolBar1->SetActionManager(ActionManager1);
}

void TEinstellungen_Form1::FormCreate()
{
    FormStorage1->IniFileName = platform::ConfigFileLocation(
        toAnsi(QCoreApplication::applicationDirPath() + QStringLiteral("/")), "Ventiro.ini");
}

void TEinstellungen_Form1::SchliessenExecute()
{
    Close();
}
