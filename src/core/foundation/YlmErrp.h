#pragma once
// The counted holder of a YlmError: the type the core throws and its callers
// catch by reference. The count lives in the error; an error and its holders
// belong to one thread at a time (errors are caught on the thread that raised
// them), so the count is a plain integer.
#include "YlmError.h"

class YlmErrp {
public:
    YlmErrp(YlmError* error = nullptr);
    YlmErrp(const YlmErrp& other);
    YlmErrp& operator=(const YlmErrp& other);
    YlmErrp& operator=(YlmError* error);
    ~YlmErrp();

    YlmError* Get() const { return error_; }
    // The held error's code, or 0 when nothing is held.
    int GetCode() const { return error_ ? error_->GetCode() : 0; }

private:
    void Release();
    YlmError* error_;
};

// Raises an error of the reporting operation (a "Class::Operation" text) with
// a code, recording where it was raised.
#define YLM_THROW(operation, code) throw YlmErrp(new YlmError((operation), (code), __FILE__, __LINE__))
