#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdlib>

#include "preview/PreviewLanguages.h"
#include "support/CupsSystem.h"
#include "support/FilterRun.h"

using namespace testing_support;

namespace {

// quorvant-pdf as a CUPS filter, finding pdftoraster through
// CUPS_SERVERBIN (nothing lies beside the built program).
FilterResult RunPdfFilter(const std::string& pdf, const std::string& copies = "1") {
    FilterJob job = MakeJob(BuiltPpd("qvtspl.ppd"));
    job.program = QUORVANT_PDF_BIN;
    job.args[3] = copies;
    job.rasterFile = pdf;
    setenv("CUPS_SERVERBIN", "/usr/lib/cups", 1);
    FilterResult r = RunFilter(job);
    unsetenv("CUPS_SERVERBIN");
    return r;
}

bool HaveRasterizer() { return access("/usr/lib/cups/filter/pdftoraster", X_OK) == 0; }

}  // namespace

TEST(PdfChain, PrintsThePdfsPagesThroughPoppler) {
    if (BuiltPpd("qvtspl.ppd").empty() || !HaveRasterizer())
        GTEST_SKIP() << "the PPDs or cups-filters' pdftoraster are missing";
    FilterResult r = RunPdfFilter(QUORVANT_SOURCE_DIR "/samples/barcodes-4x6.pdf");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.ErrLines("PAGE: ").size(), 24u);
    std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create("tspl");
    ASSERT_TRUE(decoder->Decode(r.out.data(), r.out.size())) << decoder->Error().Message();
    ASSERT_EQ(decoder->Pages().size(), 24u);
    EXPECT_EQ(decoder->Pages()[0].Width(), 832);
}

// A PDF the rasterizer cannot read: the job fails with a message and sends
// nothing.
TEST(PdfChain, DamagedPdfFailsAndSendsNothing) {
    if (BuiltPpd("qvtspl.ppd").empty() || !HaveRasterizer())
        GTEST_SKIP() << "the PPDs or cups-filters' pdftoraster are missing";
    TempDir dir;
    Bytes pdf = ReadFile(QUORVANT_SOURCE_DIR "/samples/barcodes-4x6.pdf");
    pdf.resize(pdf.size() / 3);
    WriteFile(dir.File("damaged.pdf"), pdf);
    FilterResult r = RunPdfFilter(dir.File("damaged.pdf"));
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(r.ErrLines("ERROR: ").empty()) << r.err;
    EXPECT_TRUE(r.out.empty());
}

// Cancelled while CUPS's chain is still sending the PDF: the filter ends
// and leaves no spooled copy in the temporary directory.
TEST(PdfChain, CancelWhileSpoolingLeavesNoFile) {
    if (BuiltPpd("qvtspl.ppd").empty() || !HaveRasterizer())
        GTEST_SKIP() << "the PPDs or cups-filters' pdftoraster are missing";
    TempDir tmp;
    FilterJob job = MakeJob(BuiltPpd("qvtspl.ppd"));
    job.program = QUORVANT_PDF_BIN;
    setenv("TMPDIR", tmp.path().c_str(), 1);
    setenv("CUPS_SERVERBIN", "/usr/lib/cups", 1);
    FilterProcess filter(job);
    unsetenv("TMPDIR");
    unsetenv("CUPS_SERVERBIN");
    const Bytes pdf = ReadFile(QUORVANT_SOURCE_DIR "/samples/barcodes-4x6.pdf");
    filter.Write(Bytes(pdf.begin(), pdf.begin() + static_cast<std::ptrdiff_t>(pdf.size() / 2)));
    auto spooled = [&tmp] { return RunCommand("ls -A '" + tmp.path() + "'").out; };
    for (int i = 0; i < 500 && spooled().empty(); i++)
        usleep(10000);
    ASSERT_FALSE(spooled().empty()) << "the filter spools its input";
    filter.Signal(SIGTERM);
    const FilterResult r = filter.Wait();
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(spooled(), "");
}
