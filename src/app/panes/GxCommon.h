// Common helpers of the window: the folder chooser.
#pragma once

#include <QString>

// Lets the user pick a folder, starting at `initialFolder` (the chooser's default place
// when empty). Answers true with `folder` set to an existing directory; false with `folder`
// empty when the user cancelled or picked something that is not a directory.
bool SelectFolder(const QString& title, const QString& initialFolder, QString& folder);
