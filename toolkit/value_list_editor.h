#pragma once

#include "core/value_list_strings.h"

#include <QAbstractTableModel>
#include <QTableView>
#include <QWidget>

#include <string>

class QHeaderView;
class QLineEdit;
class TValueListGrid;

// The rows of a TValueListEditor below its title row "Key" / "Value" (the header): one row per
// line of the list, one empty row for an empty list. The model holds no copy of the text.
class TValueListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TValueListModel(TValueListStrings& strings, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Rebuilds the rows after the list changed.
    void reset();
    // Repaints one line after the in-place editor wrote it.
    void lineChanged(int line);

private:
    TValueListStrings& m_strings;
};

// A two-column key/value grid over a TValueListStrings, the list's only copy. Only value cells can
// become current; the current value cell always shows an in-place line editor whose every change is
// written into the list at once. Keys are never edited and no line is added; an empty line is
// removed when the current cell leaves it.
//
// The list, its keyed read and the current row live in the editor itself. The grid that shows them
// (table view, model and in-place line editor) is built when the editor is first shown or when one of
// its parts is first asked for, so a window that is never opened never pays for it.
class TValueListEditor : public QWidget
{
    Q_OBJECT
public:
    static constexpr int RowHeight = 18;
    static constexpr int KeyColumnWidth = 150;

    explicit TValueListEditor(QWidget* parent = nullptr);
    ~TValueListEditor() override;

    TValueListStrings& Strings() { return m_strings; }
    const TValueListStrings& Strings() const { return m_strings; }

    std::string ValueOfKey(const std::string& key) const;
    bool FindKeyRow(const std::string& key, int& row) const;

    // The text of a cell: row 0 holds the titles, row r the name (column 0) and value of line r - 1.
    std::string Cells(int column, int row) const;

    // Re-reads the list: row count, current row kept in range, in-place editor reloaded.
    void Refresh();

    // The current grid row (1 = first line).
    int Row() const { return m_row; }
    void SetRow(int row);

    // Whether the grid exists yet; the parts below build it when it does not.
    bool GridBuilt() const { return m_grid != nullptr; }
    QTableView* Grid();
    QLineEdit* InplaceEditor();
    QAbstractItemModel* model();
    QHeaderView* horizontalHeader();
    QHeaderView* verticalHeader();
    QWidget* viewport();
    QRect visualRect(const QModelIndex& index);
    QModelIndex currentIndex();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TValueListGrid;

    void buildGrid();
    void fitValueColumn();
    bool navigate(QKeyEvent* event);
    void clickAt(const QPoint& position);
    void loadEditor();
    void placeEditor();
    void textEdited(const QString& text);
    bool isEmptyLine(int row) const;
    bool removeRowIfEmpty(int row);
    int lastRow() const;

    TValueListStrings m_strings;
    TValueListGrid* m_grid = nullptr;
    TValueListModel* m_model = nullptr;
    QLineEdit* m_editor = nullptr;
    int m_row = 1;
    int m_editCount = 0;
    bool m_fitting = false;
    bool m_touched = false;
    QString m_remembered;
};
