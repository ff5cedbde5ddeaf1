// A module as the string calls read it: a table and a product version.
#include "ORVEXCMS.h"

extern "C" {
extern const VxStringEntry VxStringTable[];
extern const char VxProductVersion[];
const VxStringEntry VxStringTable[] = {{1999, "PSFAPI Status: "}, {2000, "First"}, {2002, "TALPSharpen"}, {0, nullptr}};
const char VxProductVersion[] = "1.2.3.4";
}
