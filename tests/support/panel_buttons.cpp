#include "tests/support/panel_buttons.h"

#include "app/Ventiro_Unit1.h"
#include "tests/support/application.h"
#include "toolkit/action_toolbar.h"
#include "toolkit/actions.h"
#include "toolkit/application.h"
#include "toolkit/services.h"

#include <gtest/gtest.h>

#include <memory>

void MeasureButtonCentres(const char* programName, const std::string& unusedIni,
                          std::map<std::string, QPoint>& centres)
{
    const TestApplication<TApplication> application(programName);
    TServices services;
    services.iniFile = unusedIni;
    SetServices(services);
    auto form = std::make_unique<TVentiro_Form1>();
    SetServices({});
    for (TActionToolBar* bar : {form->ActionToolBar2, form->ActionToolBar1, form->ActionToolBar4,
                                form->ActionToolBar6, form->ActionToolBar5}) {
        bar->Relayout();
        for (std::size_t i = 0; i < bar->Items().size(); ++i) {
            const QWidget* button = bar->Button(static_cast<int>(i));
            ASSERT_NE(button, nullptr);
            centres[bar->Items()[i].Action->Name] = button->mapTo(form.get(), button->rect().center());
        }
    }
}
