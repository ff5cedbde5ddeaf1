// A module as the resource calls read it: two FILTER resources and one of
// another type with the same id.
#include "ORVEXCMS.h"

namespace {
const unsigned char kFirst[] = {0x74, 0x6C, 0x69, 0x66, 0x02, 0x00, 0x00, 0x00, 0x2A};
const unsigned char kSecond[] = {1, 2, 3};
const unsigned char kOther[] = {9};
} // namespace

extern "C" {
extern const VxResourceEntry VxResourceTable[];
const VxResourceEntry VxResourceTable[] = {{"FILTER", 2003, kFirst, sizeof kFirst},
                                           {"FILTER", 2004, kSecond, sizeof kSecond},
                                           {"OTHER", 2005, kOther, sizeof kOther},
                                           {nullptr, 0, nullptr, 0}};
}
