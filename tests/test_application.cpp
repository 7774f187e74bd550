#include "platform/shell.h"
#include "platform/shell_codes.h"
#include "platform/termination.h"
#include "toolkit/application.h"

#include "tests/support/application.h"
#include "toolkit/forms.h"
#include "toolkit/message_dialog.h"
#include "toolkit/services.h"
#include "toolkit/status_bar.h"

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace {

const auto* const application = UseTestApplication<TApplication>(
    "test_application", [](TApplication& a) { a.SetTitle("Cimatron-E Version 4.xx Startpanel - Test"); });

TApplication& app()
{
    return *Application;
}

// Runs `action` on the message dialog once it is up, then returns the dialog's result.
int runDialog(const std::string& text, const std::function<void(TMessageForm&)>& action)
{
    TMessageForm dialog(text);
    QTimer::singleShot(0, &dialog, [&] { action(dialog); });
    return dialog.exec();
}

class TestForm : public TForm
{
public:
    TestForm() : TForm("TestForm", {326, 279, 934, 609}) {}
};

} // namespace

TEST(MessageDialog, GeometryFollowsTheDialogUnitsOfItsFont)
{
    app();
    TMessageForm dialog("Datei wurde nicht gefunden.");
    const QFontMetrics fm(dialog.font());
    const int x = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
    const int y = fm.height();
    EXPECT_EQ(dialog.Message->x(), (8 * x + 2) / 4);
    EXPECT_EQ(dialog.Message->y(), (8 * y + 4) / 8);
    EXPECT_EQ(dialog.OK->height(), (14 * y + 4) / 8);
    EXPECT_EQ(dialog.OK->width(), std::max((50 * x + 2) / 4, fm.horizontalAdvance("OK") + 8));
    EXPECT_EQ(dialog.OK->x(), (dialog.width() - dialog.OK->width()) / 2);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Cimatron-E Version 4.xx Startpanel - Test");
    // The face asked for is the face drawn: a missing one would leave the choice to the font mapper.
    EXPECT_EQ(QFontInfo(dialog.font()).family().toLower(), dialog.font().family().toLower());
}

TEST(MessageDialog, MessageAndErrorBoxesAreFixedDialogs)
{
    app();
    // Each box as it is up: its window flags (what the window manager is asked for), its caption and
    // whether its size is fixed.
    struct Seen
    {
        Qt::WindowFlags widget, window;
        std::string caption;
        bool fixed;
    };
    std::vector<Seen> seen;
    std::function<void()> closeWhenUp = [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (box == nullptr || !box->isVisible()) {
            QTimer::singleShot(5, closeWhenUp);
            return;
        }
        seen.push_back({box->windowFlags(), box->windowHandle()->flags(), box->windowTitle().toStdString(),
                        box->minimumSize() == box->maximumSize()});
        QTest::keyClick(box, Qt::Key_Escape);
    };
    QTimer::singleShot(0, closeWhenUp);
    ShowMessage("Nachricht");
    QTimer::singleShot(0, closeWhenUp);
    app().ShowException(Exception("Fehler"));
    QTimer::singleShot(0, closeWhenUp);
    ShowApplicationError(ApplicationErrorText("Exception", "Fehler"));

    ASSERT_EQ(seen.size(), 3u);
    const std::string captions[] = {app().Title(), app().Title(), "Application Error"};
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        for (Qt::WindowFlags flags : {seen[i].widget, seen[i].window}) {
            EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
            EXPECT_EQ(flags & (Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
                      Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
            EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                  Qt::WindowFullscreenButtonHint));
        }
        EXPECT_EQ(seen[i].caption, captions[i]);
        EXPECT_TRUE(seen[i].fixed);
    }
}

TEST(MessageDialog, LineBreaksWrappingAndAmpersandsAsWritten)
{
    app();
    TMessageForm lines("Verzeichnis: C:\\A&B\\\rProgramm: X&&Y\r\rParameter");
    EXPECT_EQ(lines.Message->text(), "Verzeichnis: C:\\A&B\\\nProgramm: X&&Y\n\nParameter");
    const int lineHeight = QFontMetrics(lines.font()).height();
    EXPECT_GE(lines.Message->height(), 4 * lineHeight);

    TMessageForm one("short");
    TMessageForm wrapped(std::string(2000, 'w') + " " + std::string(400, 'x'));
    const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
    EXPECT_LE(wrapped.Message->width(),
              std::max(half, QFontMetrics(wrapped.font()).horizontalAdvance(QString(2000, 'w'))));
    EXPECT_GT(wrapped.Message->height(), one.Message->height());
}

TEST(MessageDialog, EnterAndEscGiveOkTheCloseBoxCancel)
{
    app();
    EXPECT_EQ(runDialog("a", [](TMessageForm& d) { QTest::keyClick(&d, Qt::Key_Return); }), 1);
    EXPECT_EQ(runDialog("a", [](TMessageForm& d) { QTest::keyClick(&d, Qt::Key_Escape); }), 1);
    EXPECT_EQ(runDialog("a", [](TMessageForm& d) { d.close(); }), 2);
    EXPECT_EQ(runDialog("a", [](TMessageForm& d) { QTest::mouseClick(d.OK, Qt::LeftButton); }), 1);
}

TEST(MessageDialog, CtrlCCopiesTheExactTextCtrlShiftCNothing)
{
    app();
    QApplication::clipboard()->setText("before");
    runDialog("Verzeichnis: A&B\rX", [](TMessageForm& d) {
        QTest::keyClick(&d, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(QApplication::clipboard()->text(), "before");
        QTest::keyClick(&d, Qt::Key_C, Qt::ControlModifier);
        d.done(1);
    });
    const std::string divider = "---------------------------\r\n";
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              divider + "Cimatron-E Version 4.xx Startpanel - Test\r\n" + divider +
                  "Verzeichnis: A&B\rX\r\n" + divider + "OK   \r\n" + divider);
}

TEST(MessageDialog, ClipboardThatCannotBeOpenedIsReportedAndTheDialogStays)
{
    app();
    std::vector<std::string> shown;
    TServices services;
    services.showError = [&](const std::string&, const std::string& text) { shown.push_back(text); };
    services.writeClipboard = [](const QString&) { return false; };
    SetServices(services);
    bool stillOpen = false;
    const int result = runDialog("Nachricht", [&](TMessageForm& d) {
        QTest::keyClick(&d, Qt::Key_C, Qt::ControlModifier);
        stillOpen = d.isVisible();
        QTest::keyClick(&d, Qt::Key_Return);
    });
    SetServices({});
    EXPECT_EQ(shown, (std::vector<std::string>{"Cannot open clipboard."}));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, 1);
}

TEST(Application, ApplicationErrorTextNamesClassProgramAndMessage)
{
    app();
    // The program's file name: "test_application", on Windows "test_application.exe".
    const std::string module =
        " in module " + QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString() + ".\r\n";
    EXPECT_EQ(ApplicationErrorText("EInvalidOperation", "Fenster nicht erstellt"),
              "Exception EInvalidOperation" + module + "Fenster nicht erstellt.\r\n");
    EXPECT_EQ(ApplicationErrorText("Exception", "Ende."), "Exception Exception" + module + "Ende.\r\n");
    EXPECT_EQ(ApplicationErrorText("unknown", ""), "Exception unknown" + module + "\r\n");
    // An error in flight is sorted into its class and message.
    EXPECT_EQ(ApplicationErrorText(std::make_exception_ptr(EIniFileException("Unable to write to x"))),
              "Exception EIniFileException" + module + "Unable to write to x.\r\n");
    EXPECT_EQ(ApplicationErrorText(std::make_exception_ptr(std::runtime_error("kaputt"))),
              "Exception std::runtime_error" + module + "kaputt.\r\n");
    EXPECT_EQ(ApplicationErrorText(std::make_exception_ptr(42)), "Exception unknown" + module + "\r\n");
    EXPECT_TRUE(module.starts_with(" in module test_application"));
}

TEST(Application, IconIsTheProgramIconOfThirtyTwoPixels)
{
    app();
    const QIcon icon = QApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32)));
    TestForm form; // a window without an icon of its own shows the program's
    EXPECT_EQ(form.windowIcon().cacheKey(), icon.cacheKey());
}

// The event loop reaps a program the shell open started once it ends: no zombie stays behind.
TEST(Application, TheEventLoopReapsStartedPrograms)
{
    app();
    if (platform::SignalDescriptor() < 0)
        GTEST_SKIP() << "Started programs are no children of the panel here.";
    QTemporaryDir dir;
    QFile pid(dir.filePath(QStringLiteral("pid")));
    const std::string command = "-c \"echo $$ > '" + pid.fileName().toStdString() + "'\"";
    ASSERT_GT(platform::ShellExecuteA(nullptr, "open", "/bin/sh", command.c_str(), "/", 1),
              platform::shellcode::kLastError);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pid.size() > 0; }, 10000));
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    const std::filesystem::path process = "/proc/" + pid.readAll().trimmed().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !std::filesystem::exists(process); }, 30000)) << process;
}

TEST(Application, ExceptionsAreShownWithTheFullStopRuleAndTheLoopGoesOn)
{
    app();
    std::vector<std::string> shown;
    TServices services;
    services.showError = [&](const std::string& caption, const std::string& text) {
        EXPECT_EQ(caption, app().Title());
        shown.push_back(text);
    };
    SetServices(services);
    const char* messages[] = {"A key with the name of \"x\" already exists",
                              "Key may not contain equals sign (\"=\")",
                              "Really?",
                              "Stop!",
                              "",
                              "Unable to write to /x/Ventiro.ini"};
    for (const char* m : messages) {
        try {
            throw Exception(m);
        } catch (...) {
            app().HandleException();
        }
    }
    try {
        throw EAbort();
    } catch (...) {
        app().HandleException();
    }
    const std::vector<std::string> expected = {"A key with the name of \"x\" already exists.",
                                               "Key may not contain equals sign (\"=\")",
                                               "Really?.",
                                               "Stop!",
                                               "",
                                               "Unable to write to /x/Ventiro.ini."};
    EXPECT_EQ(shown, expected);
    // Out of memory is no error to show and go on from.
    EXPECT_THROW(app().HandleException(std::make_exception_ptr(std::bad_alloc())), std::bad_alloc);

    // An error thrown by an event handler is caught at the dispatch and the next event is handled.
    QPushButton button("x");
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        if (++clicks == 1)
            throw EIniFileException("Unable to write to here");
    });
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(shown.back(), "Unable to write to here.");
    SetServices({});
}

TEST(Application, HintsReachTheStatusBarOnlyWhenTheyChange)
{
    app();
    TestForm form;
    auto* bar = new TStatusBar(&form);
    bar->AutoHint = true;
    auto* a = new QLabel("a", &form);
    auto* b = new QLabel("b", &form);
    SetHint(a, "kurz|Lange Form");
    a->setGeometry(0, 0, 50, 20);
    b->setGeometry(60, 0, 50, 20);
    form.show();
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(a, &enter);
    EXPECT_EQ(bar->SimpleText(), "Lange Form");
    EXPECT_EQ(app().Hint(), "Lange Form");
    QApplication::sendEvent(b, &enter);
    EXPECT_EQ(bar->SimpleText(), "");
    SetShowHint(a, true);
    EXPECT_TRUE(ShowHintInForce(a));
    EXPECT_FALSE(ShowHintInForce(b));
    form.hide();
}

TEST(Forms, PlacementOfAHiddenWindowAndItsRestore)
{
    app();
    TestForm form;
    TWindowPlacement p = form.GetWindowPlacement();
    EXPECT_EQ(p.showCmd, 1u);
    EXPECT_EQ(p.ptMinPosition, (TPoint{-1, -1}));
    EXPECT_EQ(p.rcNormalPosition, (TRect{326, 279, 934, 609}));
    p.rcNormalPosition = {100, 120, 708, 450};
    form.SetWindowPlacement(p);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.GetWindowPlacement().rcNormalPosition, (TRect{100, 120, 708, 450}));
    // A rectangle wholly off every screen comes back onto one.
    p.rcNormalPosition = {-30000, -30000, -29392, -29670};
    form.SetWindowPlacement(p);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_TRUE(screen.intersects(QRect(form.x(), form.y(), form.width(), form.height())));
}

TEST(Forms, ShowHandlerRunsBeforeTheWindowAppearsAndModalCloseGivesCancel)
{
    app();
    TestForm form;
    bool visibleInHandler = true;
    std::vector<std::string> events;
    form.SetOnShow([&] {
        visibleInHandler = form.isVisible();
        events.push_back("show");
    });
    form.SetOnCloseQuery([&](bool&) { events.push_back("closequery"); });
    QTimer::singleShot(0, &form, [&] { form.Close(); });
    EXPECT_EQ(form.ShowModal(), 2);
    EXPECT_FALSE(visibleInHandler);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(events, (std::vector<std::string>{"show", "closequery"}));
}
