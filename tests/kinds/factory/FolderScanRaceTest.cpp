// A contact sheet's folder watcher scanning and rescanning while the
// user-interface thread opens the same new files through the factory and
// walks the sheet's list, over the real kinds. Also run under
// ThreadSanitizer.
#include "ContactSheet.h"
#include "FactoryTestSupport.h"
#include "Image.h"
#include "ImageRendering.h"
#include "ImageWerks.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

using namespace NimbalCore;
using namespace factorytest;

namespace {

class WatchedSheet : public ContactSheet {
public:
    void ReportDropFailures(std::vector<std::string>) override {}
    void ActivateImage(const FilePathSpec&) override {}
};

TEST(FolderScanRaceTest, AWatcherAndTheUserInterfaceOpenTheSameNewFiles) {
    constexpr int kFiles = 40;
    lumora::test::TempFolder folder, staging;
    KindsScope scope;
    WatchedSheet sheet;
    sheet.SetFolder(FilePathSpec(folder.path().string()));
    std::atomic<bool> done{false};
    std::atomic<int> watcherErrors{0};
    std::thread watcher([&] {
        try {
            sheet.ScanFolder();
            while (!done.load()) sheet.CheckForFolderChanges();
            sheet.CheckForFolderChanges();
        } catch (const YlmErrp& e) {
            ADD_FAILURE() << "watcher: " << e.Get()->GetMessage() << " " << e.GetCode();
            ++watcherErrors;
        }
    });
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "IMG_" + std::to_string(1000 + i);
        // Each file is written elsewhere and moved in whole, as a copy
        // arrives.
        const std::string part = i % 2 ? WriteJpeg(staging, name, i) : WriteZpro(staging, name);
        const std::string path = folder.file(name + (i % 2 ? ".JPG" : ".ZYR"));
        std::rename(part.c_str(), path.c_str());
        try {
            ImageRef image;
            EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0) << path;
            const int count = sheet.GetImageList()->Count();
            for (int k = 0; k < count; ++k) {
                try {
                    ImageRendering* rendering = sheet.GetImageAt(k);
                    (void)rendering->GetImage()->Get()->GetFileName();
                } catch (const YlmErrp& e) {
                    if (e.GetCode() != NbErrImageNotListed) throw;
                }
            }
        } catch (const YlmErrp& e) {
            ADD_FAILURE() << "user interface: " << e.Get()->GetMessage() << " " << e.GetCode();
        }
    }
    done = true;
    watcher.join();
    EXPECT_EQ(watcherErrors.load(), 0);
    EXPECT_EQ(sheet.GetImageList()->Count(), kFiles);
}

} // namespace
