#pragma once
// The window's pictures, addressed by their place in the three image lists the
// toolbars and the status bar were laid out with.
#include <QIcon>
#include <QPixmap>

namespace zampo {

// Priva Office toolbar: 0 refresh, 2 add exception, 3 remove exceptions, 4 explain a route.
QIcon officeToolImage(int index);
// ZAM toolbar: 1 delete, 2 add, 3 edit, 4 import, 5 export, 6 assign alarm,
// 7 assign group alarm, 8 delete group alarm.
QIcon zamToolImage(int index);
// Status bar, one per fault: 0 Priva Office, 1 receiver. 16 x 16 pixels.
int statusImageCount();
QPixmap statusImage(int index);
// Window and tray icon.
QIcon applicationIcon();

}  // namespace zampo
