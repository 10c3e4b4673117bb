// Start-up care for a settings file that cannot be read as settings: its bytes are kept under
// a dated name, the store is rewritten with what could be read, and the user is told once.
#pragma once

// Answers true when the file was damaged and has been dealt with.
bool rescueDamagedSettings();
