#include "launch/default_launch_table.h"
#include "tests/support/application.h"
#include "toolkit/value_list_editor.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

const auto* const application = UseTestApplication<QApplication>("test_value_list_editor");

QApplication& app()
{
    return *qApp;
}

struct Shown
{
    explicit Shown(std::vector<std::string> lines) : appReady(&app())
    {
        editor.Strings().Assign(std::move(lines));
        editor.resize(400, 300);
        editor.show();
        editor.activateWindow();
        editor.InplaceEditor()->setFocus();
    }
    QLineEdit* line() { return editor.InplaceEditor(); }
    QApplication* appReady;
    TValueListEditor editor;
};

} // namespace

TEST(ValueListEditor, TypingWritesEachKeystrokeAndEscapeRestores)
{
    Shown s(DefaultLaunchTable());
    int row = 0;
    ASSERT_TRUE(s.editor.FindKeyRow("CimE", row));
    s.editor.SetRow(row);
    const std::string original = s.editor.ValueOfKey("CimE");
    ASSERT_EQ(s.line()->text().toStdString(), original);
    QTest::keyClick(s.line(), Qt::Key_End);
    std::string expected = original;
    for (char c : std::string("xyz")) {
        QTest::keyClick(s.line(), c);
        expected += c;
        EXPECT_EQ(s.editor.ValueOfKey("CimE"), expected);
    }
    EXPECT_EQ(s.editor.model()->index(row - 1, 1).data().toString().toStdString(), expected);
    QTest::keyClick(s.line(), Qt::Key_Escape);
    EXPECT_EQ(s.editor.ValueOfKey("CimE"), original);
    EXPECT_EQ(s.line()->text().toStdString(), original);
    EXPECT_EQ(s.line()->selectedText(), s.line()->text());
    EXPECT_EQ(s.editor.Strings().Count(), 26);
}

TEST(ValueListEditor, EnterTogglesTheSelection)
{
    Shown s({"a=hello"});
    s.line()->deselect();
    QTest::keyClick(s.line(), Qt::Key_Return);
    EXPECT_EQ(s.line()->selectedText(), QString("hello"));
    QTest::keyClick(s.line(), Qt::Key_Return);
    EXPECT_FALSE(s.line()->hasSelectedText());
    EXPECT_EQ(s.editor.Strings().Get(0), "a=hello");
}

TEST(ValueListEditor, EmptyLinesDisappearOnLeavingOrEscape)
{
    struct Case
    {
        const char* name;
        Qt::Key key;
    };
    for (const Case& c :
         {Case{"leave down", Qt::Key_Down}, Case{"leave up", Qt::Key_Up}, Case{"escape", Qt::Key_Escape}}) {
        SCOPED_TRACE(c.name);
        Shown s({"a=1", "b=2"});
        s.editor.SetRow(2);
        s.editor.Strings().Assign({"a=1", "", "b=2"}); // as restored from a file
        ASSERT_EQ(s.editor.Strings().Count(), 3);
        QTest::keyClick(s.line(), c.key);
        EXPECT_EQ(s.editor.Strings().Lines(), (std::vector<std::string>{"a=1", "b=2"}));
        EXPECT_GE(s.editor.Row(), 1);
        EXPECT_LE(s.editor.Row(), 2);
        EXPECT_EQ(s.line()->text().toStdString(), s.editor.Strings().ValueFromIndex(s.editor.Row() - 1));
    }
}

TEST(ValueListEditor, LineWithoutEqualsGetsEmptyName)
{
    Shown s({"a=1", "plain"});
    EXPECT_EQ(s.editor.model()->index(1, 0).data().toString(), QString());
    EXPECT_EQ(s.editor.model()->index(1, 1).data().toString(), QString("plain"));
    s.editor.SetRow(2);
    QTest::keyClick(s.line(), Qt::Key_End);
    QTest::keyClick(s.line(), '!');
    EXPECT_EQ(s.editor.Strings().Get(1), "=plain!");
}

TEST(ValueListEditor, DuplicateNamesBothEditedFirstWins)
{
    Shown s({"x=1", "x=2"});
    s.editor.SetRow(2);
    QTest::keyClick(s.line(), Qt::Key_End);
    QTest::keyClick(s.line(), '0');
    EXPECT_EQ(s.editor.Strings().Get(1), "x=20");
    EXPECT_EQ(s.editor.ValueOfKey("x"), "1");
    s.editor.SetRow(1);
    QTest::keyClick(s.line(), Qt::Key_End);
    QTest::keyClick(s.line(), '5');
    EXPECT_EQ(s.editor.ValueOfKey("x"), "15");
}

TEST(ValueListEditor, NavigationKeysStayOnValueCells)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 100; ++i)
        lines.push_back("k" + std::to_string(i) + "=v" + std::to_string(i));
    Shown s(lines);
    struct Step
    {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int expected;
    };
    const int page = s.editor.viewport()->height() / TValueListEditor::RowHeight - 1;
    for (const Step& st : {Step{Qt::Key_Down, {}, 2}, Step{Qt::Key_Up, {}, 1}, Step{Qt::Key_Up, {}, 1},
                           Step{Qt::Key_PageDown, {}, 1 + page}, Step{Qt::Key_PageUp, {}, 1},
                           Step{Qt::Key_Down, Qt::ControlModifier, 100}, Step{Qt::Key_Down, {}, 100},
                           Step{Qt::Key_Left, {}, 100}, Step{Qt::Key_Up, Qt::ControlModifier, 1}}) {
        QTest::keyClick(s.line(), st.key, st.mods);
        EXPECT_EQ(s.editor.Row(), st.expected);
        EXPECT_EQ(s.editor.currentIndex().column(), 1);
        EXPECT_EQ(s.editor.currentIndex().row(), st.expected - 1);
        EXPECT_EQ(s.line()->text().toStdString(), "v" + std::to_string(st.expected - 1));
    }
}

TEST(ValueListEditor, ClickOnKeyCellLeavesCurrentCell)
{
    Shown s({"a=1", "b=2", "c=3"});
    s.editor.SetRow(2);
    const QRect key = s.editor.visualRect(s.editor.model()->index(0, 0));
    QTest::mouseClick(s.editor.viewport(), Qt::LeftButton, {}, key.center());
    EXPECT_EQ(s.editor.Row(), 2);
    EXPECT_EQ(s.editor.currentIndex().column(), 1);
    const QRect value = s.editor.visualRect(s.editor.model()->index(2, 1));
    QTest::mouseClick(s.editor.viewport(), Qt::LeftButton, {}, value.center());
    EXPECT_EQ(s.editor.Row(), 3);
    EXPECT_EQ(s.line()->text(), QString("3"));
    EXPECT_EQ(s.line()->geometry(), value);
}

TEST(ValueListEditor, ValueColumnFollowsWidthAndDrag)
{
    Shown s({"a=1"});
    auto* header = s.editor.horizontalHeader();
    EXPECT_EQ(header->sectionSize(0), TValueListEditor::KeyColumnWidth);
    EXPECT_EQ(s.editor.verticalHeader()->sectionSize(0), TValueListEditor::RowHeight);
    EXPECT_EQ(header->sectionSize(1), s.editor.viewport()->width() - 150 - 2);
    s.editor.resize(600, 300);
    QTRY_COMPARE(header->sectionSize(1), s.editor.viewport()->width() - 150 - 2);
    header->resizeSection(0, 220); // what a drag of the column border does
    EXPECT_EQ(header->sectionSize(1), s.editor.viewport()->width() - 220 - 2);
    EXPECT_EQ(s.line()->geometry(), s.editor.visualRect(s.editor.model()->index(0, 1)));
}

TEST(ValueListEditor, RefreshKeepsRowInRangeAndEmptyTableHasOneRow)
{
    Shown s({"a=1", "b=2", "c=3"});
    s.editor.SetRow(3);
    s.editor.Strings().Assign({"z=9"});
    EXPECT_EQ(s.editor.Row(), 1);
    EXPECT_EQ(s.line()->text(), QString("9"));
    s.editor.Strings().Clear();
    EXPECT_EQ(s.editor.model()->rowCount(), 1);
    EXPECT_EQ(s.editor.model()->headerData(0, Qt::Horizontal).toString(), QString("Key"));
    EXPECT_EQ(s.editor.model()->headerData(1, Qt::Horizontal).toString(), QString("Value"));
    QTest::keyClicks(s.line(), "typed");
    EXPECT_EQ(s.editor.Strings().Count(), 0); // no line is ever added
}

TEST(ValueListEditor, CellsAndAccessibleTextsOfTheCurrentRow)
{
    Shown s({"CimE=c:\\cim\\e.exe", "novalue"});
    EXPECT_EQ(s.editor.Cells(0, 0), "Key");
    EXPECT_EQ(s.editor.Cells(1, 0), "Value");
    EXPECT_EQ(s.editor.Cells(0, 1), "CimE");
    EXPECT_EQ(s.editor.Cells(1, 1), "c:\\cim\\e.exe");
    EXPECT_EQ(s.editor.Cells(0, 2), "");
    EXPECT_EQ(s.editor.Cells(1, 2), "novalue");
    EXPECT_EQ(s.editor.Cells(1, 3), "");
    EXPECT_FALSE(s.editor.accessibleName().isEmpty());
    EXPECT_EQ(s.line()->accessibleName(), QString("CimE"));
    EXPECT_EQ(s.editor.model()->index(0, 1).data(Qt::AccessibleTextRole).toString(),
              QString("c:\\cim\\e.exe"));
    QTest::keyClick(s.line(), Qt::Key_Down);
    EXPECT_EQ(s.line()->accessibleName(), QString());
    EXPECT_EQ(s.line()->text(), QString("novalue"));
}

TEST(ValueListEditor, WindowsTextRoundTripsThroughTheEditor)
{
    Shown s({"Umlaut=C:\\Pr\xFC"
             "fung\\a.exe"});
    EXPECT_EQ(s.line()->text(), QString::fromUtf8("C:\\Pr\u00FCfung\\a.exe"));
    QTest::keyClick(s.line(), Qt::Key_End);
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("\u00E4"));
    QApplication::sendEvent(s.line(), &press);
    EXPECT_EQ(s.editor.Strings().Get(0), "Umlaut=C:\\Pr\xFC"
                                         "fung\\a.exe\xE4");
}

TEST(ValueListEditor, PastedLineBreaksNeverSplitTheLine)
{
    Shown s({"CimE=C:\\old.exe", "DocConv=D:\\d.exe"});
    s.editor.SetRow(1);
    QApplication::clipboard()->setText("C:\\Cim\\cimatron.exe\r\n");
    s.line()->selectAll();
    QTest::keyClick(s.line(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(s.editor.ValueOfKey("CimE"), "C:\\Cim\\cimatron.exe");
    EXPECT_EQ(s.line()->text(), QString("C:\\Cim\\cimatron.exe"));

    // Pasted in the middle: the text after the cursor stays, and so does the cursor.
    QApplication::clipboard()->setText("\nX\rY\n");
    s.line()->setCursorPosition(2);
    QTest::keyClick(s.line(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(s.editor.ValueOfKey("CimE"), "C:XY\\Cim\\cimatron.exe");
    EXPECT_EQ(s.line()->cursorPosition(), 4);
    EXPECT_EQ(s.editor.Strings().Count(), 2);
    EXPECT_EQ(s.editor.Strings().Get(1), "DocConv=D:\\d.exe");
}
