// Theme names and standard-picture fallbacks of the command pictures.
#include "app/window/ActionImages.h"

#include <QPainter>
#include <QPen>
#include <QPixmap>
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

const int kPictureSizes[] = {16, 24, 32};

// The style's plain page is drawn so pale that it looks the same greyed out, so the create
// command could not show whether it is on; a green plus marks it and greys with it.
QIcon newPagePicture(const QStyle* style)
{
    const QIcon page = style->standardIcon(QStyle::SP_FileIcon);
    QIcon picture;
    for (const int extent : kPictureSizes) {
        QPixmap pixmap = page.pixmap(extent, extent);
        const QSizeF size = pixmap.deviceIndependentSize();
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0, 150, 0), size.width() / 6.0, Qt::SolidLine, Qt::FlatCap));
        const QPointF centre(size.width() * 0.68, size.height() * 0.68);
        const qreal arm = size.width() * 0.26;
        painter.drawLine(centre - QPointF(arm, 0), centre + QPointF(arm, 0));
        painter.drawLine(centre - QPointF(0, arm), centre + QPointF(0, arm));
        painter.end();
        picture.addPixmap(pixmap);
    }
    return picture;
}

// The style's waste bin is grey, so the enabled delete commands looked switched off; a red
// wash over it reads as "delete" and greys out clearly when the command is off.
QIcon redPicture(const QIcon& grey)
{
    QIcon picture;
    for (const int extent : kPictureSizes) {
        QPixmap pixmap = grey.pixmap(extent, extent);
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        painter.fillRect(pixmap.rect(), QColor(200, 30, 30, 150));
        painter.end();
        picture.addPixmap(pixmap);
    }
    return picture;
}

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
    if (index == kCreateSiteImage)
        return newPagePicture(style);
    if (index == kDeleteSiteImage || index == kDeleteImage)
        return redPicture(style->standardIcon(source.fallback));
    return style->standardIcon(source.fallback);
}
