#pragma once

class QWidget;

namespace z83::qt {

// Makes the window manager show the window's close button only. Qt already asks for that through the
// Motif hints; openbox ignores those for minimise and maximise and draws both on every window but toolbars
// and menus, so under openbox the window is marked as a toolbar. Must run before the window is shown;
// does nothing elsewhere (other window managers, Wayland, the offscreen platform).
void showCloseButtonOnly(QWidget& window);

} // namespace z83::qt
