#include "ansi.h"

#include "platform/codepage.h"

QString toQString(const std::string& ansi)
{
    return QString::fromStdString(codepage::ansiToUtf8(ansi));
}

std::string toAnsi(const QString& text)
{
    return codepage::utf8ToAnsi(text.toStdString());
}
