#pragma once

#include "core/exceptions.h"
#include "toolkit/forms.h"

// A window whose construction fails, built into a test variant of the program to check how a failed
// start-up ends.
class TFailing_Form : public TForm
{
public:
    TFailing_Form() : TForm("Failing_Form", TRect{0, 0, 200, 100})
    {
        throw Exception("Fenster nicht erstellt");
    }
};

inline TFailing_Form* Failing_Form = nullptr;
