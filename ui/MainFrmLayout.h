#pragma once

#include "desktop/Version.h"

#include <cstdint>
#include <string_view>

// The main window as designed, as plain data: every control with its kind, container, tab, place and size
// in twips, tab order, text, font, colours and tooltip. The Qt window and the Win32 window are both built
// from it, so neither retypes a position, a text or a colour.
namespace z83::ui::layout {

struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

struct Colour {
    enum class Kind {
        Default, // the platform's own for that kind of control
        Fixed,   // rgb
        Light3D, // the system colour for the light edge of three-dimensional elements
        GrayText // the system colour for grey (disabled) text
    };
    Kind kind = Kind::Default;
    Rgb rgb;
};

constexpr Colour fixed(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return {Colour::Kind::Fixed, {red, green, blue}};
}
inline constexpr Colour kDefaultColour{};
inline constexpr Colour kLight3D{Colour::Kind::Light3D, {}};
inline constexpr Colour kGrayText{Colour::Kind::GrayText, {}};

struct Font {
    std::string_view family; // empty: the window's default font
    double points = 0;
    bool bold = false;
};

// The window sets no font of its own; this one stands in for the classic dialog font.
inline constexpr Font kDefaultFont{"Arial", 8.25, false};
inline constexpr Font kNarrow{"Arial Narrow", 9.75, false};

enum class Kind { Label, Image, TabStrip, Shape, TextBox, Button, PictureBox };
enum class Align { Left, Right };

inline constexpr std::string_view kWindowName = "MainFrm";
// The controls the program works with by name; the table below names them by these, and so do the windows
// and the tools that find a control from outside.
inline constexpr std::string_view kTabStripName = "XTab";
inline constexpr std::string_view kIdBox = "tbID";
inline constexpr std::string_view kExtractById = "IKnow";          // the first tab's Extract: the typed ID
inline constexpr std::string_view kExtractByPairing = "IDontKnow"; // the second tab's Extract: pairing
inline constexpr std::string_view kClearLog = "cbClear";
inline constexpr std::string_view kStatusPanel = "Picture1";
inline constexpr std::string_view kStatusLine = "Found";
inline constexpr int kNoTab = -1;      // a control of the window or a picture box, on every tab
inline constexpr int kNoTabIndex = -1; // takes no keyboard focus

struct Control {
    std::string_view name;
    Kind kind;
    std::string_view container;   // kWindowName, kTabStripName or kStatusPanel
    int tab;                      // the tab of the strip that shows it, or kNoTab
    int left, top, width, height; // twips, from the container's top-left corner
    int tabIndex;
    std::string_view text = {};
    Font font = {};
    Colour foreground = {};
    Colour background = {}; // text boxes, picture boxes and shapes
    Align align = Align::Left;
    std::string_view tooltip = {};
    bool enabled = true; // when the window opens
};

inline constexpr std::string_view kCaption = "Tarnwell Z83-PM-VX Log Extraction";
inline constexpr int kClientWidth = 9450, kClientHeight = 6135; // twips
inline constexpr Colour kWindowBackground = fixed(255, 255, 255);
// The banner picture (Banner.bmp beside this file, 24-bit colour) is shown at its natural size in pixels.
inline constexpr int kBannerWidth = 509, kBannerHeight = 71;

inline constexpr Colour kBlack = fixed(0, 0, 0), kGrey = fixed(128, 128, 128), kDarkGrey = fixed(64, 64, 64);
inline constexpr Colour kWhite = fixed(255, 255, 255);
inline constexpr std::string_view kExtractTip =
    "After clicking this button you have 10 seconds to power cycle the remote module";

// In the order they are created: every container before what it holds.
// clang-format off
inline constexpr Control kControls[] = {
//   name               kind             container      tab     left   top  width height tabIndex
    {"Label1",          Kind::Label,     kWindowName,   kNoTab,  180,  120, 8835,  855, 0,
     "This program will extract the log data from a Z83-PM-VX handheld module.", {"Arial", 9.75, true}, kBlack},
    {"Label7",          Kind::Label,     kWindowName,   kNoTab, 8820,   60,  555,  195, 10,
     kVersionLabel, {}, {}, {}, Align::Right},
    {"Label2",          Kind::Label,     kWindowName,   kNoTab, 5580,  480, 3615,  315, 1,
     "Must be used with a Z83 USB base station", kNarrow, kGrey, {}, Align::Right},
    {"Image1",          Kind::Image,     kWindowName,   kNoTab,  180,  960, 7635, 1065, kNoTabIndex},
    {kTabStripName,     Kind::TabStrip,  kWindowName,   kNoTab,  180, 2280, 9075, 3675, 2},
    {"Label6",          Kind::Label,     kTabStripName, 0,       120,  420, 7695,  615, 9,
     "Enter the ID of the handheld module, turn it on then click the Extract button.", kNarrow, kGrey},
    {"Shape1",          Kind::Shape,     kTabStripName, 0,       420, 1080, 6015,  855, kNoTabIndex,
     {}, {}, {}, fixed(224, 224, 224)},
    {kIdBox,            Kind::TextBox,   kTabStripName, 0,       720, 1320, 1155,  375, 5,
     {}, {}, kDarkGrey, kWhite},
    {"Label4",          Kind::Label,     kTabStripName, 0,      1980, 1380, 3615,  315, 3,
     "Enter the 6 character ID of the handheld module", kNarrow, kDarkGrey},
    {kExtractById,      Kind::Button,    kTabStripName, 0,      7080, 2280, 1875,  615, 6,
     "Extract", kNarrow, {}, {}, Align::Left, kExtractTip},
    {"Label5",          Kind::Label,     kTabStripName, 1,       120,  420, 7695,  615, 4,
     "You need to remove at least one battery from the handheld module then click the 'Extract' button then "
     "insert the battery again within 10 seconds.", kNarrow, kGrey},
    {kExtractByPairing, Kind::Button,    kTabStripName, 1,      7080, 2280, 1875,  615, 7,
     "Extract", kNarrow, {}, {}, Align::Left, kExtractTip},
    {kClearLog,         Kind::Button,    kWindowName,   kNoTab, 5220, 4560, 1875,  615, 8,
     "Clear Log", {}, {}, {}, Align::Left, {}, false},
    {kStatusPanel,      Kind::PictureBox,kWindowName,   kNoTab,  360, 5220, 8595,  675, 11,
     {}, {}, {}, kWhite},
    {kStatusLine,       Kind::Label,     kStatusPanel,  kNoTab,    0,    0, 8595,  675, 12,
     "Ready", {"Arial", 24, true}, fixed(102, 158, 224)},
};
// clang-format on

// The tab strip's settings: its two tabs, and how it draws them.
struct TabStripLook {
    std::string_view captions[2];
    Colour activeBack, inactiveBack, activeFore, inactiveFore, outerBorder, stripBack;
    Font activeFont, inactiveFont;
    // The caption row, and the space left and right of a caption (ours: the strip lies outside the program).
    int captionHeight, captionPadding; // twips
};
inline constexpr TabStripLook kTabStrip{
    {"I know the handheld ID", "I do not know the ID"},
    kWhite,
    kLight3D,
    kDarkGrey,
    kGrayText,
    fixed(192, 192, 192),
    kLight3D,
    kNarrow,
    {"MS Sans Serif", 8.25, false},
    330,
    180,
};

// The control of that name, or none.
constexpr const Control* findControl(std::string_view name) {
    for (const Control& c : kControls)
        if (c.name == name)
            return &c;
    return nullptr;
}

} // namespace z83::ui::layout
