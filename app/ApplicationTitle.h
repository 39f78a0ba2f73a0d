// The application title: the program file's name, cut at its first full stop,
// with every character after the first in lower case ("TarvelReset" gives
// "Tarvelreset"). It labels the taskbar entry and captions the boxes.
#pragma once

#include <QString>

namespace tarvel {

// The title for a program file path ('/' separates folders). The path's bytes
// are read as UTF-8; a multi-byte first character stays whole and unchanged.
QString applicationTitleFromPath(const QByteArray& path);

// Full path of the running program file (programFilePath()); empty when it
// cannot be read.
QByteArray runningProgramPath();

// The file-name part of a path: what follows its last '/'.
QByteArray programFileName(const QByteArray& path);

}  // namespace tarvel
