#include "SdkJpegErrorManager.h"

#include <cstring>

namespace {

void emitMessage(j_common_ptr common, int level) {
    if (level < 0) common->err->num_warnings++;
}
void outputMessage(j_common_ptr) {}
void formatMessage(j_common_ptr, char* buffer) {
    if (buffer) buffer[0] = 0;
}
void resetErrorManager(j_common_ptr common) {
    common->err->num_warnings = 0;
    common->err->msg_code = 0;
}

} // namespace

void SdkJpegErrorExit(j_common_ptr common) {
    auto* record = reinterpret_cast<SdkJpegError*>(common->err);
    std::longjmp(record->returnPoint, 1);
}

jpeg_error_mgr* SdkInitJpegErrorManager(SdkJpegError* record) {
    jpeg_error_mgr& m = record->manager;
    std::memset(&m, 0, sizeof m);
    m.error_exit = SdkJpegErrorExit;
    m.emit_message = emitMessage;
    m.output_message = outputMessage;
    m.format_message = formatMessage;
    m.reset_error_mgr = resetErrorManager;
    m.trace_level = 0;
    m.num_warnings = 0;
    m.msg_code = 0;
    m.jpeg_message_table = nullptr;
    m.last_jpeg_message = 0;
    m.addon_message_table = nullptr;
    m.first_addon_message = 0;
    m.last_addon_message = 0;
    return &m;
}
