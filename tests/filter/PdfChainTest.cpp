#include <gtest/gtest.h>
#include <unistd.h>

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
