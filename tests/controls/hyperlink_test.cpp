#include <gtest/gtest.h>

#include "controls/hyperlink.h"
#include "controls/test_support.h"
#include "controls/visual_styles.h"

namespace {

const int kWidth = 160;
const int kHeight = 20;
const uint32_t kNormal = rgbOf(kLinkNormalColour);
const uint32_t kHover = rgbOf(kLinkHoverColour);

class LinkTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        installShellRecorder();
        shellCalls.clear();
        link = createControl(kLinkClassName, "Halvorsine", 24, 10, 10, kWidth, kHeight);
        ASSERT_NE(link, nullptr);
        SendMessageA(link, HLM_SETLINK, 0, (LPARAM) "https://example.invalid/");
    }
    void press(int x, int y) {
        sendMouse(link, WM_MOUSEMOVE, 5, 5);
        sendMouse(link, WM_LBUTTONDOWN, 5, 5);
        sendMouse(link, WM_MOUSEMOVE, x, y);
        sendMouse(link, WM_LBUTTONUP, x, y);
    }
    HWND link = nullptr;
};

TEST_F(LinkTest, ClickInsideOpensTheTargetOnceAndReleaseOutsideNothing) {
    press(kWidth + 10, 5);
    press(5, kHeight);
    EXPECT_TRUE(shellCalls.empty());
    EXPECT_NE(GetCapture(), link);
    press(5, 5);
    ASSERT_EQ(shellCalls.size(), 1u);
    EXPECT_EQ(shellCalls[0].verb, "open");
    EXPECT_EQ(shellCalls[0].file, "https://example.invalid/");
    EXPECT_EQ(shellCalls[0].show, SW_SHOWNORMAL);
    EXPECT_NE(GetCapture(), link);
    EXPECT_EQ(GetFocus(), link) << "the link keeps the keyboard focus";
}

TEST_F(LinkTest, EnterAndSpaceOpenOncePerKeyDown) {
    SendMessageA(link, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageA(link, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(link, WM_KEYDOWN, VK_SPACE, 0x40000000);  // auto-repeat
    SendMessageA(link, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(shellCalls.size(), 3u);
    EXPECT_EQ(SendMessageA(link, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
}

TEST_F(LinkTest, HoverTurnsTheCaptionAndCursorAndLeavingRestoresThem) {
    Capture normal = captureClient(link);
    EXPECT_GT(normal.count(kNormal), 10);
    EXPECT_EQ(normal.count(kHover), 0);
    EXPECT_GT(normal.count(0xFFFFFF), 10) << "white shadow one pixel down and right";
    EXPECT_EQ(normal.at(kWidth - 2, kHeight - 2), sysRgb(COLOR_BTNFACE));
    sendMouse(link, WM_MOUSEMOVE, 5, 5);
    EXPECT_EQ(GetCapture(), link);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, (LPCSTR)IDC_HAND));
    Capture hot = captureClient(link);
    EXPECT_EQ(hot.count(kNormal), 0);
    EXPECT_EQ(hot.count(kHover), normal.count(kNormal));
    sendMouse(link, WM_MOUSEMOVE, kWidth + 3, 5);
    EXPECT_NE(GetCapture(), link);
    EXPECT_EQ(captureClient(link).pixels, normal.pixels);
}

TEST_F(LinkTest, NullCaptionKeepsTheCaptionAndReplacesTheTarget) {
    Capture before = captureClient(link);
    SendMessageA(link, HLM_SETLINK, 0, (LPARAM) "C:\\readme.txt");
    EXPECT_EQ(captureClient(link).pixels, before.pixels);
    SendMessageA(link, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_EQ(shellCalls.size(), 1u);
    EXPECT_EQ(shellCalls[0].file, "C:\\readme.txt");
    SendMessageA(link, HLM_SETLINK, (WPARAM) "Other", 0);
    EXPECT_NE(captureClient(link).pixels, before.pixels);
}

TEST_F(LinkTest, WithoutTargetActivationOnlyChangesTheLook) {
    DestroyWindow(link);
    link = createChild(parent, kLinkClassName, "No target", 24, 10, 10, kWidth, kHeight);
    SetFocus(link);
    SendMessageA(link, WM_KEYDOWN, VK_RETURN, 0);
    press(5, 5);
    EXPECT_TRUE(shellCalls.empty());
}

TEST_F(LinkTest, FocusLookIsDrawnAndActivationRemovesIt) {
    SetFocus(parent);
    Capture plain = captureClient(link);
    SetFocus(link);
    Capture focused = captureClient(link);
    uint32_t face = sysRgb(COLOR_BTNFACE);
    EXPECT_EQ(plain.count(face, 0, 0, kWidth, 1), kWidth);
    EXPECT_GT(kWidth - focused.count(face, 0, 0, kWidth, 1), kWidth / 3) << "dotted top edge";
    SendMessageA(link, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(captureClient(link).pixels, plain.pixels);
    EXPECT_EQ(GetFocus(), link);
}

TEST_F(LinkTest, ColoursAndASolidBackgroundCanBeChanged) {
    Capture before = captureClient(link);
    SendMessageA(link, HLM_SETBACKGROUND, 1, RGB(255, 255, 0));
    EXPECT_EQ(captureClient(link).pixels, before.pixels) << "the background shows from the next paint";
    InvalidateRect(link, nullptr, TRUE);
    EXPECT_EQ(captureClient(link).at(kWidth - 2, kHeight - 2), 0xFFFF00u);
    SendMessageA(link, HLM_SETCOLORS, RGB(255, 0, 0), RGB(0, 128, 0));
    EXPECT_GT(captureClient(link).count(0xFF0000), 10);
    sendMouse(link, WM_MOUSEMOVE, 5, 5);
    EXPECT_GT(captureClient(link).count(0x008000), 10);
}

TEST_F(LinkTest, DisablingClearsHoverAndFocus) {
    SetFocus(parent);
    Capture plain = captureClient(link);
    SetFocus(link);
    sendMouse(link, WM_MOUSEMOVE, 5, 5);
    ReleaseCapture();
    EnableWindow(link, FALSE);
    EXPECT_EQ(captureClient(link).pixels, plain.pixels);
}

TEST_F(LinkTest, ThemedLinkSitsOnItsParentsBackground) {
    DestroyWindow(link);
    installFakeVisualStyles();
    link = createChild(parent, kLinkClassName, "Themed", 24, 10, 10, kWidth, kHeight);
    ASSERT_EQ(fakeTheme.opened.size(), 1u);
    EXPECT_EQ(fakeTheme.opened[0], L"BUTTON");
    EXPECT_EQ(captureClient(link).at(kWidth - 2, kHeight - 2), kFakeParentRgb);
    fakeTheme.active = false;
    SendMessageA(link, WM_THEMECHANGED, 0, 0);
    EXPECT_EQ(fakeTheme.closed.size(), 1u);
    EXPECT_EQ(captureClient(link).at(kWidth - 2, kHeight - 2), sysRgb(COLOR_BTNFACE));
    fakeTheme.active = true;
    SendMessageA(link, WM_THEMECHANGED, 0, 0);
    DestroyWindow(link);
    link = nullptr;
    EXPECT_EQ(fakeTheme.closed.size(), 2u);
}

}  // namespace
