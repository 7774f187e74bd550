#pragma once

#include "toolkit/actions.h"

#include <QWidget>

#include <vector>

// A tool bar of flat glyph-and-caption buttons bound to actions, wrapping into rows:
// HorzMargin / VertMargin around the buttons, rows 24 pixels high, a separator between rows; the bar's
// height follows its rows. Buttons take no focus and no keyboard input; a left click runs the action.
class TActionToolButton;

class TActionToolBar : public QWidget
{
public:
    explicit TActionToolBar(QWidget* parent = nullptr);

    void SetActionManager(TActionManager* manager);
    void SetItems(std::vector<TActionClientItem> items);
    const std::vector<TActionClientItem>& Items() const { return m_items; }

    int HorzMargin = 1;
    int VertMargin = 1;
    int Spacing = 0;
    bool HorzSeparator = true;
    bool AllowHiding = true; // no effect here: the bar has no menu that would hide it

    int RowCount() const;
    // The button widget of item `index` (nullptr when out of range).
    QWidget* Button(int index) const;
    // Places the buttons for the current width and sets the bar's height from the row count.
    void Relayout();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Rebuild();

    TActionManager* m_manager = nullptr;
    std::vector<TActionClientItem> m_items;
    std::vector<TActionToolButton*> m_buttons;
    std::vector<int> m_rowTops;
};
