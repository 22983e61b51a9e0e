#include <gtest/gtest.h>

#include "controls/button.h"
#include "controls/focus_nav.h"
#include "controls/hyperlink.h"
#include "controls/test_support.h"
#include "controls/visual_styles.h"

namespace {

// A stand-in for a list control that may keep Up and Down for itself.
LRESULT listAnswer;
LRESULT CALLBACK listProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LBM_KEEPARROWS) return listAnswer;
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerList() {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = listProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ListBoy_Wnd";
    RegisterClassExA(&wc);
}

// A window laid out like the wizard: two buttons, a text box, a Browse button
// inside a panel, a list, an option and the link, enrolled in that order.
class FocusTest : public ::testing::Test {
protected:
    void SetUp() override {
        useClassicDrawing();
        registerList();
        parent = createParent(400, 200);
        left = createChild(parent, kButtonBoyClassName, "Back", 25, 10, 160, 80, 25);
        right = createChild(parent, kButtonBoyClassName, "Next", 26, 100, 160, 80, 25);
        edit = CreateWindowExA(0, "EDIT", "C:\\Program Files\\", WS_CHILD | WS_VISIBLE | WS_BORDER,
                               10, 10, 200, 22, parent, (HMENU)4, nullptr, nullptr);
        panel = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 220, 10, 100, 40, parent,
                                nullptr, nullptr, nullptr);
        browse = createChild(panel, kButtonBoyClassName, "Browse", 5, 0, 0, 80, 25);
        list = createChild(parent, "ListBoy_Wnd", "", 6, 10, 60, 100, 60);
        option = CreateWindowExA(0, "BUTTON", "Option", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX,
                                 120, 60, 100, 20, parent, (HMENU)18, nullptr, nullptr);
        link = createChild(parent, kLinkClassName, "Link", 24, 200, 160, 80, 20);
        ASSERT_EQ(addFocusGroup(0), 1);
        for (HWND w : {left, right, edit, browse, list, option, link}) ASSERT_EQ(enrolFocus(w), 1);
        SetFocus(left);
    }
    void TearDown() override {
        removeFocusGroups();
        DestroyWindow(parent);
        pumpMessages();
    }
    HWND key(WPARAM virtualKey) {
        SendMessageA(GetFocus(), WM_KEYDOWN, virtualKey, 0);
        return GetFocus();
    }
    HWND parent, left, right, edit, panel, browse, list, option, link;
};

TEST_F(FocusTest, TabWalksTheEnrolmentOrderAndWrapsAndShiftTabMovesForwardToo) {
    for (HWND expected : {right, edit, browse, list, option, link, left}) EXPECT_EQ(key(VK_TAB), expected);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    EXPECT_EQ(key(VK_TAB), right);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

TEST_F(FocusTest, HiddenDisabledAndDisabledParentMembersAreSkippedOrTheFocusStays) {
    ShowWindow(edit, SW_HIDE);
    EnableWindow(panel, FALSE);  // Browse itself stays enabled
    EnableWindow(list, FALSE);
    SetFocus(right);
    EXPECT_EQ(key(VK_TAB), option);
    EXPECT_EQ(isEnabledChain(browse), 0);
    EXPECT_EQ(isEnabledChain(option), 1);
    EXPECT_EQ(nextFocusTarget(option, 0), right);
    // The focus stays when no other member qualifies.
    for (HWND w : {left, option, link}) ShowWindow(w, SW_HIDE);
    SetFocus(right);
    EXPECT_EQ(key(VK_TAB), right);
    EXPECT_EQ(nextFocusTarget(right, 1), nullptr);
    EXPECT_EQ(nextFocusTarget(parent, 1), nullptr) << "not enrolled";
}

TEST_F(FocusTest, ArrowsMoveExceptWhereTheControlUsesThem) {
    SetFocus(right);
    EXPECT_EQ(key(VK_LEFT), left);
    EXPECT_EQ(key(VK_RIGHT), right);
    EXPECT_EQ(key(VK_DOWN), edit);
    EXPECT_EQ(key(VK_LEFT), edit) << "Left and Right move the caret in a text box";
    EXPECT_EQ(key(VK_RIGHT), edit);
    EXPECT_EQ(key(VK_UP), right) << "Up and Down move the focus from a text box";
    // The list keeps Up and Down when it says so.
    SetFocus(list);
    listAnswer = 1;
    EXPECT_EQ(key(VK_DOWN), list);
    EXPECT_EQ(key(VK_UP), list);
    listAnswer = 0;
    EXPECT_EQ(key(VK_DOWN), option);
    SetFocus(list);
    EXPECT_EQ(key(VK_UP), browse);
}

TEST_F(FocusTest, TabTypedIntoATextBoxInsertsNothing) {
    SetFocus(edit);
    SendMessageA(edit, WM_CHAR, 'x', 0);
    SendMessageA(edit, WM_CHAR, '\t', 0);
    char text[64] = "";
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_EQ(strchr(text, '\t'), nullptr);
    EXPECT_NE(strchr(text, 'x'), nullptr);
}

TEST_F(FocusTest, GroupsAreJoinedEndToEndAndKeysAreUnique) {
    EXPECT_EQ(addFocusGroup(0), 0);
    EXPECT_EQ(addFocusMember(7, right), 0) << "no such group";
    EXPECT_EQ(addFocusGroup(3), 1);
    EXPECT_EQ(currentFocusGroup, 3);
    EXPECT_EQ(addFocusGroup(4), 1);  // an empty group in the middle
    EXPECT_EQ(addFocusGroup(5), 1);
    HWND extra = createChild(parent, kButtonBoyClassName, "Extra", 30, 300, 60, 60, 25);
    ASSERT_EQ(addFocusMember(3, extra), 1);
    EXPECT_EQ(nextFocusTarget(link, 1), extra);
    EXPECT_EQ(nextFocusTarget(extra, 1), left);
    EXPECT_EQ(nextFocusTarget(left, 0), extra);
    EXPECT_EQ(findFocusMember(extra)->group->key, 3);
    EXPECT_EQ(enrolFocus(nullptr), 0);
}

TEST_F(FocusTest, MessagesStillReachTheControlsAfterTeardown) {
    EXPECT_EQ(removeFocusGroups(), 1);
    EXPECT_EQ(firstFocusGroup, nullptr);
    EXPECT_EQ(findFocusMember(edit), nullptr);
    SendMessageA(edit, WM_SETTEXT, 0, (LPARAM) "D:\\Games\\");
    char text[64] = "";
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ(text, "D:\\Games\\");
    EXPECT_EQ(SendMessageA(right, BBM_GETLATCH, 0, 0), 1) << "the button's own class procedure";
    SetFocus(right);
    EXPECT_EQ(key(VK_TAB), right) << "no focus order any more";
    EXPECT_EQ(addFocusGroup(0), 1) << "a group key is free again";
}

TEST_F(FocusTest, DestroyedControlLeavesTheOrder) {
    DestroyWindow(edit);
    EXPECT_EQ(findFocusMember(edit), nullptr);
    EXPECT_EQ(nextFocusTarget(right, 1), browse);
    EXPECT_EQ(nextFocusTarget(browse, 0), right);
}

TEST_F(FocusTest, ButtonStillTellsItsParentAboutTab) {
    parentMessages.clear();
    SetFocus(right);
    key(VK_TAB);
    pumpMessages();
    int tabs = 0;
    for (const ParentMessage& m : parentMessages) tabs += m.message == NAV_TAB;
    EXPECT_EQ(tabs, 1);
    EXPECT_EQ(GetFocus(), edit) << "and the focus moved once";
}

}  // namespace
