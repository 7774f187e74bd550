#pragma once

#include <QWidget>

#include <string>

// A status bar of one line of text with a size grip. With AutoHint on it takes every hint the
// application offers its window as its text.
class TStatusBar : public QWidget
{
public:
    explicit TStatusBar(QWidget* parent = nullptr);

    bool AutoHint = false;

    std::string SimpleText() const { return m_simpleText; }
    void SetSimpleText(const std::string& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_simpleText;
};

// Hints of controls: "short|long"; the status bar shows the long form, tooltips the short form.
void SetHint(QWidget* control, const std::string& hint);
std::string Hint(const QWidget* control);
// Tooltips are shown for a control whose ShowHint is in force (its own, or its parent's while
// ParentShowHint is on).
void SetShowHint(QWidget* control, bool show);
void SetParentShowHint(QWidget* control, bool parent);
bool ShowHintInForce(const QWidget* control);
