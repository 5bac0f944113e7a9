#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstring>

#include "framework/scoped_gdiplus.h"
#include "setup_ui/compositor.h"
#include "setup_ui/skin_controls.h"
#include "setup_ui/skin_images.h"
#include "setup_ui/terms_text.h"
#include "tests/check.h"

namespace {

// GDI+ for the whole run and one frame that the cases draw into, as the setup
// window's would be.
SkinFrame& Frame() {
    static ScopedGdiplusToken gdiplus = StartGdiplus();
    static ScopedModule user32(LoadLibraryA("user32.dll"));
    static SkinFrame frame(user32.Get());
    return frame;
}

// A control as the setup window places it: its image, place and image size.
void Place(SkinControl& control, const char* image, int x, int y, int width, int height) {
    control.imageName = image;
    control.x = x;
    control.y = y;
    control.cx = width;
    control.cy = height;
}

// The progress bar's 10-pixel tile where the progress page shows it.
void PlaceProgressFill(SkinLabel& fill) { Place(fill, "#1002", 26, 79, 10, 17); }

Gdiplus::Color PixelAt(int x, int y) {
    Gdiplus::Color c;
    Frame().compositeImage->GetPixel(x, y, &c);
    return c;
}

bool HasAlpha(const char* name, const char* type) {
    bool alpha = false;
    WithSkinImage(name, type, [&](Gdiplus::Image& image) { alpha = Gdiplus::IsAlphaPixelFormat(image.GetPixelFormat()); });
    return alpha;
}

}  // namespace

TEST_CASE(skins, every_image_has_the_size_and_alpha_use_of_its_role) {
    Frame();
    struct Row {
        const char* name;
        const char* type;
        int width, height;
        bool alpha;
    };
    const Row rows[] = {
        {"#1001", "MAINS", 454, 304, true}, {"#1002", "MAINS", 10, 17, false}, {"#1003", "MAINS", 454, 304, true},
        {"#1004", "MAINS", 454, 304, true}, {"#1005", "MAINS", 404, 179, true}, {"#1009", "MAINS", 404, 179, true},
        {"#1013", "MAINS", 404, 179, true}, {"#1014", "MAINS", 454, 304, true}, {"#1201", "MAINB", 103, 49, true},
        {"#1202", "MAINB", 82, 45, true},   {"#1203", "MAINB", 82, 45, true},   {"#1204", "MAINB", 13, 13, false},
        {"#1205", "MAINB", 13, 13, false},
    };
    for (const Row& row : rows) {
        SkinSize size = GetSkinImageSize(row.name, row.type);
        if (size.width != row.width || size.height != row.height) std::printf("    %s\n", row.name);
        CHECK_EQ(size.width, row.width);
        CHECK_EQ(size.height, row.height);
        CHECK_EQ(HasAlpha(row.name, row.type), row.alpha);
    }
}

TEST_CASE(skins, a_missing_image_or_the_wrong_type_measures_0_by_0) {
    Frame();
    SkinSize missing = GetSkinImageSize("#1015", "MAINS");
    CHECK_EQ(missing.width, 0);
    CHECK_EQ(missing.height, 0);
    CHECK_EQ(GetSkinImageSize("#1201", "MAINS").width, 0);
}

TEST_CASE(compositor, a_frame_from_the_base_image_is_wholly_transparent) {
    SkinFrame& frame = Frame();
    SkinSize size = LoadBaseImage(frame);
    CHECK(frame.baseImageCache != nullptr);
    LoadBaseImage(frame);
    CHECK(frame.baseImageCache != nullptr);
    CHECK_EQ(size.width, 454);
    CHECK_EQ(size.height, 304);
    BeginFrame(frame, size.width, size.height);
    CHECK(frame.compositeImage != nullptr);
    CHECK_EQ(frame.compositeImage->GetWidth(), 454u);
    for (int y = 0; y < 304; y += 15)
        for (int x = 0; x < 454; x += 15) CHECK_EQ(PixelAt(x, y).GetA(), 0);
}

TEST_CASE(skin_controls, the_progress_fill_stretches_to_the_width_it_is_given) {
    Frame();
    SkinLabel fill;
    PlaceProgressFill(fill);
    for (int width : {40, 400}) {
        BeginFrame(Frame(), 454, 304);
        fill.DrawStretched(Frame(), width);
        // Solid to its last column: no blending into the transparent frame at the edge.
        Gdiplus::Color inside = PixelAt(26 + width - 1, 79 + 8);
        CHECK_EQ(inside.GetA(), 255);
        CHECK_EQ(inside.GetR(), 0x29);
        CHECK_EQ(inside.GetG(), 0x42);
        CHECK_EQ(inside.GetB(), 0x62);
        CHECK_EQ(PixelAt(26 + width, 79 + 8).GetA(), 0);
        // Wine's GDI+ leaves the first column out at a forty-fold stretch, so the
        // left edge is checked one pixel in.
        CHECK_EQ(PixelAt(27, 79 + 8).GetA(), 255);
        CHECK_EQ(PixelAt(25, 79 + 8).GetA(), 0);
        CHECK_EQ(PixelAt(40, 79 + 16).GetA(), 255);
        CHECK_EQ(PixelAt(40, 79 + 17).GetA(), 0);
        CHECK_EQ(PixelAt(30, 79 + 18).GetA(), 0);
    }
}

TEST_CASE(skin_controls, the_whole_bar_of_the_last_step_ends_inside_its_track) {
    Frame();
    SkinLabel page;
    Place(page, "#1004", 0, 0, 454, 304);
    SkinLabel fill;
    PlaceProgressFill(fill);
    BeginFrame(Frame(), 454, 304);
    page.Draw(Frame());
    fill.DrawStretched(Frame(), 400);
    auto is = [](Gdiplus::Color c, int r, int g, int b) {
        return c.GetA() == 255 && c.GetR() == r && c.GetG() == g && c.GetB() == b;
    };
    // The fill's last column, then the track's outline right beside it, and the
    // outline above and below that column.
    CHECK(is(PixelAt(425, 87), 0x29, 0x42, 0x62));
    CHECK(is(PixelAt(426, 87), 0xA9, 0xB9, 0xD0));
    CHECK(is(PixelAt(425, 78), 0xA9, 0xB9, 0xD0));
    CHECK(is(PixelAt(425, 97), 0xA9, 0xB9, 0xD0));
    // Beyond the track the panel shows again.
    CHECK(!is(PixelAt(427, 87), 0xA9, 0xB9, 0xD0));
}

TEST_CASE(skin_controls, a_pressed_button_keeps_red_and_alpha_and_halves_green_and_blue) {
    Frame();
    SkinButton ok;
    Place(ok, "#1202", 286, 223, 82, 45);
    BeginFrame(Frame(), 454, 304);
    ok.Draw(Frame());
    Gdiplus::Color normal = PixelAt(286 + 15, 223 + 35);
    ok.pressed = 1;
    BeginFrame(Frame(), 454, 304);
    ok.Draw(Frame());
    Gdiplus::Color tinted = PixelAt(286 + 15, 223 + 35);
    CHECK_EQ(normal.GetA(), 255);
    CHECK_EQ(tinted.GetA(), normal.GetA());
    CHECK_EQ(tinted.GetR(), normal.GetR());
    CHECK(std::abs(tinted.GetG() - normal.GetG() / 2) <= 1);
    CHECK(std::abs(tinted.GetB() - normal.GetB() / 2) <= 1);
}

TEST_CASE(skin_controls, a_control_without_an_image_or_frame_draws_nothing) {
    SkinFrame& frame = Frame();
    SkinLabel unnamed;
    Place(unnamed, "", 0, 0, 454, 304);
    BeginFrame(Frame(), 454, 304);
    unnamed.Draw(frame);
    CHECK_EQ(PixelAt(200, 150).GetA(), 0);
    // A frame of no size leaves nothing to draw into.
    CHECK(frame.compositeImage != nullptr);
    BeginFrame(frame, 0, 0);
    CHECK(frame.compositeImage == nullptr);
    SkinLabel page;
    Place(page, "#1003", 0, 0, 454, 304);
    page.Draw(frame);  // must not crash
}

TEST_CASE(terms_text, the_terms_have_their_fixed_structure) {
    std::string terms = BuildTermsText();
    CHECK_EQ(TermsPieceCount(), size_t(215));
    CHECK(terms.size() > 20000 && terms.size() < 21500);
    CHECK_EQ(terms.compare(0, std::strlen("※ 이용 약관 ※\r\n"), "※ 이용 약관 ※\r\n"), 0);
    size_t lastStart = terms.rfind("\r\n", terms.size() - 3) + 2;
    std::string last = terms.substr(lastStart);
    CHECK(last.find("시행합니다.") != std::string::npos);
    int empty = 0, chapters = 0, articles = 0, subArticles = 0;
    size_t at = 0;
    while (at < terms.size()) {
        size_t end = terms.find("\r\n", at);
        std::string line = terms.substr(at, end - at);
        at = end + 2;
        if (line.empty()) ++empty;
        if (line.compare(0, 3, "제 ") == 0 && line.find(" 장 ") != std::string::npos) ++chapters;
        if (line.find("조 (") != std::string::npos && line.compare(0, 3, "제 ") == 0) ++articles;
        if (line.find("조의 ") != std::string::npos && line.compare(0, 3, "제 ") == 0) ++subArticles;
    }
    CHECK_EQ(empty, 34);
    CHECK_EQ(chapters, 6);
    CHECK_EQ(articles, 28);
    CHECK_EQ(subArticles, 2);
    CHECK(terms.find("①") != std::string::npos);
    CHECK(terms.find("부 칙 (") != std::string::npos);
}
