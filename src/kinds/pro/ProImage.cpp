// ProImage: members, constructors, the drivers' start-up and shut-down, the
// folder plug-ins, and opening and closing the file.
#include "ProImage.h"

#include "ColorServices.h"
#include "ImagePool.h"
#include "Locations.h"
#include "NbErrorCodes.h"
#include "RawFileSession.h"
#include "YlmErrp.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace NimbalCore {

namespace {

struct NamedDriver {
    YlmRefPtr<BBPlugIn> plugIn;
    int32_t context = 0;
};

NamedDriver gDrivers[3];
std::vector<YlmRefPtr<BBPlugIn>>& FolderList() {
    static auto* list = new std::vector<YlmRefPtr<BBPlugIn>>;
    return *list;
}

const char* const kOpenNames[3] = {"ProImage::OpenWren3Driver", "ProImage::OpenPloverDriver",
                                   "ProImage::OpenWren4Driver"};
// The kind-1 close names itself as the kind-0 close does.
const char* const kCloseNames[3] = {"ProImage::CloseWren3Driver", "ProImage::CloseWren3Driver",
                                    "ProImage::CloseWren4Driver"};

int OpenDriver(int kind) {
    YlmRefPtr<LoadableModule> module = LoadableModule::CreateFromPath(ProImage::GetDriverLibraryName(kind));
    gDrivers[kind].plugIn = YlmRefPtr<BBPlugIn>(new BBPlugIn(module));
    if (!gDrivers[kind].plugIn->Bind()) YLM_THROW(kOpenNames[kind], NbErrLibraryFailed);
    const int status = gDrivers[kind].plugIn->Initialize(0, &gDrivers[kind].context);
    if (status == VrelErrInitRefused) YLM_THROW(kOpenNames[kind], NbErrDriverInitRefused);
    if (status != 0 && status != VrelInitAlreadyDone) YLM_THROW(kOpenNames[kind], NbErrLibraryFailed);
    return 0;
}

void CloseDriver(int kind) {
    NamedDriver& d = gDrivers[kind];
    if (!d.plugIn || !d.plugIn->Terminate || d.context == 0) return;
    if (d.plugIn->Terminate(d.context) != 0) YLM_THROW(kCloseNames[kind], NbErrLibraryFailed);
    d.plugIn.Reset();
    d.context = 0;
}

int32_t gHelperMinimum = 512;

} // namespace

void ProImage::SetHelperMinimumSize(int32_t pixels) { gHelperMinimum = pixels; }
int32_t ProImage::HelperMinimumSize() { return gHelperMinimum; }

const char* ProImage::GetDriverLibraryName(int kind) {
    switch (kind) {
    case Wren3: return "ZynWren3.dll";
    case Plover: return "ZynPlover.dll";
    case Wren4: return "ZynWren4.dll";
    default: return nullptr;
    }
}

int ProImage::OpenWren3Driver() { return OpenDriver(Wren3); }
int ProImage::OpenPloverDriver() { return OpenDriver(Plover); }
int ProImage::OpenWren4Driver() { return OpenDriver(Wren4); }
void ProImage::CloseWren3Driver() { CloseDriver(Wren3); }
void ProImage::ClosePloverDriver() { CloseDriver(Plover); }
void ProImage::CloseWren4Driver() {
    // The folder plug-ins go with the last driver of the teardown, also when
    // that driver fails to close; each terminates its own context when its
    // last reference goes.
    struct ReleaseFolderPlugIns {
        ~ReleaseFolderPlugIns() { FolderList().clear(); }
    } release;
    CloseDriver(Wren4);
}

void ProImage::LoadPlugInFolder() {
    FilePathSpec folder((lumora::Locations::ProgramDir() / "PlugIns").string());
    if (!folder.Exists()) return;
    try {
        std::vector<YlmRefPtr<BBPlugIn>> found = BBPlugIn::LoadFolder(folder);
        FolderList().swap(found);
    } catch (...) {
        // A folder that cannot be listed leaves the plug-ins as they were.
    }
}

void ProImage::InstallPoolSteps() {
    ImagePool::SetComponent(ImagePool::Wren3Driver, &OpenWren3Driver, &CloseWren3Driver);
    ImagePool::SetComponent(ImagePool::PloverDriver, &OpenPloverDriver, &ClosePloverDriver);
    ImagePool::SetComponent(ImagePool::Wren4Driver, &OpenWren4Driver, &CloseWren4Driver);
    ImagePool::SetPlugInFolderScan(&LoadPlugInFolder);
}

YlmRefPtr<BBPlugIn> ProImage::GetDriverPlugIn(int kind) {
    if (kind < 0 || kind > 2 || gDrivers[kind].context == 0) return YlmRefPtr<BBPlugIn>();
    return gDrivers[kind].plugIn;
}

const std::vector<YlmRefPtr<BBPlugIn>>& ProImage::GetFolderPlugIns() { return FolderList(); }

ProImage::ProImage(const FilePathSpec& path, int kind) : Image(path), driverKind(kind) {
    if (kind >= 0 && kind <= 2) {
        plugIn = gDrivers[kind].plugIn;
        driverContext = gDrivers[kind].context;
    }
    fileType_ = 0;
    cameraMake_ = "Orvex";
    sourceBitDepth_ = 12;
    evenAlignedSharpening_ = false;
}

ProImage::ProImage(const FilePathSpec& path, YlmRefPtr<BBPlugIn> plugIn_)
    : Image(path), plugIn(plugIn_), driverKind(FolderPlugIn) {
    driverContext = plugIn ? plugIn->GetContext() : 0;
    fileType_ = 0;
    cameraMake_ = "Orvex";
    sourceBitDepth_ = 12;
    evenAlignedSharpening_ = false;
}

ProImage::~ProImage() {
    try {
        EndRender();
        if (open_ || fileHandle >= 0 || imageRef != 0 || ioRef != 0) Close();
    } catch (...) {
        // Nothing more to give back.
    }
}

void ProImage::FreeReferences() {
    if (plugIn && plugIn->FreeRef) {
        if (imageRef != 0) plugIn->FreeRef(imageRef);
        if (ioRef != 0) plugIn->FreeRef(ioRef);
    }
    imageRef = 0;
    ioRef = 0;
}

int ProImage::Open() {
    openedReadWrite = false;
    try {
        if (!plugIn || !plugIn->AllocIORefFromFileHandleRef || !plugIn->AllocImage || driverContext == 0)
            YLM_THROW("ProImage::Open", NbErrImageFileOpenFailed);
        if (ioRef == 0) {
            const bool readWrite = wantReadWrite && !IsReadOnly();
            int fd = ::open(path_.GetPath().c_str(), (readWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC);
            bool gotWrite = readWrite && fd >= 0;
            if (fd >= 0 && readWrite) {
                // Another of our processes holding the file for writing is the
                // sharing violation of this platform: read-only then.
                struct flock lock {};
                lock.l_type = F_WRLCK;
                lock.l_whence = SEEK_SET;
                if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
                    ::close(fd);
                    fd = -1;
                    errno = EBUSY;
                }
            }
            if (fd < 0 && readWrite && (errno == EACCES || errno == EROFS || errno == EPERM || errno == EBUSY)) {
                fd = ::open(path_.GetPath().c_str(), O_RDONLY | O_CLOEXEC);
                gotWrite = false;
            }
            if (fd < 0) YLM_THROW("ProImage::Open", NbErrImageFileOpenFailed);
            fileHandle = fd;
            openedReadWrite = gotWrite;
            if (plugIn->AllocIORefFromFileHandleRef(driverContext, fileHandle, &ioRef) != 0) {
                ioRef = 0;
                YLM_THROW("ProImage::Open", NbErrImageFileOpenFailed);
            }
        }
        if (plugIn->AllocImage(driverContext, ioRef, &imageRef) != 0) {
            imageRef = 0;
            YLM_THROW("ProImage::Open", NbErrImageFileOpenFailed);
        }
        if (!attributesLoaded) {
            LoadAttributes();
            attributesLoaded = true;
            if (const ColorServices* services = ColorServices::Get())
                sourceColorSpaceName_ = services->GetStaticProfileName("ZynRGB.icm");
        }
    } catch (...) {
        FreeReferences();
        if (fileHandle >= 0) ::close(fileHandle);
        fileHandle = -1;
        openedReadWrite = false;
        return NbErrImageFileOpenFailed;
    }
    open_ = true;
    return Image::Open();
}

void ProImage::Close() {
    FreeReferences();
    if (fileHandle >= 0) {
        if (::close(fileHandle) != 0 && errno != EINTR) {
            fileHandle = -1;
            YLM_THROW("ProImage::Close", NbErrFileCloseFailed);
        }
        fileHandle = -1;
    }
    if (open_) Image::Close();
    openedReadWrite = false;
}

} // namespace NimbalCore
