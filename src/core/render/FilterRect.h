#pragma once
/* The rectangle of the sharpen library's interface and of the image kinds'
 * strip requests; bottom and right are outside it. A plain C record, the
 * sharpen library's own. */
#include "VrelSharpen.h"
