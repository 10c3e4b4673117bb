// The small command pictures by their image number (0 to 17; 3 is unused).
#pragma once

#include <QIcon>

class QStyle;

// A freedesktop theme icon when the desktop has one, else the style's own standard picture,
// so every command shows a picture on a machine without an icon theme. A null icon for a
// number without a picture.
QIcon actionImage(int index, const QStyle* style);

// The image numbers of the commands.
enum ActionImage : int {
    kNoImage = -1,
    kCreateSiteImage = 0,
    kDeleteSiteImage = 1,
    kEditSiteImage = 2,
    kResetImage = 4,
    kConnectImage = 5,
    kDisconnectImage = 6,
    kUploadImage = 7,
    kDownloadImage = 8,
    kRefreshImage = 9,
    kDeleteImage = 10,
    kUpImage = 11,
    kAbortImage = 12,
    kMakeDirectoryImage = 13,
    kSaveAsImage = 14,
    kTopicSearchImage = 15,
    kHelpOnHelpImage = 16,
    kBrowseImage = 17,
};
