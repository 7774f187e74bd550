#pragma once

#include "core/value_list_strings.h"

#include <QAbstractTableModel>
#include <QTableView>

#include <string>

class QLineEdit;

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
class TValueListEditor : public QTableView
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

    // The current grid row (1 = first line) and the in-place editor.
    int Row() const { return m_row; }
    void SetRow(int row);
    QLineEdit* InplaceEditor() const { return m_editor; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitValueColumn();
    bool navigate(QKeyEvent* event);
    void loadEditor();
    void placeEditor();
    void textEdited(const QString& text);
    bool isEmptyLine(int row) const;
    bool removeRowIfEmpty(int row);
    int lastRow() const;

    TValueListStrings m_strings;
    TValueListModel* m_model = nullptr;
    QLineEdit* m_editor = nullptr;
    int m_row = 1;
    int m_editCount = 0;
    bool m_fitting = false;
    bool m_touched = false;
    QString m_remembered;
};
