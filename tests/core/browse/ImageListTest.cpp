// The image list: case-blind names, the two orders, positions, walks by
// index with the remembered position, modes without an order, removal and
// renames, and a walker racing a writer.
#include "CoreTestSupport.h"
#include "FakeImage.h"
#include "ImageList.h"
#include "ImagePool.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace NimbalCore;
using coretest::CodeOf;
using coretest::FakeImage;

namespace {

class ImageListTest : public ::testing::Test {
protected:
    void TearDown() override {
        renderings_.clear();
        ImagePool::DeleteInstance();
    }

    // A rendering of a new image at that path, with that capture time.
    ImageRendering* Make(const std::string& path, time_t captureTime, float rotation = 0) {
        auto* image = new FakeImage(path);
        image->captureTime_ = captureTime;
        ImageProcessParam params;
        params.rotation = rotation;
        renderings_.push_back(std::make_unique<ImageRendering>(ImageRef(image), params));
        return renderings_.back().get();
    }

    static std::string NameOf(ImageRendering* r) { return r ? r->GetImage()->Get()->GetFileName() : "(null)"; }

    static std::vector<std::string> Walk(ImageList& list) {
        std::vector<std::string> names;
        for (int i = 0; i < list.Count(); ++i) names.push_back(NameOf(list[i]));
        return names;
    }

    static std::string MessageOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const YlmErrp& e) {
            return e.Get()->GetMessage() + " " + std::to_string(e.GetCode());
        }
        return "no error";
    }

    std::vector<std::unique_ptr<ImageRendering>> renderings_;
};

TEST_F(ImageListTest, NamesAreBlindToLetterCaseAndACaseTwinIsRefusedWhole) {
    ImageList list;
    ImageRendering* upper = Make("/shots/IMG_0001.CRW", 100, 90);
    list.AddImage(upper);

    for (const char* name : {"img_0001.crw", "IMG_0001.CRW", "Img_0001.Crw"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(list.ContainsName(name));
        ImageRendering* found = list.GetImage(name);
        ASSERT_NE(found, nullptr);
        EXPECT_NE(found, upper) << "the list hands out its own copy";
        EXPECT_EQ(found->GetImage()->Get(), upper->GetImage()->Get());
        EXPECT_FLOAT_EQ(found->GetProcessParam().rotation, 90);
        EXPECT_EQ(list.IndexOfName(name), 0);
    }
    EXPECT_EQ(list.MakeName(*upper->GetImage()), "img_0001.crw");

    // The twin has another capture time, so only its name collides; it must
    // be refused from both orders, not left half added.
    EXPECT_EQ(MessageOf([&] { list.AddImage(Make("/other/img_0001.crw", 200)); }), "ImageList::AddImage 1100");
    EXPECT_EQ(MessageOf([&] { list.AddImage(Make("/shots/IMG_0001.CRW", 100)); }), "ImageList::AddImage 1100");
    for (int mode : {0, 1}) {
        list.SetSortMode(mode);
        EXPECT_EQ(list.Count(), 1) << "mode " << mode;
        EXPECT_EQ(Walk(list), std::vector<std::string>{"IMG_0001.CRW"}) << "mode " << mode;
    }
    EXPECT_EQ(MessageOf([&] { list.GetImage("img_0002.crw"); }), "ImageList::GetImage 1200");
    EXPECT_FALSE(list.ContainsName("img_0002.crw"));
}

TEST_F(ImageListTest, TheTwoOrdersAndPositionsInThem) {
    ImageList list;
    // Lower-casing comes before the byte order: "Z" sorts before "_" but
    // "z" after it. Equal capture times fall back to the lower-cased names.
    ImageRendering* z = Make("/f/Z.tif", 5);
    ImageRendering* under = Make("/f/_.tif", 9);
    ImageRendering* b = Make("/f/b.tif", 5);
    ImageRendering* a = Make("/f/A.tif", 5);
    ImageRendering* c = Make("/f/c.tif", 1);
    ImageRendering* ab = Make("/f/a.tifx", 5); // "a.tif" is its prefix: the prefix comes first
    for (ImageRendering* r : {z, under, b, a, c, ab}) list.AddImage(r);

    EXPECT_EQ(list.GetSortMode(), 0);
    EXPECT_EQ(Walk(list), (std::vector<std::string>{"_.tif", "A.tif", "a.tifx", "b.tif", "c.tif", "Z.tif"}));
    EXPECT_EQ(list.IndexOf(z), 5);
    EXPECT_EQ(list.IndexOfName("Z.TIF"), 5);

    list.SetSortMode(1);
    EXPECT_EQ(Walk(list), (std::vector<std::string>{"c.tif", "A.tif", "a.tifx", "b.tif", "Z.tif", "_.tif"}));
    EXPECT_EQ(list.IndexOf(z), 4);
    EXPECT_EQ(list.IndexOf(c), 0);
    EXPECT_EQ(list.IndexOfName("Z.TIF"), 5) << "the position of a name is always in name order";

    // Absent entries answer the count.
    ImageRendering* absent = Make("/f/nothere.tif", 3);
    EXPECT_EQ(list.IndexOfName("nothere.tif"), 6);
    EXPECT_EQ(list.IndexOf(absent), 6);
    list.SetSortMode(0);
    EXPECT_EQ(list.IndexOf(absent), 6);
}

TEST_F(ImageListTest, KeysCompareByValueThenLowerCasedName) {
    const ImageListKey k1(5, "B.tif"), k2(5, "a.TIF"), k3(4, "z.tif"), k4(5, "b.TIF");
    EXPECT_EQ(k1.GetName(), "b.tif");
    EXPECT_TRUE(k2.Less(k1));
    EXPECT_FALSE(k1.Less(k2));
    EXPECT_TRUE(k3.Less(k2)) << "the value decides before the name";
    EXPECT_TRUE(k1.Equals(k4));
    EXPECT_FALSE(k1.Less(k4));
    EXPECT_FALSE(k4.Less(k1));
    EXPECT_FALSE(k1.Equals(ImageListKey(6, "b.tif")));
    // Names compare as unsigned bytes: a UTF-8 lead byte sorts after ASCII.
    EXPECT_TRUE(ImageListKey(1, "z").Less(ImageListKey(1, "\xc3\xa9")));
}

TEST_F(ImageListTest, IndexWalksInEveryPattern) {
    ImageList list;
    EXPECT_EQ(CodeOf([&] { list[0]; }), 1200) << "a new list has no position to move on from";
    for (const char* n : {"d", "b", "e", "a", "c"}) list.AddImage(Make(std::string("/w/") + n, 7));

    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        list.SetSortMode(mode);
        // Straight after adding the remembered position is the first entry.
        EXPECT_EQ(NameOf(list[1]), "b");
        EXPECT_EQ(Walk(list), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
        EXPECT_EQ(MessageOf([&] { list[5]; }), "ImageList::operator[] 1200") << "right after the last index";
        EXPECT_EQ(CodeOf([&] { list[5]; }), 1200) << "and again from the start";
        EXPECT_EQ(CodeOf([&] { list[-1]; }), 1200);
        EXPECT_EQ(CodeOf([&] { list[1000]; }), 1200);
        // Jumps, backwards steps and repeats.
        EXPECT_EQ(NameOf(list[3]), "d");
        EXPECT_EQ(NameOf(list[3]), "d");
        EXPECT_EQ(NameOf(list[0]), "a");
        EXPECT_EQ(NameOf(list[4]), "e");
        EXPECT_EQ(NameOf(list[2]), "c");
    }

    // A position reached in one order never serves the other: with capture
    // times that reverse the name order, index 2 of name order then index 3
    // of time order must still be the time order's fourth.
    ImageList mixed;
    const char* names[] = {"a", "b", "c", "d", "e"};
    for (int i = 0; i < 5; ++i) mixed.AddImage(Make(std::string("/m/") + names[i], 50 - i));
    EXPECT_EQ(NameOf(mixed[2]), "c");
    mixed.SetSortMode(1);
    EXPECT_EQ(NameOf(mixed[3]), "b");
    mixed.SetSortMode(0);
    EXPECT_EQ(NameOf(mixed[3]), "d");

    // A removal makes the walk start over on what is left.
    EXPECT_EQ(NameOf(mixed[4]), "e");
    mixed.RemoveImage(mixed.GetImage("a"));
    EXPECT_EQ(Walk(mixed), (std::vector<std::string>{"b", "c", "d", "e"}));
    EXPECT_EQ(CodeOf([&] { mixed[4]; }), 1200);
}

TEST_F(ImageListTest, AModeThatIsNoOrderAnswersNullAndZero) {
    ImageList list;
    ImageRendering* a = Make("/x/a", 1);
    ImageRendering* b = Make("/x/b", 2);
    list.AddImage(a);
    list.AddImage(b);
    list.SetSortMode(2);
    EXPECT_EQ(list.GetSortMode(), 2);
    EXPECT_EQ(list.Count(), 2);
    for (int i : {-1, 0, 1, 2}) EXPECT_EQ(list[i], nullptr) << i;
    EXPECT_EQ(list.IndexOf(a), 0);
    EXPECT_EQ(list.IndexOf(b), 0);
    EXPECT_EQ(list.IndexOf(Make("/x/c", 3)), 0);
    EXPECT_NE(list.GetImage("B"), nullptr) << "names still work";
}

TEST_F(ImageListTest, RemovalFindsBothEntriesOrRemovesNothing) {
    ImageList list;
    ImageRendering* a = Make("/r/A.jpg", 10);
    ImageRendering* b = Make("/r/b.jpg", 20);
    list.AddImage(a);
    list.AddImage(b);

    struct Case {
        const char* what;
        std::function<void()> call;
        const char* error;
    } cases[] = {
        {"rendering not listed", [&] { list.RemoveImage(Make("/r/c.jpg", 10)); }, "ImageList::RemoveImage 1200"},
        {"listed name, other time", [&] { list.RemoveImage(11, "a.jpg"); }, "ImageList::RemoveImage(2) 1200"},
        {"absent name", [&] { list.RemoveImage(10, "c.jpg"); }, "ImageList::RemoveImage(2) 1200"},
        // Same name but another capture time: the key is not listed.
        {"rendering with a moved time", [&] { list.RemoveImage(Make("/q/a.jpg", 99)); }, "ImageList::RemoveImage 1200"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MessageOf(c.call), c.error) << c.what;
        for (int mode : {0, 1}) {
            list.SetSortMode(mode);
            EXPECT_EQ(list.Count(), 2) << c.what;
        }
        list.SetSortMode(0);
    }

    list.RemoveImage(10, "A.JPG");
    EXPECT_FALSE(list.ContainsName("a.jpg"));
    list.SetSortMode(1);
    EXPECT_EQ(Walk(list), std::vector<std::string>{"b.jpg"});
    list.RemoveImage(b);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(CodeOf([&] { list[0]; }), 1200);
}

TEST_F(ImageListTest, ARenameAsRemoveAndAddKeepsTheParameters) {
    lumora::test::TempFolder folder;
    ImageList list;
    ImageRendering* shot = Make(folder.write("Old.jpg", "x"), 42, 270);
    list.AddImage(shot);
    ImageRendering* listed = list.GetImage("old.jpg");
    listed->GetImage()->Get()->Rename(FilePathSpec(folder.file("New.jpg")));

    // The rendering now reports the new name; the old entry goes by the
    // capture time and the old name.
    ImageRendering keep(*listed);
    list.RemoveImage(42, "Old.jpg");
    list.AddImage(&keep);
    EXPECT_FALSE(list.ContainsName("old.jpg"));
    ImageRendering* renamed = list.GetImage("NEW.JPG");
    EXPECT_FLOAT_EQ(renamed->GetProcessParam().rotation, 270);
    EXPECT_EQ(renamed->GetImage()->Get(), shot->GetImage()->Get());
}

TEST_F(ImageListTest, AWalkerAndAWriterShareTheList) {
    ImageList list;
    for (int i = 0; i < 50; ++i) list.AddImage(Make("/t/base" + std::to_string(i), i));
    std::vector<ImageRendering*> extra;
    for (int i = 0; i < 50; ++i) extra.push_back(Make("/t/extra" + std::to_string(i), 100 + i));

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int round = 0; round < 20; ++round)
            for (ImageRendering* r : extra) {
                list.AddImage(r);
                list.RemoveImage(r);
            }
        stop = true;
    });
    do {
        // Entries may come and go between calls; every answer is an entry or 1200.
        for (int i = 0; i < 60; ++i) {
            const int code = CodeOf([&] {
                ImageRendering* r = list[i];
                ASSERT_NE(r, nullptr);
            });
            EXPECT_TRUE(code == 0 || code == 1200) << code;
        }
    } while (!stop);
    writer.join();
    EXPECT_EQ(list.Count(), 50);
}

} // namespace
