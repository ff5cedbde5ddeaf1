#pragma once
// The one error type the image core, the image kinds and the application hand
// to each other. It names the reporting operation ("Class::Operation"), carries
// a code (an NbErrorCodes value, or another component's status passed through
// unchanged), where and when it was raised, and builds its one-line text once,
// on first demand. It is thrown only inside a YlmErrp, which counts its holders.
#include <ctime>
#include <exception>
#include <string>

class YlmErrp;

class YlmError : public std::exception {
public:
    YlmError(const char* message, int code, const char* sourceFile, int line);
    ~YlmError() override;
    YlmError(const YlmError&) = delete;
    YlmError& operator=(const YlmError&) = delete;

    const char* what() const noexcept override;
    virtual const char* GetDescription();

    int GetCode() const { return code_; }
    const std::string& GetMessage() const { return message_; }
    const std::string& GetSourceFile() const { return sourceFile_; }
    int GetLine() const { return line_; }
    time_t GetCreationTime() const { return creationTime_; }

private:
    friend class YlmErrp;

    std::string message_;
    int code_;
    int line_;
    std::string sourceFile_;
    time_t creationTime_;
    std::string description_;
    int referenceCount_ = 0;
};
