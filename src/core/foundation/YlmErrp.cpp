#include "YlmErrp.h"

YlmErrp::YlmErrp(YlmError* error) : error_(error) {
    if (error_) ++error_->referenceCount_;
}

YlmErrp::YlmErrp(const YlmErrp& other) : error_(other.error_) {
    if (error_) ++error_->referenceCount_;
}

YlmErrp& YlmErrp::operator=(const YlmErrp& other) {
    return *this = other.error_;
}

YlmErrp& YlmErrp::operator=(YlmError* error) {
    if (error == error_) return *this;
    // The new error gains its reference before the old one loses its own, so
    // assigning an error that the old one owns keeps it alive.
    if (error) ++error->referenceCount_;
    Release();
    error_ = error;
    return *this;
}

YlmErrp::~YlmErrp() {
    Release();
}

void YlmErrp::Release() {
    if (error_ && --error_->referenceCount_ == 0) delete error_;
    error_ = nullptr;
}
