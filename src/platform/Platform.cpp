// Shared Linux services of Lumora; see the headers of this folder.
#include "IntOps.h"
#include "ByteView.h"
