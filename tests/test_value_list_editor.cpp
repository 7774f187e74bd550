#include "launch/default_launch_table.h"
#include "tests/support/application.h"
#include "toolkit/value_list_editor.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
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
        line()->setFocus();
    }
    // The parts of the grid, as the editor names them.
    QTableView* grid() { return editor.findChild<QTableView*>("Grid"); }
    QLineEdit* line() { return editor.findChild<QLineEdit*>("InplaceEditor"); }
    QAbstractItemModel* model() { return grid()->model(); }
    // The current row (1 = first line), and the way there by keyboard.
    int row() { return grid()->currentIndex().row() + 1; }
    void goToRow(int row)
    {
        QTest::keyClick(line(), Qt::Key_Up, Qt::ControlModifier);
        for (int r = 1; r < row; ++r)
            QTest::keyClick(line(), Qt::Key_Down);
    }
    QApplication* appReady;
    TValueListEditor editor;
};

} // namespace

TEST(ValueListEditor, TypingWritesEachKeystrokeAndEscapeRestores)
{
    Shown s(DefaultLaunchTable());
    int row = 0;
    ASSERT_TRUE(FindKeyRow(s.editor.Strings(), "CimE", row));
    s.goToRow(row);
    const std::string original = ValueOfKey(s.editor.Strings(), "CimE");
    ASSERT_EQ(s.line()->text().toStdString(), original);
    QTest::keyClick(s.line(), Qt::Key_End);
    std::string expected = original;
    for (char c : std::string("xyz")) {
        QTest::keyClick(s.line(), c);
        expected += c;
        EXPECT_EQ(ValueOfKey(s.editor.Strings(), "CimE"), expected);
    }
    EXPECT_EQ(s.model()->index(row - 1, 1).data().toString().toStdString(), expected);
    QTest::keyClick(s.line(), Qt::Key_Escape);
    EXPECT_EQ(ValueOfKey(s.editor.Strings(), "CimE"), original);
    EXPECT_EQ(s.line()->text().toStdString(), original);
    EXPECT_EQ(s.line()->selectedText(), s.line()->text());
    EXPECT_EQ(s.editor.Strings().Count(), static_cast<int>(DefaultLaunchTable().size()));
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
        s.goToRow(2);
        s.editor.Strings().Assign({"a=1", "", "b=2"}); // as restored from a file
        ASSERT_EQ(s.editor.Strings().Count(), 3);
        QTest::keyClick(s.line(), c.key);
        EXPECT_EQ(s.editor.Strings().Lines(), (std::vector<std::string>{"a=1", "b=2"}));
        EXPECT_GE(s.row(), 1);
        EXPECT_LE(s.row(), 2);
        EXPECT_EQ(s.line()->text().toStdString(), s.editor.Strings().ValueFromIndex(s.row() - 1));
    }
}

TEST(ValueListEditor, LineWithoutEqualsGetsEmptyName)
{
    Shown s({"a=1", "plain"});
    EXPECT_EQ(s.model()->index(1, 0).data().toString(), QString());
    EXPECT_EQ(s.model()->index(1, 1).data().toString(), QString("plain"));
    s.goToRow(2);
    QTest::keyClick(s.line(), Qt::Key_End);
    QTest::keyClick(s.line(), '!');
    EXPECT_EQ(s.editor.Strings().Get(1), "=plain!");
}

TEST(ValueListEditor, DuplicateNamesBothEditedFirstWins)
{
    Shown s({"x=1", "x=2"});
    s.goToRow(2);
    QTest::keyClick(s.line(), Qt::Key_End);
    QTest::keyClick(s.line(), '0');
    EXPECT_EQ(s.editor.Strings().Get(1), "x=20");
    EXPECT_EQ(ValueOfKey(s.editor.Strings(), "x"), "1");
    s.goToRow(1);
    QTest::keyClick(s.line(), Qt::Key_End);
    QTest::keyClick(s.line(), '5');
    EXPECT_EQ(ValueOfKey(s.editor.Strings(), "x"), "15");
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
    const int page = s.grid()->viewport()->height() / 18 - 1;
    for (const Step& st : {Step{Qt::Key_Down, {}, 2}, Step{Qt::Key_Up, {}, 1}, Step{Qt::Key_Up, {}, 1},
                           Step{Qt::Key_PageDown, {}, 1 + page}, Step{Qt::Key_PageUp, {}, 1},
                           Step{Qt::Key_Down, Qt::ControlModifier, 100}, Step{Qt::Key_Down, {}, 100},
                           Step{Qt::Key_Left, {}, 100}, Step{Qt::Key_Up, Qt::ControlModifier, 1}}) {
        QTest::keyClick(s.line(), st.key, st.mods);
        EXPECT_EQ(s.row(), st.expected);
        EXPECT_EQ(s.grid()->currentIndex().column(), 1);
        EXPECT_EQ(s.grid()->currentIndex().row(), st.expected - 1);
        EXPECT_EQ(s.line()->text().toStdString(), "v" + std::to_string(st.expected - 1));
    }
}

TEST(ValueListEditor, ClickOnKeyCellLeavesCurrentCell)
{
    Shown s({"a=1", "b=2", "c=3"});
    s.goToRow(2);
    const QRect key = s.grid()->visualRect(s.model()->index(0, 0));
    QTest::mouseClick(s.grid()->viewport(), Qt::LeftButton, {}, key.center());
    EXPECT_EQ(s.row(), 2);
    EXPECT_EQ(s.grid()->currentIndex().column(), 1);
    const QRect value = s.grid()->visualRect(s.model()->index(2, 1));
    QTest::mouseClick(s.grid()->viewport(), Qt::LeftButton, {}, value.center());
    EXPECT_EQ(s.row(), 3);
    EXPECT_EQ(s.line()->text(), QString("3"));
    EXPECT_EQ(s.line()->geometry(), value);
}

TEST(ValueListEditor, ValueColumnFollowsWidthAndDrag)
{
    Shown s({"a=1"});
    auto* header = s.grid()->horizontalHeader();
    EXPECT_EQ(header->sectionSize(0), 150);
    EXPECT_EQ(s.grid()->verticalHeader()->sectionSize(0), 18);
    EXPECT_EQ(header->sectionSize(1), s.grid()->viewport()->width() - 150 - 2);
    s.editor.resize(600, 300);
    QTRY_COMPARE(header->sectionSize(1), s.grid()->viewport()->width() - 150 - 2);
    header->resizeSection(0, 220); // what a drag of the column border does
    EXPECT_EQ(header->sectionSize(1), s.grid()->viewport()->width() - 220 - 2);
    EXPECT_EQ(s.line()->geometry(), s.grid()->visualRect(s.model()->index(0, 1)));
}

TEST(ValueListEditor, RefreshKeepsRowInRangeAndEmptyTableHasOneRow)
{
    Shown s({"a=1", "b=2", "c=3"});
    s.goToRow(3);
    s.editor.Strings().Assign({"z=9"});
    EXPECT_EQ(s.row(), 1);
    EXPECT_EQ(s.line()->text(), QString("9"));
    s.editor.Strings().Clear();
    EXPECT_EQ(s.model()->rowCount(), 1);
    EXPECT_EQ(s.model()->headerData(0, Qt::Horizontal).toString(), QString("Key"));
    EXPECT_EQ(s.model()->headerData(1, Qt::Horizontal).toString(), QString("Value"));
    QTest::keyClicks(s.line(), "typed");
    EXPECT_EQ(s.editor.Strings().Count(), 0); // no line is ever added
}

TEST(ValueListEditor, CellsAndAccessibleTextsOfTheCurrentRow)
{
    Shown s({"CimE=c:\\cim\\e.exe", "novalue"});
    // Row 0 is the title row; row r shows line r - 1.
    const auto cell = [&](int column, int row) {
        return (row == 0 ? s.model()->headerData(column, Qt::Horizontal)
                         : s.model()->index(row - 1, column).data())
            .toString()
            .toStdString();
    };
    EXPECT_EQ(cell(0, 0), "Key");
    EXPECT_EQ(cell(1, 0), "Value");
    EXPECT_EQ(cell(0, 1), "CimE");
    EXPECT_EQ(cell(1, 1), "c:\\cim\\e.exe");
    EXPECT_EQ(cell(0, 2), "");
    EXPECT_EQ(cell(1, 2), "novalue");
    EXPECT_EQ(cell(1, 3), "");
    EXPECT_FALSE(s.editor.accessibleName().isEmpty());
    EXPECT_EQ(s.line()->accessibleName(), QString("CimE"));
    EXPECT_EQ(s.model()->index(0, 1).data(Qt::AccessibleTextRole).toString(), QString("c:\\cim\\e.exe"));
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
    s.goToRow(1);
    QApplication::clipboard()->setText("C:\\Cim\\cimatron.exe\r\n");
    s.line()->selectAll();
    QTest::keyClick(s.line(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ValueOfKey(s.editor.Strings(), "CimE"), "C:\\Cim\\cimatron.exe");
    EXPECT_EQ(s.line()->text(), QString("C:\\Cim\\cimatron.exe"));

    // Pasted in the middle: the text after the cursor stays, and so does the cursor.
    QApplication::clipboard()->setText("\nX\rY\n");
    s.line()->setCursorPosition(2);
    QTest::keyClick(s.line(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ValueOfKey(s.editor.Strings(), "CimE"), "C:XY\\Cim\\cimatron.exe");
    EXPECT_EQ(s.line()->cursorPosition(), 4);
    EXPECT_EQ(s.editor.Strings().Count(), 2);
    EXPECT_EQ(s.editor.Strings().Get(1), "DocConv=D:\\d.exe");
}
