#pragma once

// The application object of a Qt test program: a QCoreApplication, a QApplication or the program's
// own TApplication, on the platform that the test runs with (QT_QPA_PLATFORM=offscreen for the
// OFFSCREEN tests of tests/CMakeLists.txt).
//
// Most test programs need one object from before their first test until after their last one, and
// say so once at namespace scope:
//
//     const auto* const application = UseTestApplication<TApplication>("test_x");
//
// It is made once when the tests start and ended once when they end, however often --gtest_repeat
// (GTEST_REPEAT) runs them and in whatever order --gtest_shuffle puts them. `prepare` runs on the
// new object (windows the tests share, services); `finish` runs just before it goes.
// A program that needs the object for a shorter while makes a TestApplication<App> of its own.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>

template <class App>
class TestApplication
{
public:
    explicit TestApplication(const std::string& programName)
        : m_name(programName), m_argv{m_name.data(), nullptr}, m_app(std::make_unique<App>(m_argc, m_argv))
    {}
    TestApplication(const TestApplication&) = delete;
    TestApplication& operator=(const TestApplication&) = delete;

    App& operator*() const { return *m_app; }
    App* operator->() const { return m_app.get(); }

private:
    // The application object keeps references to these: they live as long as it does.
    std::string m_name;
    int m_argc = 1;
    char* m_argv[2];
    std::unique_ptr<App> m_app;
};

template <class App>
class TestApplicationListener : public testing::EmptyTestEventListener
{
public:
    TestApplicationListener(std::string programName, std::function<void(App&)> prepare,
                            std::function<void(App&)> finish)
        : m_name(std::move(programName)), m_prepare(std::move(prepare)), m_finish(std::move(finish))
    {}

    void OnTestProgramStart(const testing::UnitTest&) override
    {
        m_app = std::make_unique<TestApplication<App>>(m_name);
        if (m_prepare)
            m_prepare(**m_app);
    }
    void OnTestProgramEnd(const testing::UnitTest&) override
    {
        if (m_finish && m_app)
            m_finish(**m_app);
        m_app.reset();
    }

private:
    std::string m_name;
    std::function<void(App&)> m_prepare, m_finish;
    std::unique_ptr<TestApplication<App>> m_app;
};

template <class App>
const testing::TestEventListener* UseTestApplication(const std::string& programName,
                                                     std::function<void(App&)> prepare = {},
                                                     std::function<void(App&)> finish = {})
{
    auto* listener = new TestApplicationListener<App>(programName, std::move(prepare), std::move(finish));
    testing::UnitTest::GetInstance()->listeners().Append(listener); // which owns it from here on
    return listener;
}

// True when the running test runs for the first time in this process, false in the repeats of
// --gtest_repeat: for tests of what happens once per process (the end of the event loop, the show
// request that the program was started with), which skip their repeats.
inline bool FirstRunInThisProcess()
{
    static std::set<std::string> ran;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    return test == nullptr || ran.insert(std::string(test->test_suite_name()) + "." + test->name()).second;
}
