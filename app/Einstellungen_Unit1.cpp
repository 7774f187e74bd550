#include "app/Einstellungen_Unit1.h"

#include "app/Ventiro_Unit1.h"
#include "launch/default_launch_table.h"
#include "storage/form_storage.h"
#include "toolkit/action_toolbar.h"
#include "toolkit/actions.h"
#include "toolkit/ansi.h"
#include "toolkit/image_list.h"
#include "toolkit/status_bar.h"
#include "toolkit/value_list_editor.h"

#include <QEvent>
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
    setWindowIcon(RawIcon(QStringLiteral(":/einstellungen"), 32));
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
    Label1->setGeometry(24, 16, 356, 26); // grown to its text when the window is first shown
    layout->addWidget(GroupBox1);

    StatusBar1 = new TStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->AutoHint = true;
    layout->addWidget(StatusBar1);

    setTabOrder(Verknuepfungseditor, GroupBox1);

    FormStorage1 = new TFormStorage(*this);
    FormStorage1->IniSection = kEinstellungenSection;
    FormStorage1->SetStoredProps({std::string(kTableComponent) + ".Strings"});
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

bool TEinstellungen_Form1::event(QEvent* event)
{
    // The label takes the size of its text (at least its designed size) when the window is shown:
    // measuring text costs the start-up, and a window that is never opened never needs it.
    if (event->type() == QEvent::Show && Label1 != nullptr) {
        const QSize text = Label1->sizeHint();
        Label1->resize(std::max(text.width(), 356), std::max(text.height(), 26));
    }
    return TForm::event(event);
}

void TEinstellungen_Form1::FormCreate()
{
    UsePanelIniFile(*FormStorage1);
}

void TEinstellungen_Form1::SchliessenExecute()
{
    Close();
}
