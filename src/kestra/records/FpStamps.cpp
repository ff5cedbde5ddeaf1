#include "FpStamps.h"

#include "FpAttributeList.h"
#include "PsfConversions.h"

namespace kestra {

void FpAppendDatePart(std::string& text, int32_t number, bool withColon) {
    if (number >= 0 && number < 10) text += "0";
    text += PsfLongToText(number);
    if (withColon) text += ":";
}

void FpFormatDate(const VxLocalTime& t, std::string& text) {
    text.clear();
    FpAppendDatePart(text, t.yearsSince1900 + 1900, true);
    FpAppendDatePart(text, t.month + 1, true);
    FpAppendDatePart(text, t.day, true);
    FpAppendDatePart(text, t.hours, true);
    FpAppendDatePart(text, t.minutes, true);
    FpAppendDatePart(text, t.seconds, false);
}

void FpStampDate(std::string& text) {
    VxLocalTime now{};
    VxGetLocalTime(&now);
    FpFormatDate(now, text);
}

void FpStampCopyright(std::string& text) {
    VxLocalTime now{};
    VxGetLocalTime(&now);
    text = "Copyright (c) Orvex " + PsfLongToText(now.yearsSince1900 + 1900) + ". All rights reserved.";
}

FpStatus FpNewAttributeList(int32_t kind, int32_t levels, int32_t variants, int32_t taps, uint32_t& textLength,
                            Handle& list) {
    textLength = 0;
    list = 0;
    std::string copyright, date;
    FpStampCopyright(copyright);
    FpStampDate(date);
    const struct {
        int32_t id;
        std::string text;
    } stamps[] = {{2, "0"},
                  {15, copyright},
                  {17, date},
                  {30000, PsfLongToText(kind)},
                  {30004, PsfLongToText(levels)},
                  {30003, PsfLongToText(variants)},
                  {30002, PsfLongToText(taps)}};
    for (const auto& s : stamps) {
        const FpStatus st = FpPutAttribute(list, s.id, s.text.c_str());
        if (st != FpOk) {
            FpFreeAttributeList(list);
            list = 0;
            return st;
        }
    }
    textLength = FpAttributeTextLength(list);
    return FpOk;
}

} // namespace kestra
