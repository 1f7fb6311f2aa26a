#pragma once
// Where the window goes on the screens there are now: a stored outer rectangle is fitted into
// the screen it belongs to, and moved onto the nearest screen when its title bar would be off
// every screen.

#include <QList>
#include <QRect>

namespace kps {

// How much of the frame's top counts as its title bar; at least half its height and this much
// of its width must be on a screen for the user to grab it.
inline constexpr int kTitleBarHeight = 30;
inline constexpr int kTitleBarGrab = 100;

// The outer rectangle to apply. `outer` is the stored frame (its position counts only when
// `hasPosition`); `screens` are the screens' available areas, the primary first. Without a
// position the size is fitted into the primary screen and the position is left as it was.
QRect placeOnScreens(const QRect& outer, bool hasPosition, const QList<QRect>& screens);

} // namespace kps
