#include "ModelTable.h"

#include <gtest/gtest.h>

#include <string>

using namespace lumora::vq;

TEST(ModelTable, RowsKeepTheirIdsAndFamiliesInSearchOrder) {
    struct Case {
        const char* model;
        int32_t family;
        int32_t id;
    };
    const Case cases[] = {
        {"ZYNM01", 0, 1},          {"ZYNM10 back", 0, 10}, {"ZYNX09", 0, 9},   {"ZYNM11", 1, 11},
        {"ZYNM12", 1, 12},         {"ZYNM14", 1, 14},      {"ZYNM15", 1, 15},  {"ZYNM20", 1, 20},
        {"ZYNM16", 3, 16},         {"ZYNM17", 3, 17},      {"ZYNM19", 3, 19},  {"ZYNM13", 2, 13},
        {"ZYNM18", 2, 18},         {"ZYNM21", 3, 21},      {"ZYNM22", 1, 22},  {"ZYNM23", 4, 0},
        {"ZYNM", 4, 0},            {"", 4, 0},             {"zynm01", 4, 0},   {"XZYNM01", 4, 0},
    };
    for (const Case& c : cases) {
        const ModelRow* row = nullptr;
        int32_t id = -1;
        EXPECT_EQ(SdkLookUpModel(c.model, &row, &id), c.family) << c.model;
        EXPECT_EQ(id, c.id) << c.model;
        if (c.family == kFamilyUnknown) {
            EXPECT_EQ(row, nullptr) << c.model;
        } else {
            ASSERT_NE(row, nullptr);
            EXPECT_EQ(row->modelId, c.id);
            EXPECT_EQ(row->extra, nullptr);
        }
    }
}

TEST(ModelTable, NoPrefixStartsAnother) {
    const ModelRow* rows = ModelTable::Rows();
    for (int i = 0; i < ModelTable::kRowCount; ++i)
        for (int j = 0; j < ModelTable::kRowCount; ++j)
            if (i != j) {
                EXPECT_NE(std::string(rows[j].prefix).rfind(rows[i].prefix, 0), 0u) << i << " " << j;
            }
}

TEST(ModelTable, UnknownModelLeavesRowAlone) {
    const ModelRow* row = ModelTable::Rows() + 3;
    int32_t id = 7;
    EXPECT_EQ(SdkLookUpModel("NOPE", &row, &id), kFamilyUnknown);
    EXPECT_EQ(row, ModelTable::Rows() + 3);
    EXPECT_EQ(id, 0);
}
