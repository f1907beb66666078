#include <gtest/gtest.h>

#include <memory>

#include "preview/PreviewLanguages.h"
#include "support/CupsChainTest.h"
#include "support/FamilyCases.h"

using namespace testing_support;

// Everyday documents through the whole CUPS chain with the shipped PPDs and
// their defaults: photos on labels, receipts, a bar code label.
namespace {

const std::string kSamples = QUORVANT_SOURCE_DIR "/samples/";

class ShopChain : public CupsChainTest {
protected:
    struct Job {
        FilterResult run;
        std::vector<CPreviewPage> pages;
    };

    static Job Print(const std::string& ppd, const std::string& language, const std::string& document,
                     const std::string& options) {
        Job job{RunCupsfilter(*tree, BuiltPpd(ppd), kSamples + document, options), {}};
        EXPECT_EQ(job.run.status, 0) << job.run.err;
        std::unique_ptr<CPreviewDecoder> decoder = PreviewLanguages::Create(language);
        EXPECT_TRUE(decoder->Decode(job.run.out.data(), job.run.out.size())) << decoder->Error().Message();
        job.pages = decoder->Pages();
        return job;
    }
};

bool Black(const CPreviewPage& page, int x, int y) { return (page.Row(y)[x >> 3] >> (7 - (x & 7))) & 1; }

// First and last rows and columns with a black dot: {top, bottom, left, right}.
std::vector<int> InkBox(const CPreviewPage& page) {
    std::vector<int> box = {page.Height(), -1, page.Width(), -1};
    for (int y = 0; y < page.Height(); y++)
        for (int x = 0; x < page.Width(); x++)
            if (Black(page, x, y)) {
                box = {std::min(box[0], y), std::max(box[1], y), std::min(box[2], x), std::max(box[3], x)};
            }
    return box;
}

}  // namespace

// CUPS's image filter fits the picture inside the label and sends only its
// raster: 761 x 1218 dots on 4 x 6 in, 812 x 507 on 4 x 4 in.
TEST_F(ShopChain, PhotoPrintsOnALabelOfTheMediasSizeCentred) {
    struct Case {
        const char* media;
        const char* size;
        bool across;  // the picture is narrower than the label (else shorter)
        int length;   // the label's dots along that axis
    };
    for (Case c : {Case{"w288h432", "SIZE 101.60 mm,152.40 mm\r\n", true, 812},
                   Case{"w288h288", "SIZE 101.60 mm,101.60 mm\r\n", false, 812}}) {
        Job job = Print("qvtspl.ppd", "tspl", "sample-photo.jpg", std::string("media=") + c.media);
        ASSERT_EQ(job.pages.size(), 1u);
        EXPECT_EQ(std::string(job.run.out.begin(), job.run.out.begin() + 26), c.size);
        const std::vector<int> box = InkBox(job.pages[0]);
        const int before = c.across ? box[2] : box[0], after = c.length - 1 - (c.across ? box[3] : box[1]);
        EXPECT_LE(std::abs(before - after), 1) << c.media << ": " << before << " and " << after;
    }
}

// A 120 mm receipt on the 200 mm default page of every ESC/POS driver: as
// long as its content, then the end feed and the cut.
TEST_F(ShopChain, ReceiptIsAsLongAsItsContentAndCut) {
    size_t receipts = 0;
    for (const DriverTable::Driver* driver : AllDrivers()) {
        if (std::string(FamilyOfDriver(driver->name).language) != "escpos")
            continue;
        receipts++;
        const char* ppd = driver->ppd;
        Job job = Print(ppd, "escpos", "sample-receipt.pdf", "");
        ASSERT_EQ(job.pages.size(), 1u);
        const std::vector<int> box = InkBox(job.pages[0]);
        EXPECT_LE(box[0], 16) << ppd;  // 2 mm
        EXPECT_GE(box[1], job.pages[0].Height() - 1 - 16) << ppd;
        const Bytes tail = {0x1B, 0x4A, 119, 0x1D, 0x56, 0x30};
        EXPECT_TRUE(std::equal(tail.begin(), tail.end(), job.run.out.end() - 6)) << ppd;
    }
    EXPECT_GT(receipts, 0u);
}

TEST_F(ShopChain, CustomPageWiderThanTheHeadIsScaledToIt) {
    Job job = Print("qvescpos.ppd", "escpos", "sample-receipt.pdf", "media=Custom.80x150mm");
    ASSERT_EQ(job.pages.size(), 1u);
    EXPECT_EQ(job.pages[0].Width(), 576);
    EXPECT_EQ(job.run.ErrLines("WARNING: ").size(), 1u) << job.run.err;
}

// CUPS scales the 300 dpi label to 203 dpi, leaving gray bar edges: under the
// label default every column through the bars is all black or all white.
TEST_F(ShopChain, BarCodeLabelKeepsStraightEdges) {
    auto raggedColumns = [](const CPreviewPage& page) {
        int ragged = 0;
        for (int x = 0; x < 812; x++) {
            int black = 0;
            for (int y = 215; y < 495; y++)
                black += Black(page, x, y);
            ragged += black != 0 && black != 280;
        }
        return ragged;
    };
    Job sharp = Print("qvtspl.ppd", "tspl", "barcode-label-300dpi.png", "");
    Job diffused = Print("qvtspl.ppd", "tspl", "barcode-label-300dpi.png", "ImageFilter=3");
    ASSERT_EQ(sharp.pages.size(), 1u);
    ASSERT_EQ(diffused.pages.size(), 1u);
    EXPECT_EQ(raggedColumns(sharp.pages[0]), 0);
    EXPECT_GT(raggedColumns(diffused.pages[0]), 0);
}
