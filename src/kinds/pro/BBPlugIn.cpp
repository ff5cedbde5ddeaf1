#include "BBPlugIn.h"

#include <cctype>
#include <cstring>

namespace NimbalCore {

namespace {

template <typename Entry>
void BindDriverEntry(YlmRefPtr<LoadableModule> module, const char* name, Entry& entry) {
    entry = reinterpret_cast<Entry>(module->GetSymbol(name));
}

} // namespace

BBPlugIn::BBPlugIn(YlmRefPtr<LoadableModule> module) : BBProcs_struct{}, module_(module) {}

BBPlugIn::~BBPlugIn() {
    try {
        TerminateContext();
    } catch (...) {
        // A driver that throws on the way out is left to the library's end.
    }
}

bool BBPlugIn::Bind() {
    if (!module_ || !module_->Load()) return false;
    BindDriverEntry(module_, "VrelInitialize", Initialize);
    BindDriverEntry(module_, "VrelTerminate", Terminate);
    BindDriverEntry(module_, "VrelFreeRef", FreeRef);
    BindDriverEntry(module_, "VrelGetAttributeInfo", GetAttributeInfo);
    BindDriverEntry(module_, "VrelGetAttributeValue", GetAttributeValue);
    BindDriverEntry(module_, "VrelSetAttributeValue", SetAttributeValue);
    BindDriverEntry(module_, "VrelAllocImage", AllocImage);
    BindDriverEntry(module_, "VrelGetImageRectangle", GetImageRectangle);
    BindDriverEntry(module_, "VrelSampleBalance", SampleBalance);
    BindDriverEntry(module_, "VrelSampleBalanceKelvin", SampleBalanceKelvin);
    BindDriverEntry(module_, "VrelSavePersistentAttributes", SavePersistentAttributes);
    BindDriverEntry(module_, "VrelSetCameraAddedNotification", SetCameraAddedNotification);
    BindDriverEntry(module_, "VrelIteratorNext", IteratorNext);
    BindDriverEntry(module_, "VrelIteratorFind", IteratorFind);
    BindDriverEntry(module_, "VrelIteratorReset", IteratorReset);
    BindDriverEntry(module_, "VrelAllocCameraIterator", AllocCameraIterator);
    BindDriverEntry(module_, "VrelSendCommand", SendCommand);
    BindDriverEntry(module_, "VrelSetCameraEventNotification", SetCameraEventNotification);
    BindDriverEntry(module_, "VrelAllocPropertyIterator", AllocPropertyIterator);
    BindDriverEntry(module_, "VrelAllocDirectoryIterator", AllocDirectoryIterator);
    BindDriverEntry(module_, "VrelAllocDirItemByPath", AllocDirItemByPath);
    BindDriverEntry(module_, "VrelStartCaptureSession", StartCaptureSession);
    BindDriverEntry(module_, "VrelEndCaptureSession", EndCaptureSession);
    BindDriverEntry(module_, "VrelSetDirectoryUpdateNotification", SetDirectoryUpdateNotification);
    BindDriverEntry(module_, "VrelDeleteDirItem", DeleteDirItem);
    BindDriverEntry(module_, "VrelAllocIORef", AllocIORef);
    BindDriverEntry(module_, "VrelAllocIORefFromFileHandleRef", AllocIORefFromFileHandleRef);
    BindDriverEntry(module_, "VrelAllocIORefFromPtr", AllocIORefFromPtr);
    BindDriverEntry(module_, "VrelRead", Read);
    BindDriverEntry(module_, "VrelWrite", Write);
    BindDriverEntry(module_, "VrelSetPosition", SetPosition);
    BindDriverEntry(module_, "VrelGetPosition", GetPosition);
    BindDriverEntry(module_, "VrelGetImageRectangleWithTest", GetImageRectangleWithTest);
    BindDriverEntry(module_, "VrelCheckImage", CheckImage);
    BindDriverEntry(module_, "VrelAllocImageByPath", AllocImageByPath);
    const bool required = Initialize && Terminate && FreeRef && GetAttributeInfo && GetAttributeValue &&
                          SetAttributeValue && GetImageRectangle && SampleBalance && SampleBalanceKelvin &&
                          SavePersistentAttributes;
    return required && (IsCameraDriver() || IsFileDriver());
}

bool BBPlugIn::IsCameraDriver() const { return IteratorNext && IteratorFind && AllocIORef; }

bool BBPlugIn::IsFileDriver() const { return !IsCameraDriver() && AllocImageByPath; }

int BBPlugIn::InitializeContext() {
    if (!Initialize) return -1;
    return Initialize(0, &context_);
}

int BBPlugIn::TerminateContext() {
    if (context_ == 0 || !Terminate) return 0;
    const int status = Terminate(context_);
    if (status == 0) context_ = 0;
    return status;
}

bool BBPlugIn::AcceptsExtension(const std::string& extension) {
    try {
        if (extension_.empty()) {
            if (!GetAttributeInfo || !GetAttributeValue) return false;
            int32_t type = 0, size = 0;
            if (GetAttributeInfo(context_, 112, &type, &size) != 0 || type != VrelTypeText || size <= 0) return false;
            std::string buffer(size_t(size), '\0');
            int32_t delivered = size;
            if (GetAttributeValue(context_, 112, &delivered, buffer.data()) != 0) return false;
            if (delivered < 0 || delivered > size) return false;
            buffer.resize(size_t(delivered));
            if (!buffer.empty() && buffer[0] == '.') buffer.erase(0, 1);
            for (char& c : buffer) c = char(std::toupper(static_cast<unsigned char>(c)));
            extension_ = buffer;
            if (extension_.empty()) return false;
        }
        return extension == extension_;
    } catch (...) {
        return false;
    }
}

std::vector<YlmRefPtr<BBPlugIn>> BBPlugIn::LoadFolder(const FilePathSpec& folder) {
    std::vector<YlmRefPtr<BBPlugIn>> list;
    if (!folder.Exists()) return list;
    std::vector<YlmRefPtr<LoadableModule>> modules = LoadableModule::LoadAllInFolder(folder);
    for (auto& module : modules) AddUsablePlugIn(list, module);
    return list;
}

void BBPlugIn::AddUsablePlugIn(std::vector<YlmRefPtr<BBPlugIn>>& list, YlmRefPtr<LoadableModule> module) {
    YlmRefPtr<BBPlugIn> plugIn(new BBPlugIn(module));
    if (plugIn->Bind() && plugIn->InitializeContext() == 0) list.push_back(plugIn);
}

} // namespace NimbalCore
