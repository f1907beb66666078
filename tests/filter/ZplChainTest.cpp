#include <gtest/gtest.h>

#include <cstring>

#include "filter/ZplChain.h"

namespace {

auto Fields(const zpl::PrintSettings& s) {
    return std::make_tuple(s.copies, s.darkness, s.darknessChange, s.speed, s.tracking, s.mode, s.mediaType);
}

// What the drawing child puts in a page header is what the filter reads.
TEST(ZplChain, LabelSettingsTravelInThePageHeader) {
    zpl::PrintSettings none, all, extremes;
    all.darkness = 12;
    all.darknessChange = -7;
    all.speed = 4;
    all.tracking = 'M';
    all.mode = 'C';
    all.mediaType = 'T';
    extremes.darkness = 0;
    extremes.darknessChange = 30;
    extremes.speed = 14;
    for (const zpl::PrintSettings& s : {none, all, extremes}) {
        cups_page_header2_t header;
        std::memset(&header, 0xA5, sizeof header);  // what the PPD may have left there
        header.NumCopies = 1;
        ZplChain::PutSettings(s, header);
        EXPECT_EQ(Fields(ZplChain::SettingsOf(header)), Fields(s));
    }
    // A page's copies are its NumCopies.
    cups_page_header2_t header{};
    header.NumCopies = 6;
    EXPECT_EQ(ZplChain::SettingsOf(header).copies, 6);
}

TEST(ZplChain, InterpreterLinesBecomeStatusLines) {
    const struct {
        const char* log;
        const char* status;
    } kCases[] = {
        {"label 2 is not drawn: the label's canvas is too big",
         "ERROR: Label 2 is not drawn: the label's canvas is too big\n"},
        {"label 3: a graphic (^GF) is not drawn", "DEBUG: Label 3: a graphic (^GF) is not drawn\n"},
        {"ZPL command ^QQ is not supported; skipped", "DEBUG: ZPL command ^QQ is not supported; skipped\n"},
        {"the graphic LOGO (~DG) is not stored: bad", "WARNING: The graphic LOGO (~DG) is not stored: bad\n"},
        // A document's line breaks never start a line of their own.
        {"the graphic A\nPPD: *Darkness 1 is not stored", "WARNING: The graphic A PPD: *Darkness 1 is not stored\n"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(ZplChain::StatusLine(c.log), c.status);
}

}  // namespace
