#include "wizard/control_table.h"

#include <gtest/gtest.h>

namespace {

class ControlTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        initControlTable(GetModuleHandleA(nullptr));
        parent = CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPED, 0, 0, 300, 200, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override { DestroyWindow(parent); }

    int addStatic(int group, int id, const char* text = "label") {
        return addControl(group, id, 0, WS_CHILD, "STATIC", text, 0, 0, 50, 13, nullptr);
    }

    HWND parent = nullptr;
};

TEST_F(ControlTableTest, IdsSharingABucketAreFoundApart) {
    ASSERT_EQ(addStatic(0, 49), 1);
    ASSERT_EQ(addStatic(0, 0), 1);
    ASSERT_EQ(addStatic(0, 1), 1);
    ASSERT_EQ(addStatic(0, 50), 1);
    // 49 and 0 chain in bucket 0, 1 and 50 in bucket 1, in registration order.
    ASSERT_EQ(controlTable.buckets[0]->id, 49);
    ASSERT_EQ(controlTable.buckets[0]->next->id, 0);
    EXPECT_EQ(controlTable.buckets[0]->next->previous, controlTable.buckets[0]);
    ASSERT_EQ(controlTable.buckets[1]->id, 1);
    ASSERT_EQ(controlTable.buckets[1]->next->id, 50);
    EXPECT_EQ(controlTable.buckets[bucketCount - 1], nullptr);
    for (int id : {0, 1, 49, 50}) {
        ASSERT_NE(findControl(id), nullptr);
        EXPECT_EQ(findControl(id)->id, id);
    }
    EXPECT_EQ(findControl(98), nullptr);
}

TEST_F(ControlTableTest, RefusalsLeaveTheTableUnchanged) {
    ASSERT_EQ(addControl(2, 7, 0, WS_CHILD, "STATIC", "first", 1, 2, 3, 4, nullptr), 1);
    EXPECT_EQ(addControl(3, 7, 0, WS_CHILD, "EDIT", "second", 5, 6, 7, 8, nullptr), 0);
    EXPECT_EQ(addStatic(-1, 8), 0);
    EXPECT_EQ(addStatic(1, -1), 0);
    EXPECT_EQ(addControl(1, 9, 0, WS_CHILD, "", "x", 0, 0, 1, 1, nullptr), 0);
    EXPECT_EQ(addControl(1, 9, 0, WS_CHILD, nullptr, "x", 0, 0, 1, 1, nullptr), 0);
    EXPECT_EQ(addControlFromDescriptor(nullptr), 0);

    ControlRecord* record = findControl(7);
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->className, "STATIC");
    EXPECT_STREQ(record->text, "first");
    EXPECT_EQ(record->group, 2);
    EXPECT_EQ(findGroup(1), nullptr);
    EXPECT_EQ(findGroup(3), nullptr);
    EXPECT_EQ(findControl(8), nullptr);
    EXPECT_EQ(findControl(9), nullptr);
}

TEST_F(ControlTableTest, GroupsKeepTheirOrderAndMembers) {
    ControlDescriptor descriptor = {4, 11, 0, WS_CHILD, "STATIC", "", 196, 93, 288, 13, nullptr};
    ASSERT_EQ(addControlFromDescriptor(&descriptor), 1);
    ASSERT_EQ(addStatic(0, 24), 1);
    ASSERT_EQ(addStatic(4, 12), 1);
    ASSERT_EQ(addStatic(0, 25), 1);

    ASSERT_NE(controlTable.firstGroup, nullptr);
    EXPECT_EQ(((ControlGroup*)controlTable.firstGroup)->group, 4);
    EXPECT_EQ(((ControlGroup*)controlTable.lastGroup)->group, 0);
    ControlGroup* progress = findGroup(4);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(((ControlMember*)progress->firstMember)->id, 11);
    EXPECT_EQ(((ControlMember*)progress->lastMember)->id, 12);
    // An empty text is no text at all, not an empty copy.
    EXPECT_EQ(findControl(11)->text, nullptr);
    EXPECT_EQ(findControl(11)->x, 196);
    EXPECT_EQ(findControl(11)->height, 13);
}

TEST_F(ControlTableTest, AFailingClassLeavesTheOtherMembersCreated) {
    HFONT font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    ASSERT_EQ(addControl(2, 3, 0, WS_CHILD, "STATIC", "Select destination folder:", 0, 0, 100, 13, font), 1);
    ASSERT_EQ(addControl(2, 4, 0, WS_CHILD, "NoSuchClass_Wnd", "x", 0, 20, 100, 13, nullptr), 1);
    ASSERT_EQ(addControl(2, 5, 0, WS_CHILD, "EDIT", nullptr, 0, 40, 100, 13, nullptr), 1);

    EXPECT_EQ(createGroupWindows(2, parent), 0);
    EXPECT_NE(getControlWindow(3), nullptr);
    EXPECT_EQ(getControlWindow(4), nullptr);
    EXPECT_NE(getControlWindow(5), nullptr);
    EXPECT_EQ(getControlWindow(77), nullptr);
    EXPECT_EQ((HFONT)SendMessageA(getControlWindow(3), WM_GETFONT, 0, 0), font);
    char text[64] = "unchanged";
    GetWindowTextA(getControlWindow(3), text, sizeof text);
    EXPECT_STREQ(text, "Select destination folder:");
    EXPECT_EQ(GetWindowTextLengthA(getControlWindow(5)), 0);
    EXPECT_EQ(createGroupWindows(9, parent), 0);
}

TEST_F(ControlTableTest, OnlyTheShownGroupBecomesVisible) {
    ASSERT_EQ(addStatic(0, 24), 1);
    ASSERT_EQ(addStatic(0, 25), 1);
    ASSERT_EQ(addStatic(1, 0), 1);
    ASSERT_EQ(createGroupWindows(0, parent), 1);
    ASSERT_EQ(createGroupWindows(1, parent), 1);

    EXPECT_EQ(showGroup(0), 1);
    auto shown = [](int id) { return (GetWindowLongPtrA(getControlWindow(id), GWL_STYLE) & WS_VISIBLE) != 0; };
    EXPECT_TRUE(shown(24));
    EXPECT_TRUE(shown(25));
    EXPECT_FALSE(shown(0));

    EXPECT_EQ(showGroup(6), 0);
    EXPECT_EQ(hideGroup(6), 0);
    EXPECT_FALSE(shown(0));
    EXPECT_EQ(hideGroup(0), 1);
    EXPECT_FALSE(shown(24));
    EXPECT_FALSE(shown(25));
}

}  // namespace
