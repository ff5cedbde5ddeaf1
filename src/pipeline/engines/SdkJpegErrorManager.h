#pragma once
// The camera interface's libjpeg error manager: libjpeg's error manager followed
// by the return point that the caller sets (setjmp) before each run of libjpeg
// calls. A libjpeg error comes back there with the value 1; no message text is
// ever built or shown, warnings are only counted.
//
// Between setjmp and the end of the libjpeg calls, keep only plain data on the
// stack (no objects with destructors): the non-local return skips them.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

struct SdkJpegError {
    jpeg_error_mgr manager; // first, so libjpeg's err pointer is the record
    std::jmp_buf returnPoint;
};

// libjpeg's error_exit of the interface: returns to record->returnPoint with 1.
[[noreturn]] void SdkJpegErrorExit(j_common_ptr common);
// Fills the error manager and answers record->manager's address as libjpeg
// wants it for cinfo.err.
jpeg_error_mgr* SdkInitJpegErrorManager(SdkJpegError* record);
