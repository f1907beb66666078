#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "support/CupsSystem.h"

using namespace testing_support;

namespace {

// Installs the build into a staging directory, as a package build would.
class StagedInstall : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        staging = new TempDir;
        result = RunCommand("DESTDIR=" + staging->path() + " cmake --install " + QUORVANT_BUILD_DIR);
    }
    static void TearDownTestSuite() {
        delete staging;
        staging = nullptr;
    }
    void SetUp() override {
        if (BuiltPpd("qvtspl.ppd").empty())
            GTEST_SKIP() << "the PPDs were not built (ppdc missing)";
        ASSERT_EQ(result.status, 0) << result.out;
    }
    static std::string Staged(const std::string& path) { return staging->path() + path; }
    // CUPS's model directory, which cups-driverd always reads.
    static std::string StagedPpd(const std::string& ppd) {
        CommandResult datadir = RunCommand("cups-config --datadir");
        return Staged(datadir.out.substr(0, datadir.out.find('\n')) + "/model/quorvant/" + ppd);
    }

    static TempDir* staging;
    static CommandResult result;
};

TempDir* StagedInstall::staging = nullptr;
CommandResult StagedInstall::result;

}  // namespace

TEST_F(StagedInstall, FiltersGoToTheServerBinWithSafePermissions) {
    CommandResult serverbin = RunCommand("cups-config --serverbin");
    for (const char* name : {"quorvant", "quorvant-pdf", "quorvant-image", "quorvant-zpl"}) {
        std::string filter = Staged(serverbin.out.substr(0, serverbin.out.find('\n')) + "/filter/" + name);
        struct stat st;
        ASSERT_EQ(stat(filter.c_str(), &st), 0) << filter;
        // CUPS refuses a filter that group or others can write.
        EXPECT_EQ(st.st_mode & 07777, 0755u) << name;
        EXPECT_EQ(st.st_uid, geteuid()) << name;
    }
}

// The PPDs' ZPL filter needs CUPS to know the type.
TEST_F(StagedInstall, ZplTypeGoesWhereCupsReadsTypes) {
    CommandResult datadir = RunCommand("cups-config --datadir");
    const std::string types = Staged(datadir.out.substr(0, datadir.out.find('\n')) + "/mime/quorvant.types");
    EXPECT_EQ(access(types.c_str(), R_OK), 0) << types;
}

TEST_F(StagedInstall, PpdsGoWhereTheDriverListingLooks) {
    for (const std::string& ppd : ShippedPpds()) {
        std::string path = StagedPpd(ppd);
        EXPECT_EQ(access(path.c_str(), R_OK), 0) << path;
    }
}

// cupstestppd resolves the filter against the staged tree with -R.
TEST_F(StagedInstall, EveryPpdPassesCupstestppd) {
    if (!HaveProgram("cupstestppd"))
        GTEST_SKIP() << "cupstestppd is not installed";
    for (const std::string& ppd : ShippedPpds()) {
        std::string path = StagedPpd(ppd);
        CommandResult r = RunCommand("cupstestppd -W all -R " + staging->path() + " " + path);
        EXPECT_EQ(r.status, 0) << r.out;
        std::istringstream lines(r.out);
        std::string line;
        std::getline(lines, line);
        EXPECT_NE(line.find(": PASS"), std::string::npos) << r.out;
        // Thermal media have no standard size names: only those warnings may remain.
        while (std::getline(lines, line))
            EXPECT_NE(line.find("should be the Adobe standard name"), std::string::npos) << ppd << ": " << line;
    }
}

TEST_F(StagedInstall, ToolsGoToTheBinDirectoryWithTheirManualPages) {
    for (const std::string tool : {"quorvant-preview", "quorvant-virtual-printer"}) {
        const CommandResult found = RunCommand("cd " + staging->path() + " && find . -path '*/bin/" + tool +
                                               "' -perm -0755 -o -path '*/man/man1/" + tool + ".1'");
        EXPECT_EQ(std::count(found.out.begin(), found.out.end(), '\n'), 2) << tool << ": " << found.out;
    }
}
