#include "FactoryTestSupport.h"

#include "FinishedTiffWriter.h"
#include "ImageWerks.h"
#include "JpegFixture.h"
#include "NbErrorCodes.h"
#include "ZproWriter.h"
#include "ZyrOldestSample.h"
#include "ZyrWriter.h"

#include <fstream>
#include <stdexcept>

namespace factorytest {

using namespace NimbalCore;

namespace {

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

} // namespace

KindsScope::KindsScope(bool driversFail) {
    ImagePool::DeleteInstance();
    ImageWerks::ResetProfileCheck();
    InstalledImageKinds::Install();
    if (driversFail)
        for (ImagePool::Component driver : {ImagePool::Wren3Driver, ImagePool::PloverDriver, ImagePool::Wren4Driver})
            ImagePool::SetComponent(driver, [] { return int(NbErrLibraryFailed); }, nullptr);
    ImagePool::Instance();
}

KindsScope::~KindsScope() {
    ImagePool::DeleteInstance();
    ImageWerks::ResetProfileCheck();
}

std::string WriteCameraRaw(const lumora::test::TempFolder& folder, const std::string& name, ZyrSampleOptions options,
                           int tagWord, const std::string& soundKey, bool settingsText) {
    options.settingsData = settingsText;
    options.tagWord = tagWord;
    ZyrWriter writer(options.order);
    const ZyrSample::Ifds ifds = ZyrSample::Fill(writer, options);
    writer.Remove(ifds.privateIfd, 1001);
    writer.Ascii(ifds.privateIfd, 1001, soundKey);
    const std::string path = folder.file(name);
    Write(path, writer.Build());
    return path;
}

std::string WriteOldestRaw(const lumora::test::TempFolder& folder, const std::string& name) {
    const std::string path = folder.file(name);
    Write(path, ZyrOldestSample::Make(ZyrOldestOptions()));
    return path;
}

std::string WriteJpeg(const lumora::test::TempFolder& folder, const std::string& name, int seed) {
    const std::string path = folder.file(name);
    Write(path, JpegFixture::Encode(JpegFixture::Pattern(24, 16, 3, uint32_t(seed)), 85));
    return path;
}

std::string WriteTiff(const lumora::test::TempFolder& folder, const std::string& name) {
    FinishedTiffSpec spec;
    const std::string path = folder.file(name);
    FinishedTiffWriter::Write(path, spec);
    return path;
}

std::string WriteZpro(const lumora::test::TempFolder& folder, const std::string& name, int modelCode) {
    ZproSpec spec;
    spec.modelCode = modelCode;
    spec.width = 32;
    spec.height = 24;
    spec.SetDefaults();
    const std::string path = folder.file(name);
    if (!WriteZproFile(path, spec)) throw std::runtime_error("cannot write " + path);
    return path;
}

} // namespace factorytest
