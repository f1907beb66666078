#include <gtest/gtest.h>

#include "render/CCopyRecording.h"

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
