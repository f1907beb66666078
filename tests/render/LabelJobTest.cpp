#include <cups/raster.h>
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "render/CCopyRecording.h"
#include "render/CopyPlan.h"
#include "render/LabelJob.h"

namespace {

auto Fields(const zpl::PrintSettings& s) {
    return std::make_tuple(s.copies, s.darkness, s.darknessChange, s.speed, s.tracking, s.mode, s.mediaType);
}

// What a host puts in a label's page header is what it reads back.
TEST(LabelJob, LabelSettingsTravelInThePageHeader) {
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
        LabelJob::PutSettings(s, header);
        EXPECT_EQ(Fields(LabelJob::SettingsOf(header)), Fields(s));
    }
    // A page's copies are its NumCopies.
    cups_page_header2_t header{};
    header.NumCopies = 6;
    EXPECT_EQ(LabelJob::SettingsOf(header).copies, 6);
}

// A 4 x 6 in label at 300 dpi: its size in points, no margins, one bit.
TEST(LabelJob, PageHasTheLabelsOwnSize) {
    cups_page_header2_t header{};
    header.HWResolution[0] = header.HWResolution[1] = 300;
    header.Margins[0] = 18;
    header.cupsBitsPerPixel = 8;
    LabelJob::SetLabelPage(header, 1200, 1800);
    EXPECT_EQ(std::make_tuple(header.cupsWidth, header.cupsHeight, header.cupsBytesPerLine, header.cupsBitsPerPixel),
              std::make_tuple(1200u, 1800u, 150u, 1u));
    EXPECT_EQ(std::make_tuple(header.PageSize[0], header.PageSize[1], header.Margins[0], header.ImagingBoundingBox[3]),
              std::make_tuple(288u, 432u, 0u, 432u));
}

// The resolution setting: 203 dpi scales, 0 draws at the printer's dots.
TEST(LabelJob, DrawingFollowsTheResolutionSetting) {
    const zpl::InterpreterOptions carrier = LabelJob::Drawing(300, 203, 1200, 1800);
    EXPECT_EQ(std::make_tuple(carrier.dpi, carrier.sourceDpi, carrier.fallbackWidth, carrier.fallbackHeight),
              std::make_tuple(300, 203, 1200, 1800));
    EXPECT_EQ(LabelJob::Drawing(300, 0, 1200, 1800).sourceDpi, 300);
    EXPECT_EQ(LabelJob::Describe(carrier),
              "ZPL written for 203 dpi drawn at 300 dpi; 1200 x 1800 dots where a label gives no size");
}

TEST(LabelJob, CopiesAreTheLabelsTimesTheJobsUpToTheMost) {
    std::string warning;
    EXPECT_EQ(LabelJob::Copies(1, 3, 2, 9999, warning), 6);
    EXPECT_EQ(warning, "");
    EXPECT_EQ(LabelJob::Copies(2, 99999999, 2, 9999, warning), 9999);
    EXPECT_EQ(warning, "Label 2 asks for 199999998 copies; 9999 are printed.");
}

// A label's own copies within the job's: counted by the language where it
// can, else the page sent again; collated job copies stay the job's.
TEST(CopyPlan, PageCopiesWithinTheJobs) {
    const struct {
        int jobCopies;
        bool copyCount, collated, onePage;
        int labelCopies;
        CopyPlan plan;
    } kCases[] = {
        {2, true, true, true, 3, {6, 1, 1}},         {2, true, false, false, 3, {6, 1, 1}},
        {2, true, true, false, 3, {3, 1, 2}},        {2, false, true, false, 3, {1, 3, 2}},
        {2, false, false, false, 3, {1, 6, 1}},      {1, true, true, false, 5, {5, 1, 1}},
        {5000, true, false, false, 3, {9999, 1, 1}},
    };
    for (const auto& c : kCases) {
        const CopyPlan plan =
            CopyPlan::For(c.jobCopies, c.copyCount, c.collated, c.onePage).ForPage(c.labelCopies, c.copyCount, 9999);
        EXPECT_EQ(std::make_tuple(plan.perPage, plan.pageRepeats, plan.jobRepeats),
                  std::make_tuple(c.plan.perPage, c.plan.pageRepeats, c.plan.jobRepeats))
            << c.jobCopies << " " << c.copyCount << c.collated << c.onePage << " " << c.labelCopies;
    }
}

// A page's copies sent again are kept with the job's pages.
TEST(CopyRecording, PageCopiesAreKeptForTheJob) {
    CCopyRecording recording;
    recording.SetOn(true);
    recording.Add("ab", 2);
    const size_t page = recording.Bytes().size();
    recording.Add("cd", 2);
    std::string sent;
    EXPECT_TRUE(recording.ReplaySince(page, 2, [&](const void* data, int length) {
        sent.append(static_cast<const char*>(data), static_cast<size_t>(length));
        return length;
    }));
    EXPECT_EQ(sent, "cdcd");
    EXPECT_EQ(std::string(recording.Bytes().begin(), recording.Bytes().end()), "abcdcdcd");
}

}  // namespace
