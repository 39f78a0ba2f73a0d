// On X11 there is no hidden owner window to carry the taskbar entry: the main
// window carries it, so its icon name (what taskbars and iconified windows
// show) is set to the application title while its caption stays its own.
#pragma once

#include <QString>

class QWidget;

namespace tarvel {

// Sets WM_ICON_NAME and _NET_WM_ICON_NAME of a shown top-level window; does
// nothing on a platform other than X11.
void setX11IconName(QWidget* window, const QString& iconName);

}  // namespace tarvel
