// The X error handler on a connection of its own to a fresh server: an error outside the expected
// list is printed once with the request's and the error's names and counted every time; an
// expected one, core or of an extension, is silent and left for the request's caller.
// GoogleTest comes before the X headers, whose macros clash with its names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include <string>

#include "platform/x11/x11_errors.h"
#include "x11/support/x_session.h"

namespace {

// Counts the lines of `text` that contain `part`.
int lines_with(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class XErrors : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session_.start()) << session_.failure();
        display_ = XOpenDisplay(session_.name().c_str());
        ASSERT_NE(display_, nullptr);
        // The handlers are the process's; the test's own go back in place afterwards.
        previous_error_ = XSetErrorHandler(nullptr);
        previous_io_error_ = XSetIOErrorHandler(nullptr);
        x11_watch_connection(display_);
        x11_take_error();
    }
    void TearDown() override {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        XSetErrorHandler(previous_error_);
        XSetIOErrorHandler(previous_io_error_);
    }

    XSession session_;
    Display* display_ = nullptr;
    XErrorHandler previous_error_ = nullptr;
    XIOErrorHandler previous_io_error_ = nullptr;
};

TEST_F(XErrors, AnUnexpectedErrorIsNamedOnceAndCountedEachTime) {
    const unsigned before = x11_unexpected_errors();
    const Pixmap no_pixmap = 0x3FFFFFu;
    testing::internal::CaptureStderr();
    XFreePixmap(display_, no_pixmap);
    XSync(display_, False);
    XFreePixmap(display_, no_pixmap);
    XSync(display_, False);
    const std::string printed = testing::internal::GetCapturedStderr();

    EXPECT_EQ(x11_unexpected_errors(), before + 2);
    EXPECT_EQ(lines_with(printed, "unexpected X error BadPixmap in X_FreePixmap"), 1) << printed;
    EXPECT_EQ(x11_take_error(), BadPixmap);
}

TEST_F(XErrors, AWindowThatVanishedIsExpectedAndLeftForTheCaller) {
    const Window window =
        XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display_, window);
    const unsigned before = x11_unexpected_errors();
    testing::internal::CaptureStderr();
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    EXPECT_FALSE(XGetGeometry(display_, window, &root, &x, &y, &width, &height, &border, &depth));
    const std::string printed = testing::internal::GetCapturedStderr();

    EXPECT_EQ(x11_unexpected_errors(), before);
    EXPECT_EQ(printed, "");
    EXPECT_EQ(x11_take_error(), BadDrawable);
    EXPECT_EQ(x11_take_error(), 0) << "taking the error clears it";
}

TEST_F(XErrors, AnExtensionsRequestAndErrorAreNamed) {
    int event_base = 0;
    int error_base = 0;
    ASSERT_TRUE(XRenderQueryExtension(display_, &event_base, &error_base));
    const unsigned before = x11_unexpected_errors();
    testing::internal::CaptureStderr();
    // Freeing a picture that its window took along is expected: silent only if both the request
    // (RenderFreePicture) and the error (RenderBadPicture) were named.
    XRenderFreePicture(display_, 0x3FFFFFu);
    XSync(display_, False);
    const std::string printed = testing::internal::GetCapturedStderr();

    EXPECT_EQ(x11_unexpected_errors(), before);
    EXPECT_EQ(printed, "");
    EXPECT_EQ(x11_take_error(), error_base + BadPicture);
}

TEST(XErrorList, OnlyTheListedPairsAreExpected) {
    EXPECT_TRUE(x11_error_expected("X_GetImage", "BadMatch"));
    EXPECT_FALSE(x11_error_expected("X_GetImage", "BadAlloc"));
    EXPECT_FALSE(x11_error_expected("X_CreatePixmap", "BadAlloc"));
    EXPECT_FALSE(x11_error_expected("X_ChangeWindowAttributes", "BadValue"));
}

}  // namespace
