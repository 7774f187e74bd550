#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TImageList;

// A command that a button stands for: its texts, its glyph and the handler that runs it.
struct TAction
{
    std::string Name;
    std::string Category;
    std::string Caption;
    std::string Hint;
    int ImageIndex = -1;
    std::function<void()> OnExecute;

    // Runs the handler; an error that escapes it goes to the application's error display.
    void Execute();
};

// One item of a tool bar: an action and the caption shown for it (with its "&" accelerator marker).
struct TActionClientItem
{
    TAction* Action = nullptr;
    std::string Caption;
    int ImageIndex = -1;
};

// Holds a window's actions and the image list their glyphs come from.
class TActionManager
{
public:
    TAction& Add(TAction action);
    TAction* Find(const std::string& name) const;
    const std::vector<std::unique_ptr<TAction>>& Actions() const { return m_actions; }

    TImageList* Images = nullptr;

private:
    std::vector<std::unique_ptr<TAction>> m_actions;
};
