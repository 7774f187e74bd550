#pragma once

#include "toolkit/actions.h"

#include <QWidget>

#include <vector>

// A tool bar of flat glyph-and-caption buttons bound to actions, wrapping into rows:
// HorzMargin / VertMargin around the buttons, rows 24 pixels high, a separator between rows; the bar's
// height follows its rows. Buttons take no focus and no keyboard input; a left click runs the action.
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
    bool AllowHiding = true;
    bool PersistentHotKeys = false;

    int RowCount() const;

private:
    TActionManager* m_manager = nullptr;
    std::vector<TActionClientItem> m_items;
};
