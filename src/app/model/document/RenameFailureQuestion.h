#pragma once
// What the user is told when a file cannot be renamed, by Rename or by an
// undo that gives files their names back.
#include <cstddef>

// Shows the message for the error code (1819 access denied, 1820 name taken,
// any other a plain failure); with more than one file it asks whether to go
// on. True when the remaining files are to be renamed all the same.
bool GoOnAfterRenameFailure(size_t fileCount, int code);
