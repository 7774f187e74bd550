// The program with a window whose construction fails in place of its own windows, for the test of a
// failed start-up.

#include "app/program.h"
#include "tests/failing_form.h"

#include "toolkit/application.h"

int main(int argc, char** argv)
{
    return RunProgram(argc, argv, [] { Application->CreateForm(Failing_Form); });
}
