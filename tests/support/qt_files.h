#pragma once

#include "tests/support/files.h"

#include <QDir>
#include <QString>

// A temporary folder (tests/support/files.h), or a file in it, as a Qt path.
inline QString qtPath(const TempDir& dir)
{
    return QString::fromStdU16String(dir.path().u16string());
}

inline QString qtPath(const TempDir& dir, const QString& name)
{
    return QDir(qtPath(dir)).filePath(name);
}
