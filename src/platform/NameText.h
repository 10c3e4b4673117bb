// The one crossing between file and entry names kept as bytes and the text shown on screen.
#pragma once

#include <QString>

class QLineEdit;

#include <string>
#include <string_view>

// Bytes as the file system or the server gave them, shown as text; bytes that are not valid
// UTF-8 show as replacement characters, so the row always keeps the bytes themselves.
[[nodiscard]] QString nameText(std::string_view bytes);
// Text typed by the user, as the bytes to hand to the file system or the server.
[[nodiscard]] std::string nameBytes(const QString& text);
// The bytes for a name the user edited from `oldBytes`: the start and end that the text still
// shows keep their old bytes, and only the edited part between them is taken from the text.
// So a name that is not valid UTF-8 survives being confirmed unchanged, or having only its
// extension changed.
[[nodiscard]] std::string editedNameBytes(const std::string& oldBytes, const QString& text);

// A box (LocDir, RemDir, a site editor field) that shows bytes as text and keeps the bytes
// beside it, so a path or value that is not valid UTF-8 survives being shown; text the user
// typed over it wins. keepBoxBytes keeps them for a text the caller has shown already.
void setBoxPath(QLineEdit* box, const std::string& path);
void keepBoxBytes(QLineEdit* box, const std::string& bytes);
[[nodiscard]] std::string boxPath(const QLineEdit* box);
