#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

// The modal message dialog with one "OK" button, captioned with the application title.
void ShowMessage(const std::string& message);

// The window of a fixed dialog, as the message dialog and the error boxes have: a title with the
// system menu and the close box, no minimise or maximise box, no resizing.
Qt::WindowFlags FixedDialogFlags();

// The dialog behind ShowMessage: a word-wrapped message and one "OK" button, sized in dialog units
// of its font, captioned with the application title. The text is shown exactly as written.
class TMessageForm : public QDialog
{
public:
    explicit TMessageForm(const std::string& message);

    QLabel* Message = nullptr;
    QPushButton* OK = nullptr;

    // What Ctrl+C puts on the clipboard (through the clipboard writer of toolkit/services.h).
    std::string ClipboardText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    std::string m_message;
    std::string m_caption;
};
