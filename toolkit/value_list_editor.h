#pragma once

#include "core/value_list_strings.h"

#include <QString>
#include <QWidget>

class QLineEdit;
class TValueListGrid;
class TValueListModel;

// A two-column key/value grid over a TValueListStrings, the list's only copy. Only value cells can
// become current; the current value cell always shows an in-place line editor whose every change is
// written into the list at once. Keys are never edited and no line is added; an empty line is
// removed when the current cell leaves it.
//
// The list and the current row live in the editor itself. The grid that shows them
// (the table view "Grid" with the in-place line editor "InplaceEditor") is built when the editor is
// first shown, so a window that is never opened never pays for it.
class TValueListEditor : public QWidget
{
    Q_OBJECT
public:
    explicit TValueListEditor(QWidget* parent = nullptr);
    ~TValueListEditor() override;

    TValueListStrings& Strings() { return m_strings; }

    // Re-reads the list: row count, current row kept in range, in-place editor reloaded.
    void Refresh();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TValueListGrid;

    // The current grid row (1 = first line).
    void setRow(int row);
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
