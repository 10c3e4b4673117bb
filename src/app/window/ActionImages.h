// The small command pictures by their image number (0 to 17; 3 is unused).
#pragma once

#include <QIcon>

class QStyle;

// A freedesktop theme icon when the desktop has one, else the style's own standard picture,
// so every command shows a picture on a machine without an icon theme. A null icon for a
// number without a picture.
QIcon actionImage(int index, const QStyle* style);

inline constexpr int kNoImage = -1;
inline constexpr int kDisconnectImage = 6;
inline constexpr int kConnectImage = 5;
