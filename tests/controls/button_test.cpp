#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "controls/button.h"
#include "controls/hyperlink.h"
#include "controls/progress_bar.h"
#include "controls/test_support.h"
#include "controls/visual_styles.h"

namespace {

const int kWidth = 120;
const int kHeight = 30;
const int kId = 0x12345;  // only the low 16 bits reach the parent

// The skin's lower band: the base colour darkened by 20 per channel.
uint32_t darkerBy20(int systemColour) {
    uint32_t rgb = sysRgb(systemColour), out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        int channel = (int)((rgb >> shift) & 255) - 20;
        out |= (uint32_t)(channel < 0 ? 0 : channel) << shift;
    }
    return out;
}

class ButtonTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        recreate(false);
        ASSERT_NE(button, nullptr);
        parentMessages.clear();
    }
    // A fresh button, drawn by the fake visual-style library when themed.
    void recreate(bool themed) {
        if (button) DestroyWindow(button);
        if (themed) installFakeVisualStyles();
        button = createControl(kButtonBoyClassName, "Next", kId, 20, 20, kWidth, kHeight);
    }
    int clicks() const {
        int n = 0;
        for (const ParentMessage& m : parentMessages) n += m.message == WM_COMMAND;
        return n;
    }
    void press(int x = 10) {
        sendMouse(button, WM_MOUSEMOVE, x, 10);
        sendMouse(button, WM_LBUTTONDOWN, x, 10);
    }
    void click() {
        press();
        sendMouse(button, WM_LBUTTONUP, 10, 10);
        pumpMessages();
    }
    void focusParent() {
        SetFocus(parent);
        pumpMessages();
    }
    HWND button = nullptr;
};

TEST_F(ButtonTest, PressAndReleaseInsidePostsOneClick) {
    press();
    EXPECT_EQ(GetCapture(), button);
    EXPECT_EQ(GetFocus(), button);
    sendMouse(button, WM_LBUTTONUP, 10, 10);
    EXPECT_NE(GetCapture(), button);
    EXPECT_EQ(clicks(), 0) << "the click is posted, not sent";
    pumpMessages();
    ASSERT_EQ(parentMessages.size(), 1u);
    EXPECT_EQ(parentMessages[0].message, (UINT)WM_COMMAND);
    EXPECT_EQ(parentMessages[0].wParam, (WPARAM)MAKEWPARAM(kId & 0xFFFF, BN_CLICKED));
    EXPECT_EQ((HWND)parentMessages[0].lParam, button);
}

TEST_F(ButtonTest, PressedCaptionSinksAndDragOutReleaseDoesNotClick) {
    SetFocus(button);
    Capture normal = captureClient(button);
    press();
    Capture pushed = captureClient(button);
    Box before = boxOf(normal, sysRgb(COLOR_BTNTEXT), 3), after = boxOf(pushed, sysRgb(COLOR_BTNTEXT), 3);
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(after.left, before.left + 1) << "the caption sinks one pixel while pressed and hot";
    EXPECT_EQ(after.top, before.top + 1);
    EXPECT_NE(pushed.at(1, 1), normal.at(1, 1)) << "the frame is drawn pushed";

    sendMouse(button, WM_MOUSEMOVE, kWidth + 5, 10);
    EXPECT_EQ(GetCapture(), button) << "the capture stays while the button is pressed";
    EXPECT_EQ(captureClient(button).pixels, normal.pixels);
    sendMouse(button, WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(captureClient(button).pixels, pushed.pixels);
    sendMouse(button, WM_MOUSEMOVE, -3, 10);  // left of the window: outside
    sendMouse(button, WM_LBUTTONUP, -3, 10);
    pumpMessages();
    EXPECT_EQ(clicks(), 0);
    EXPECT_NE(GetCapture(), button);
    EXPECT_EQ(captureClient(button).pixels, normal.pixels);
}

TEST_F(ButtonTest, SpaceAndEnterClickOncePerKeyDownAndTabOnlyNotifiesTheParent) {
    SendMessageA(button, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(button, WM_KEYDOWN, VK_SPACE, 0x40000000);  // auto-repeat
    SendMessageA(button, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageA(button, WM_KEYDOWN, 'A', 0);
    pumpMessages();
    EXPECT_EQ(clicks(), 3);
    parentMessages.clear();
    SendMessageA(button, WM_KEYDOWN, VK_TAB, 0);
    pumpMessages();
    ASSERT_EQ(parentMessages.size(), 1u);
    EXPECT_EQ(parentMessages[0].message, (UINT)NAV_TAB);
    EXPECT_EQ(SendMessageA(button, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
}

TEST_F(ButtonTest, ToggleFlipsTheLatchUnlessAutoToggleIsOff) {
    EXPECT_EQ(SendMessageA(button, BBM_GETLATCH, 0, 0), 1);
    Capture up = captureClient(button);
    EXPECT_EQ(SendMessageA(button, BBM_SETTOGGLE, 1, 0), 1);
    click();
    EXPECT_EQ(SendMessageA(button, BBM_GETLATCH, 0, 0), 0);
    focusParent();
    sendMouse(button, WM_MOUSEMOVE, kWidth + 5, 10);
    EXPECT_NE(captureClient(button).at(1, 1), up.at(1, 1)) << "latch 0 is drawn pushed in";
    click();
    EXPECT_EQ(SendMessageA(button, BBM_GETLATCH, 0, 0), 1);
    EXPECT_EQ(SendMessageA(button, BBM_SETNOAUTOTOGGLE, 1, 0), 1);
    click();
    EXPECT_EQ(SendMessageA(button, BBM_GETLATCH, 0, 0), 1);
    EXPECT_EQ(clicks(), 3);

    EXPECT_EQ(SendMessageA(button, BBM_SETLATCH, 2, 0), -1);
    EXPECT_EQ(SendMessageA(button, BBM_GETLATCH, 0, 0), 1);
    EXPECT_EQ(SendMessageA(button, BBM_SETLATCH, 0, 0), 1);
    EXPECT_EQ(SendMessageA(button, BBM_GETLATCH, 0, 0), 0);
}

TEST_F(ButtonTest, ClassicFocusDrawsDarkFrameAndFocusRectangle) {
    focusParent();
    Capture plain = captureClient(button);
    SetFocus(button);
    Capture focused = captureClient(button);
    uint32_t dark = sysRgb(COLOR_3DDKSHADOW), face = sysRgb(COLOR_BTNFACE);
    EXPECT_EQ(focused.at(0, kHeight / 2), dark);
    EXPECT_NE(plain.at(0, kHeight / 2), dark);
    EXPECT_EQ(plain.count(face, 4, 4, kWidth - 4, 5), kWidth - 8);
    EXPECT_GT(kWidth - 8 - focused.count(face, 4, 4, kWidth - 4, 5), (kWidth - 8) / 3) << "dotted focus line on row 4";
}

TEST_F(ButtonTest, DisablingGreysTheCaptionAndItOrHidingClearsTheState) {
    focusParent();
    Capture plain = captureClient(button);
    sendMouse(button, WM_MOUSEMOVE, 10, 10);
    SetFocus(button);
    EnableWindow(button, FALSE);
    pumpMessages();
    Capture disabled = captureClient(button);
    EXPECT_TRUE(boxOf(disabled, sysRgb(COLOR_BTNTEXT), 3).empty()) << "no caption in text colour";
    EXPECT_FALSE(boxOf(disabled, sysRgb(COLOR_BTNSHADOW), 3).empty());
    EXPECT_FALSE(boxOf(disabled, sysRgb(COLOR_BTNHIGHLIGHT), 3).empty());
    EnableWindow(button, TRUE);
    focusParent();
    EXPECT_EQ(captureClient(button).pixels, plain.pixels);

    // Hiding the button by its style forgets a press.
    press();
    LONG_PTR style = GetWindowLongPtrA(button, GWL_STYLE);
    SetWindowLongPtrA(button, GWL_STYLE, style & ~WS_VISIBLE);
    sendMouse(button, WM_LBUTTONUP, 10, 10);
    pumpMessages();
    EXPECT_EQ(clicks(), 0);
    SetWindowLongPtrA(button, GWL_STYLE, style);

}

TEST_F(ButtonTest, IconSitsLeftOfTheCaptionAndGreysWhenDisabled) {
    const uint32_t red = 0xFF0000;
    HICON icon = makeSolidIcon(16, red), other = makeSolidIcon(16, 0x0000FF);
    EXPECT_EQ(SendMessageA(button, BBM_SETICON, (WPARAM)icon, MAKELPARAM(16, 16)), 1);
    EXPECT_EQ(captureClient(button).count(red), 0) << "not shown until BBM_SHOWICON";
    EXPECT_EQ(SendMessageA(button, BBM_SHOWICON, 1, 0), 1);
    EXPECT_EQ(SendMessageA(button, BBM_SETICON, (WPARAM)other, 0), 1);  // ignored: no size
    InvalidateRect(button, nullptr, TRUE);
    Capture shown = captureClient(button);
    EXPECT_EQ(shown.count(red), 16 * 16);
    Box iconBox = boxOf(shown, red, 3);
    EXPECT_LT(iconBox.right, boxOf(shown, sysRgb(COLOR_BTNTEXT), 3).left);
    EXPECT_EQ(iconBox.right - iconBox.left, 15);

    EnableWindow(button, FALSE);
    Capture grey = captureClient(button);
    EXPECT_EQ(grey.count(red), 0);
    uint32_t centre = grey.at((iconBox.left + iconBox.right) / 2, (iconBox.top + iconBox.bottom) / 2);
    EXPECT_NE(centre, sysRgb(COLOR_BTNFACE)) << "the icon is still drawn, faded to grey";
    EXPECT_EQ(centre >> 16, centre & 255) << "red and blue channels equal: grey";
    DestroyIcon(icon);
    DestroyIcon(other);
}

TEST_F(ButtonTest, FlatButtonClicksWithoutTakingTheFocus) {
    EXPECT_EQ(SendMessageA(button, BBM_SETFLAT, 1, 0), 1);
    focusParent();
    InvalidateRect(button, nullptr, TRUE);
    Capture flat = captureClient(button);
    EXPECT_EQ(flat.at(0, kHeight / 2), sysRgb(COLOR_BTNHIGHLIGHT)) << "inner raised edge";
    EXPECT_EQ(flat.at(kWidth / 2, 1), sysRgb(COLOR_BTNFACE));
    click();
    EXPECT_EQ(clicks(), 1);
    EXPECT_EQ(GetFocus(), parent);
}

TEST_F(ButtonTest, RasterSkinFaceFollowsTheState) {
    EXPECT_EQ(SendMessageA(button, BBM_SETSKIN, 1, 0), 0);
    focusParent();
    InvalidateRect(button, nullptr, TRUE);
    // Column width - 6 is inside the etched frame and the focus frame and clear
    // of the caption; the lower band starts at row height / 2.
    auto lowerBand = [&] { return captureClient(button).at(kWidth - 6, kHeight / 2); };
    EXPECT_EQ(lowerBand(), darkerBy20(COLOR_BTNFACE));
    EXPECT_EQ(captureClient(button).at(0, 0), sysRgb(COLOR_BTNSHADOW));
    sendMouse(button, WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(lowerBand(), darkerBy20(COLOR_BTNHIGHLIGHT));
    sendMouse(button, WM_LBUTTONDOWN, 10, 10);
    EXPECT_EQ(lowerBand(), darkerBy20(COLOR_HIGHLIGHT));
    Capture pressed = captureClient(button);
    EXPECT_GT(pressed.count(sysRgb(COLOR_HIGHLIGHTTEXT), 3, 3, kWidth - 3, kHeight - 3), 0);
    // Focused: dotted frame from (2, 2), pattern on, on, off, off.
    EXPECT_EQ(pressed.at(2, 2), sysRgb(COLOR_BTNTEXT));
    EXPECT_EQ(pressed.at(3, 2), sysRgb(COLOR_BTNTEXT));
    EXPECT_NE(pressed.at(4, 2), sysRgb(COLOR_BTNTEXT));
    sendMouse(button, WM_LBUTTONUP, 10, 10);
    // Hidden with ShowWindow (no style change) while hot, and shown again away
    // from the mouse: no longer hot.
    focusParent();
    sendMouse(button, WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(lowerBand(), darkerBy20(COLOR_BTNHIGHLIGHT));
    ShowWindow(button, SW_HIDE);
    ShowWindow(button, SW_SHOW);
    pumpMessages();
    EXPECT_EQ(lowerBand(), darkerBy20(COLOR_BTNFACE));
    EnableWindow(button, FALSE);
    EXPECT_EQ(lowerBand(), darkerBy20(COLOR_BTNFACE));
    EXPECT_GT(captureClient(button).count(sysRgb(COLOR_GRAYTEXT)), 0);
}

TEST_F(ButtonTest, ThemedDrawingUsesTheStateAndFollowsThemeChanges) {
    recreate(true);
    ASSERT_EQ(fakeTheme.opened.size(), 1u);
    EXPECT_EQ(fakeTheme.opened[0], L"BUTTON");
    focusParent();
    auto stateDrawn = [&] { return captureClient(button).at(kWidth / 2, 1); };
    EXPECT_EQ(stateDrawn(), fakeStateRgb(1));
    EXPECT_GT(fakeTheme.parentBackgrounds, 0);
    EXPECT_EQ(fakeTheme.texts.back(), L"Next");
    EXPECT_EQ(fakeTheme.textStates.back(), 1);
    sendMouse(button, WM_MOUSEMOVE, 10, 10);
    EXPECT_EQ(stateDrawn(), fakeStateRgb(2));
    sendMouse(button, WM_LBUTTONDOWN, 10, 10);
    EXPECT_EQ(stateDrawn(), fakeStateRgb(3));
    sendMouse(button, WM_MOUSEMOVE, kWidth + 5, 10);
    sendMouse(button, WM_LBUTTONUP, kWidth + 5, 10);
    EXPECT_EQ(stateDrawn(), fakeStateRgb(5)) << "focused: drawn as the default button";
    EnableWindow(button, FALSE);
    EXPECT_EQ(stateDrawn(), fakeStateRgb(4));
    EXPECT_EQ(fakeTheme.textStates.back(), 4);

    std::string longCaption(400, 'x');
    SendMessageA(button, WM_SETTEXT, 0, (LPARAM)longCaption.c_str());
    captureClient(button);
    EXPECT_EQ(fakeTheme.texts.back(), std::wstring(287, L'x')) << "cut to the buffer";

    // A theme change closes the theme when styles went off, or opens it again.
    fakeTheme.active = false;
    SendMessageA(button, WM_THEMECHANGED, 0, 0);
    ASSERT_EQ(fakeTheme.closed.size(), 1u);
    EXPECT_EQ(fakeTheme.closed[0], (HTHEME)1);
    fakeTheme.backgroundStates.clear();
    captureClient(button);
    EXPECT_TRUE(fakeTheme.backgroundStates.empty()) << "classic drawing after the change";
    fakeTheme.active = true;
    SendMessageA(button, WM_THEMECHANGED, 0, 0);
    EXPECT_EQ(fakeTheme.opened.size(), 2u);
    captureClient(button);
    EXPECT_FALSE(fakeTheme.backgroundStates.empty());

    DestroyWindow(button);
    button = nullptr;
    ASSERT_EQ(fakeTheme.closed.size(), 2u);
    EXPECT_EQ(fakeTheme.closed[1], (HTHEME)2);
}

TEST_F(ButtonTest, LibraryLackingAnEntryPointDrawsClassic) {
    Capture classic = captureClient(button);
    installFakeVisualStyles();
    visualStyleTable.DrawThemeText = nullptr;
    recreate(false);
    EXPECT_TRUE(fakeTheme.opened.empty());
    EXPECT_EQ(captureClient(button).pixels, classic.pixels);
}

TEST_F(ButtonTest, PrivateMessagesAnswerAsDocumented) {
    EXPECT_EQ(SendMessageA(button, NAV_PROBE, 0, 0), 1);
    EXPECT_EQ(SendMessageA(button, WM_ERASEBKGND, 0, 0), 1);
    // A window without the state: the two queries say so, nothing else happens.
    HWND plain = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
    EXPECT_EQ(ButtonBoyProc(plain, BBM_GETLATCH, 0, 0), -1);
    EXPECT_EQ(ButtonBoyProc(plain, BBM_SETNOAUTOTOGGLE, 1, 0), -1);
}

std::string boxCaption, boxText;

BOOL CALLBACK answerBox(HWND window, LPARAM) {
    char text[256] = "";
    GetClassNameA(window, text, sizeof text);
    if (strcmp(text, "#32770")) return TRUE;
    GetWindowTextA(window, text, sizeof text);
    boxCaption = text;
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
    boxText = text;
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

// A thread timer fires inside the message box's own loop.
void CALLBACK answerMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
    if (!EnumThreadWindows(GetCurrentThreadId(), answerBox, 0)) KillTimer(nullptr, timer);
}

TEST(ButtonClass, FailedRegistrationShowsItsMessageAndAnswersMinusOne) {
    registerClassesOnce();  // the class exists: registering again fails
    UINT_PTR timer = SetTimer(nullptr, 0, 50, answerMessageBox);
    int result = RegisterButtonBoyClass(GetModuleHandleA(nullptr));
    KillTimer(nullptr, timer);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(boxCaption, "Fatal Error");
    EXPECT_EQ(boxText, "ButtonBoy class creation failed.");
}

// Behaviour every control class shares.

using EveryControl = ControlTest;

TEST_F(EveryControl, CreationFailsWhenTheStateCannotBeMade) {
    for (const char* className : {kButtonBoyClassName, kProgressBoyClassName, kLinkClassName}) {
        SCOPED_TRACE(className);
        EXPECT_EQ(createChildWithoutMemory(parent, className), nullptr);
    }
}

TEST_F(EveryControl, NewCaptionReplacesTheOldAndNullChangesNothing) {
    for (const char* className : {kButtonBoyClassName, kLinkClassName}) {
        SCOPED_TRACE(className);
        HWND control = createControl(className, "Next", 3, 10, 10, 160, 24);
        Capture before = captureClient(control);
        EXPECT_EQ(SendMessageA(control, WM_SETTEXT, 0, (LPARAM) "Install"), TRUE);
        Capture renamed = captureClient(control);
        EXPECT_NE(renamed.pixels, before.pixels);
        EXPECT_EQ(SendMessageA(control, WM_SETTEXT, 0, 0), 0);
        EXPECT_EQ(captureClient(control).pixels, renamed.pixels);
        char text[32] = "";
        GetWindowTextA(control, text, sizeof text);
        EXPECT_STREQ(text, "Install") << "other programs read the caption";
        DestroyWindow(control);
    }
}

}  // namespace
