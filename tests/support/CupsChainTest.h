#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/CupsSystem.h"

namespace testing_support {

// Tests of the whole CUPS chain without a scheduler: one private CUPS tree
// per suite; skipped where the PPDs or CUPS's filters are missing.
class CupsChainTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { tree = new CupsTree; }
    static void TearDownTestSuite() {
        delete tree;
        tree = nullptr;
    }
    void SetUp() override {
        if (BuiltPpd("qvtspl.ppd").empty())
            GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
        if (!HaveProgram("cupsfilter") || access("/usr/lib/cups/filter/pdftoraster", X_OK) != 0)
            GTEST_SKIP() << "cupsfilter and cups-filters are not installed";
    }

    static inline CupsTree* tree = nullptr;
};

}  // namespace testing_support
