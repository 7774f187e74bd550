#pragma once

#include "core/exceptions.h"

#include <QApplication>

#include <cstdint>
#include <exception>
#include <functional>
#include <new>
#include <string>
#include <utility>
#include <vector>

class QHelpEvent;
class TForm;

// The one application object of the process. It owns the program's windows (destroyed last created
// first), runs the event loop, and is where every error that escapes a handler ends up: no exception
// ever unwinds through Qt's event loop.
class TApplication : public QApplication
{
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // Picks the window system before the application object is created. Without any display it
    // writes one line to standard error, saying how to run the panel anyway, and returns false.
    static bool PrepareDisplay();

    void SetTitle(const std::string& title);
    std::string Title() const; // at most 255 characters

    // Stores the new window in `ref` before its construction runs; the first window becomes the main
    // window. A failed construction sets `ref` back to null and propagates.
    template <class T>
    void CreateForm(T*& ref)
    {
        void* memory = ::operator new(sizeof(T));
        ref = static_cast<T*>(memory);
        try {
            T* form = new (memory) T();
            registerForm(form);
        } catch (...) {
            ref = nullptr;
            ::operator delete(memory);
            throw;
        }
    }

    TForm* MainForm() const { return m_mainForm; }
    void Run();
    void Terminate();
    void* Handle() const; // the native handle of the application's hidden top-level window
    bool Terminated() const { return m_terminated; }

    // Shows an error that escaped a handler (through the error display of toolkit/services.h);
    // returns so that the loop goes on. Call it from a catch block (it takes
    // std::current_exception()) or hand it the error. Out of memory (std::bad_alloc) is thrown on.
    // Defined in toolkit/error_display.cpp.
    void HandleException(std::exception_ptr error = std::current_exception());
    void ShowException(const Exception& error);

    // The window system's time of the operator's last click or key press (X11 server time in
    // milliseconds), 0 before the first.
    std::uint32_t LastInputTime() const { return m_lastInputTime; }
    // Brings the program to the operator: the main window (or the modal window in front of it)
    // shown, out of its minimized state, raised and active, on behalf of the start whose desktop
    // start-up ID is `startupId` (may be empty); that start's sequence ends here.
    void BringToFront(const std::string& startupId);

    // The hint of the control under the mouse, as last offered to the windows.
    std::string Hint() const { return m_hint; }

    bool notify(QObject* receiver, QEvent* event) override;

    // The show request the program was started with (platform::StartupShowCommand), read once when
    // the application object is created.
    int StartupShowCommand() const { return m_showCommand; }
    // The state the start request asks of the main window's first showing (none, maximized or
    // minimized), handed out once: it overrides the restored state, the placement stays.
    Qt::WindowStates TakeStartState() { return std::exchange(m_startState, Qt::WindowNoState); }

private:
    void registerForm(TForm* form);
    // At a session end the windows hear of their end, last created first, before the process goes.
    void endForms();
    void endSession();
    // Hints (toolkit/hints.cpp): the status bars of the window under the mouse take its long form;
    // a tooltip request shows the short form where the control's ShowHint is in force.
    void updateHint(const QWidget* under);
    void showToolTip(QWidget* control, const QHelpEvent& request);

    QWidget* m_hidden = nullptr; // the application's own hidden top-level window

    std::vector<TForm*> m_forms; // in creation order
    TForm* m_mainForm = nullptr;
    std::string m_hint;
    int m_showCommand = 1;
    Qt::WindowStates m_startState = Qt::WindowNoState;
    bool m_terminated = false;
    std::uint32_t m_lastInputTime = 0;
    bool m_formsEnded = false;
    bool m_sessionEnding = false;
};

extern TApplication* Application;

// The "Application Error" text for an error that escaped start-up ("Exception <class> in module
// <program file>." and the message, ended by a full stop), and its box (through the error display of
// toolkit/services.h; the text also goes to standard error). An error in flight gives its class and
// message: an Exception's own, a C++ exception's type and what(), "unknown" and none for the rest.
std::string ApplicationErrorText(const char* className, const std::string& message);
std::string ApplicationErrorText(std::exception_ptr error);
void ShowApplicationError(const std::string& text);
