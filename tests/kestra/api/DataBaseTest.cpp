// Filter files and the filter data base folder.
#include "KestraTestSupport.h"
#include "PsfStorage.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace kestratest;
namespace fs = std::filesystem;

namespace {

class FilterFiles : public KestraTest {
protected:
    void SetUp() override {
        char name[] = "/tmp/kestradbXXXXXX";
        root_ = mkdtemp(name);
        setenv("LUMORA_PREF_DIR", (root_ / "prefs").c_str(), 1);
        setenv("LUMORA_SYSTEM_DIR", (root_ / "system").c_str(), 1);
        fs::create_directories(root_ / "prefs");
        KestraTest::SetUp();
    }
    void TearDown() override {
        KestraTest::TearDown();
        unsetenv("LUMORA_PREF_DIR");
        unsetenv("LUMORA_SYSTEM_DIR");
        fs::remove_all(root_);
    }
    void setPsfPath(const std::string& folder) {
        std::ofstream ini(root_ / "prefs" / "vxfilter.ini");
        ini << "[FilterFile]\npsf_path=" << folder << "\n";
    }
    static std::vector<uint8_t> bytesOf(const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
    }
    fs::path root_;
};

} // namespace

TEST_F(FilterFiles, StoreAndLoadByNameUseThePreferenceFolder) {
    fs::create_directories(root_ / "filters");
    setPsfPath((root_ / "filters").string());
    char path[kestra::kDbPathSize];
    ASSERT_TRUE(kestra::PsfFilterDbPath("usm5.flt", path, sizeof path));
    EXPECT_EQ(std::string(path), (root_ / "filters" / "usm5.flt").string());

    const std::vector<uint8_t> in = WriteFilterBuffer(sharpeningSpec());
    const PSFFilter f = load(in);
    EXPECT_EQ(PSFStoreFilterToDB(f, "usm5.flt"), PSFSuccess);
    EXPECT_EQ(bytesOf(root_ / "filters" / "usm5.flt"), in);
    PSFFilter back = 0;
    EXPECT_EQ(PSFLoadFilterFromDB(caller_, "usm5.flt", &back), PSFSuccess);
    EXPECT_EQ(store(back), in);
    EXPECT_EQ(PSFFreeFilter(back), PSFSuccess);
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}

TEST_F(FilterFiles, WithoutAPreferenceTheSystemFolderHoldsTheDataBase) {
    char path[kestra::kDbPathSize];
    ASSERT_TRUE(kestra::PsfFilterDbPath("usm5.flt", path, sizeof path));
    EXPECT_EQ(std::string(path), (root_ / "system" / "orvex" / "vxfms" / "usm5.flt").string());
    setPsfPath(""); // an empty value counts as none
    ASSERT_TRUE(kestra::PsfFilterDbPath("usm5.flt", path, sizeof path));
    EXPECT_EQ(std::string(path), (root_ / "system" / "orvex" / "vxfms" / "usm5.flt").string());
    EXPECT_FALSE(kestra::PsfFilterDbPath("usm5.flt", path, 10));

    const PSFFilter f = load(sharpeningSpec());
    EXPECT_EQ(PSFStoreFilterToDB(f, "usm5.flt"), PSFErrFilterFile); // the folder is not there yet
    fs::create_directories(root_ / "system" / "orvex" / "vxfms");
    EXPECT_EQ(PSFStoreFilterToDB(f, "usm5.flt"), PSFSuccess);
    EXPECT_TRUE(fs::exists(root_ / "system" / "orvex" / "vxfms" / "usm5.flt"));
    PSFFilter back = 0;
    EXPECT_EQ(PSFLoadFilterFromDB(caller_, "usm5.flt", &back), PSFSuccess);
    EXPECT_EQ(PSFFreeFilter(back), PSFSuccess);
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}

TEST_F(FilterFiles, EveryFileFailureAnswers1049) {
    const PSFFilter f = load(sharpeningSpec());
    PSFFilter g = 0;
    const std::string missing = (root_ / "missing.flt").string();
    EXPECT_EQ(PSFLoadFilter(caller_, missing.c_str(), nullptr, &g), PSFErrFilterFile);
    EXPECT_EQ(PSFLoadFilter(caller_, root_.c_str(), nullptr, &g), PSFErrFilterFile); // a folder
    EXPECT_EQ(PSFLoadFilterFromDB(caller_, "missing.flt", &g), PSFErrFilterFile);
    EXPECT_EQ(PSFStoreFilter(f, (root_ / "no" / "such" / "x.flt").c_str(), nullptr), PSFErrFilterFile);
    EXPECT_EQ(PSFStoreFilter(f, nullptr, nullptr), PSFErrFilterFile);
    EXPECT_EQ(g, 0u);

    // A file that is not a filter is bad data, not a file failure.
    const fs::path junk = root_ / "junk.flt";
    std::ofstream(junk) << "not a filter";
    EXPECT_EQ(PSFLoadFilter(caller_, junk.c_str(), nullptr, &g), PSFErrFilterUnusable);

    // A file written and read back whole.
    const fs::path good = root_ / "good.flt";
    EXPECT_EQ(PSFStoreFilter(f, good.c_str(), nullptr), PSFSuccess);
    EXPECT_EQ(PSFLoadFilter(caller_, good.c_str(), nullptr, &g), PSFSuccess);
    EXPECT_EQ(bytesOf(good), WriteFilterBuffer(sharpeningSpec()));
    EXPECT_EQ(PSFFreeFilter(g), PSFSuccess);

    // A filter that cannot be stored leaves no file behind.
    const PSFFilter bare = make(false);
    EXPECT_EQ(PSFStoreFilter(bare, (root_ / "bare.flt").c_str(), nullptr), PSFErrFilterNotInitialized);
    EXPECT_FALSE(fs::exists(root_ / "bare.flt"));
    EXPECT_EQ(PSFFreeFilter(bare), PSFSuccess);
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}
