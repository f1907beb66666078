#include <gtest/gtest.h>

#include "render/CCopyRecording.h"
#include "render/CopyPlan.h"

// Which of the three ways a job's copies take.
TEST(CopyPlan, CountsWhereTheOrderAllowsElseRepeats) {
    const struct {
        int copies;
        bool copyCount, collated, onePage;
        int perPage, pageRepeats, jobRepeats;
    } cases[] = {
        {1, true, true, false, 1, 1, 1}, {0, false, true, false, 1, 1, 1}, {3, true, false, false, 3, 1, 1},
        {3, true, true, true, 3, 1, 1},  {3, true, true, false, 1, 1, 3},  {3, false, false, false, 1, 3, 1},
        {3, false, true, true, 1, 3, 1}, {3, false, true, false, 1, 1, 3},
    };
    for (const auto& c : cases) {
        const CopyPlan plan = CopyPlan::For(c.copies, c.copyCount, c.collated, c.onePage);
        EXPECT_EQ(plan.perPage, c.perPage) << c.copies << c.copyCount << c.collated << c.onePage;
        EXPECT_EQ(plan.pageRepeats, c.pageRepeats) << c.copies << c.copyCount << c.collated << c.onePage;
        EXPECT_EQ(plan.jobRepeats, c.jobRepeats) << c.copies << c.copyCount << c.collated << c.onePage;
        EXPECT_EQ(plan.Records(), c.pageRepeats > 1 || c.jobRepeats > 1);
    }
}

// Kept only while on, sent again whole, and dropped past its cap.
TEST(CopyRecording, KeepsWhileOnAndGivesUpPastItsCap) {
    CCopyRecording recording(8);
    recording.Add("ab", 2);
    recording.SetOn(true);
    recording.Add("cdef", 4);
    std::string sent;
    EXPECT_TRUE(recording.Replay(2, [&](const void* data, int length) {
        recording.Add("x", 1);  // nothing is kept while it sends
        sent.append(static_cast<const char*>(data), static_cast<size_t>(length));
        return length;
    }));
    EXPECT_EQ(sent, "cdefcdef");
    EXPECT_FALSE(recording.Replay(1, [](const void*, int) { return -1; }));
    recording.Add("ghijk", 5);
    EXPECT_TRUE(recording.Overflowed());
    EXPECT_TRUE(recording.Bytes().empty());
}
