#pragma once
// Statuses of Kestra and of the colour library's string service, as the
// plug-in reports them.
#include "VxFilt.h"

VxFiltStatus TalpMapStatus(int32_t status);
VxFiltStatus TalpMapCommonStatus(int32_t code);
