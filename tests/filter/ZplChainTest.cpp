#include <gtest/gtest.h>

#include "filter/ZplChain.h"

namespace {

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
