#include "SdkJpegErrorManager.h"

#include <gtest/gtest.h>

namespace {

// Plain data only between setjmp and the libjpeg calls.
int decodeHeader(const unsigned char* data, unsigned long size, long* warnings) {
    jpeg_decompress_struct cinfo;
    SdkJpegError err;
    cinfo.err = SdkInitJpegErrorManager(&err);
    if (setjmp(err.returnPoint)) {
        *warnings = err.manager.num_warnings;
        jpeg_destroy_decompress(&cinfo);
        return 1;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    *warnings = err.manager.num_warnings;
    jpeg_destroy_decompress(&cinfo);
    return 0;
}

} // namespace

TEST(SdkJpegErrorManager, FillsTheManager) {
    SdkJpegError err;
    jpeg_error_mgr* m = SdkInitJpegErrorManager(&err);
    EXPECT_EQ(static_cast<void*>(m), static_cast<void*>(&err));
    EXPECT_EQ(m->error_exit, &SdkJpegErrorExit);
    EXPECT_EQ(m->trace_level, 0);
    EXPECT_EQ(m->num_warnings, 0);
    EXPECT_EQ(m->jpeg_message_table, nullptr);
    EXPECT_EQ(m->addon_message_table, nullptr);
    jpeg_decompress_struct cinfo{};
    cinfo.err = m;
    m->emit_message(reinterpret_cast<j_common_ptr>(&cinfo), -1);
    m->emit_message(reinterpret_cast<j_common_ptr>(&cinfo), 2);
    EXPECT_EQ(m->num_warnings, 1) << "warnings counted, trace messages ignored";
    m->msg_code = 7;
    m->reset_error_mgr(reinterpret_cast<j_common_ptr>(&cinfo));
    EXPECT_EQ(m->num_warnings, 0);
    EXPECT_EQ(m->msg_code, 0);
}

TEST(SdkJpegErrorManager, LibraryErrorsComeBackToTheReturnPoint) {
    const unsigned char notJpeg[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05};
    long warnings = -1;
    EXPECT_EQ(decodeHeader(notJpeg, sizeof notJpeg, &warnings), 1);
    // A start-of-image marker and nothing else: libjpeg warns about the
    // premature end, then fails for want of a frame.
    const unsigned char truncated[] = {0xFF, 0xD8};
    EXPECT_EQ(decodeHeader(truncated, sizeof truncated, &warnings), 1);
}
