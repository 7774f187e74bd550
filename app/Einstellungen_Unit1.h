#pragma once

#include "toolkit/forms.h"

class TActionManager;
class TActionToolBar;
class TFormStorage;
class TImageList;
class TStatusBar;
class TValueListEditor;
class QGroupBox;
class QLabel;

// Where the settings window keeps the launch table: the section of its storage, and the component
// whose Strings are stored.
inline constexpr const char* kEinstellungenSection = "Einstellungenmaske";
inline constexpr const char* kTableComponent = "Verknuepfungseditor";

// The settings window: the key/value editor of the launch table, a close button and a status bar.
class TEinstellungen_Form1 : public TForm
{
public:
    TEinstellungen_Form1();
    ~TEinstellungen_Form1() override;

    TValueListEditor* Verknuepfungseditor = nullptr;
    TStatusBar* StatusBar1 = nullptr;
    TFormStorage* FormStorage1 = nullptr;
    TActionToolBar* ActionToolBar1 = nullptr;
    TActionManager* ActionManager1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;

    // The glyphs of the tool bar: the main window's image list.
    void SetImages(TImageList* images);

    void FormCreate();
    void SchliessenExecute();

protected:
    bool event(QEvent* event) override;
};

extern TEinstellungen_Form1* Einstellungen_Form1;
