// The boxes both file panes show: the error box, the Yes/Cancel question, the delete question,
// the refused rename and the question about a changed file extension.
#pragma once

#include "model/PaneRow.h"

#include <QString>

#include <vector>

// Error icon, the single button Abort.
void showErrorBox(const QString& text);
// Confirmation icon, Yes and Cancel; true on Yes.
bool confirmed(const QString& question);
// "Delete file x?", "Delete directory x?" or, for several rows, "Delete all selected items?".
QString deleteQuestion(const std::vector<PaneRow>& rows);
// "Unable to rename to x. Is name already in use?" in the error box.
void showRenameRefusal(const QString& newName);
// True when the extension stays, or when the user agrees to its change.
bool extensionChangeAccepted(const QString& oldName, const QString& newName);
