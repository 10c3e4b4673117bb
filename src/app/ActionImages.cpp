// Theme names and standard-picture fallbacks of the command pictures.
#include "app/ActionImages.h"

#include <QStyle>

#include <array>

namespace {

struct ImageSource {
    const char* themeName;
    QStyle::StandardPixmap fallback;
};

constexpr std::array<ImageSource, 18> kImages = {{
    {"document-new", QStyle::SP_FileIcon},                      // 0 create site
    {"list-remove", QStyle::SP_DialogDiscardButton},            // 1 delete site
    {"document-properties", QStyle::SP_FileDialogDetailedView}, // 2 edit site
    {nullptr, QStyle::SP_CustomBase},                           // 3 unused
    {"edit-clear", QStyle::SP_DialogResetButton},               // 4 reset all
    {"network-wired", QStyle::SP_DriveNetIcon},                 // 5 connect
    {"network-offline", QStyle::SP_BrowserStop},                // 6 disconnect
    {"go-next", QStyle::SP_ArrowRight},                         // 7 upload (to the right pane)
    {"go-previous", QStyle::SP_ArrowLeft},                      // 8 download (to the left pane)
    {"view-refresh", QStyle::SP_BrowserReload},                 // 9 refresh
    {"edit-delete", QStyle::SP_TrashIcon},                      // 10 delete
    {"go-up", QStyle::SP_FileDialogToParent},                   // 11 up one level
    {"process-stop", QStyle::SP_BrowserStop},                   // 12 abort
    {"folder-new", QStyle::SP_FileDialogNewFolder},             // 13 make directory
    {"document-save-as", QStyle::SP_DialogSaveButton},          // 14 download and save as
    {"edit-find", QStyle::SP_FileDialogContentsView},           // 15 topic search
    {"help-contents", QStyle::SP_DialogHelpButton},             // 16 help on help
    {"folder-open", QStyle::SP_DirOpenIcon},                    // 17 browse for folder
}};

} // namespace

QIcon actionImage(int index, const QStyle* style)
{
    if (index < 0 || index >= static_cast<int>(kImages.size()))
        return {};
    const ImageSource& source = kImages[static_cast<std::size_t>(index)];
    if (!source.themeName)
        return {};
    const QString name = QString::fromLatin1(source.themeName);
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return style->standardIcon(source.fallback);
}
