// Copies in the printer application, for every document format: one page
// image for all copies of a page where the language counts them (TSPL,
// CPCL), the page's commands again where it does not; collated copies of a
// job of several pages keep their order. The device output is decoded by
// the preview.
#include <gtest/gtest.h>

#include "preview/CBrotherDecoder.h"
#include "preview/PreviewTestSupport.h"
#include "printerapp/AppServer.h"

namespace testing_support {
namespace {

class PrinterAppCopies : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Start())
            GTEST_SKIP() << "the printer application cannot start here: " << server.Problem();
    }
    AppServer server;
};

const char* const kUncollated = "multiple-document-handling=separate-documents-uncollated-copies";

TEST_F(PrinterAppCopies, EveryFormatPrintsItsCopiesInOrder) {
    // Pages of a 2 x 1 in label, each with a bar of its own; a third of a
    // 4 x 6 in picture.
    const auto bar = [](unsigned, unsigned y, unsigned page) { return y / 40 == page + 1; };
    const std::string onePage = server.Dir().File("one.pwg"), twoPages = server.Dir().File("two.pwg");
    WriteFile(onePage, PwgPages(406, 203, 203, 1, bar));
    WriteFile(twoPages, PwgPages(406, 203, 203, 2, bar));
    const std::string photo = QUORVANT_SOURCE_DIR "/samples/sample-photo.jpg";
    const std::vector<std::string> three(3, "1 set of 3 copies"), once(6, "1 set of 1 copy");

    const struct {
        const char* driver;
        const char* language;
        std::string document;
        const char* handling;
        std::vector<std::string> copies;  // of each program, in order
        std::vector<size_t> sameAs;       // the program each one repeats
    } cases[] = {
        {"tspl_203dpi", "tspl", onePage, "", {three[0]}, {0}},
        {"tspl_203dpi", "tspl", photo, "", {three[0]}, {0}},
        {"tspl_203dpi", "tspl", twoPages, "", once, {0, 1, 0, 1, 0, 1}},
        {"tspl_203dpi", "tspl", twoPages, kUncollated, {three[0], three[0]}, {0, 1}},
        {"cpcl_203dpi", "cpcl", onePage, "", {"3"}, {0}},
        {"cpcl_203dpi", "cpcl", twoPages, "", {"1", "1", "1", "1", "1", "1"}, {0, 1, 0, 1, 0, 1}},
        {"escpos_80mm", "escpos", onePage, "", {"", "", ""}, {0, 0, 0}},
        {"escpos_80mm", "escpos", photo, "", {"", "", ""}, {0, 0, 0}},
        // No copy count: the label again, ESC G between.
        {"dymo_lw450", "dymo", onePage, "", {"", "", ""}, {0, 0, 0}},
        {"dymo_lw450", "dymo", twoPages, "", {"", "", "", "", "", ""}, {0, 1, 0, 1, 0, 1}},
        // Drawn again: the stream decodes only with one opening and a page
        // end between the pages.
        {"brother_ql720", "brother", onePage, "", {"", "", ""}, {0, 0, 0}},
        {"brother_ql720", "brother", twoPages, "", {"", "", "", "", "", ""}, {0, 1, 0, 1, 0, 1}},
        {"brother_ql720", "brother", twoPages, kUncollated, {"", "", "", "", "", ""}, {0, 0, 0, 3, 3, 3}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.driver) + " " + c.document + " " + c.handling);
        const std::string printer = "p" + std::to_string(n++);
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter(printer, c.driver, output)) << output;
        std::vector<std::string> options = {"copies=3"};
        if (*c.handling)
            options.push_back(c.handling);
        ASSERT_EQ("completed", server.Print(printer, c.document, options)) << server.LogProblems();
        const std::vector<Program> programs = Programs(server.DecodeDevice(printer, c.language));
        ASSERT_EQ(programs.size(), c.copies.size()) << server.LogProblems();
        for (size_t i = 0; i < programs.size(); i++) {
            EXPECT_EQ(programs[i].copies, c.copies[i]) << i;
            EXPECT_EQ(programs[i].dots, programs[c.sameAs[i]].dots) << i;
        }
        if (c.sameAs.size() > 1 && c.sameAs[1] == 1) {
            EXPECT_NE(programs[0].dots, programs[1].dots);
        }
    }
}

// A Brother QL job opens once (invalidate run, ESC @) and its pages after
// the first say so (ESC i z's n9 = 1, checked by the decoder), however its
// copies are made: the copies are drawn again, not its bytes sent again.
TEST_F(PrinterAppCopies, BrotherCopiesOpenTheJobOnce) {
    const auto bar = [](unsigned, unsigned y, unsigned page) { return y / 40 == page + 1; };
    const std::string onePage = server.Dir().File("one.pwg"), twoPages = server.Dir().File("two.pwg");
    WriteFile(onePage, PwgPages(406, 203, 203, 1, bar));
    WriteFile(twoPages, PwgPages(406, 203, 203, 2, bar));
    const struct {
        std::string document;
        const char* handling;
        size_t pages;
    } cases[] = {{onePage, "", 3}, {twoPages, "", 6}, {twoPages, kUncollated, 6}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document + " " + c.handling);
        const std::string printer = "ql" + std::to_string(n++);
        std::string output;
        ASSERT_TRUE(server.AddFilePrinter(printer, "brother_ql720", output)) << output;
        std::vector<std::string> options = {"copies=3"};
        if (*c.handling)
            options.push_back(c.handling);
        ASSERT_EQ("completed", server.Print(printer, c.document, options)) << server.LogProblems();
        const Bytes stream = ReadFile(server.Dir().File(printer + ".prn"));
        CBrotherDecoder decoder;
        ASSERT_TRUE(decoder.Decode(stream.data(), stream.size())) << decoder.Error().Message();
        EXPECT_EQ(decoder.Pages().size(), c.pages);
        int openings = 0, lastPageEnds = 0;
        for (const PreviewCommand& command : decoder.Commands()) {
            openings += command.text.find("(invalidate)") != std::string::npos;
            lastPageEnds += command.text.rfind("1A ", 0) == 0;
        }
        EXPECT_EQ(openings, 1);
        EXPECT_EQ(lastPageEnds, 1);
    }
}

// Raster documents are spooled and their copies made as an image's are: a
// client that asks for a format's copies gets the same range for each.
TEST_F(PrinterAppCopies, EveryFormatTakesTheSameCopies) {
    std::string output;
    ASSERT_TRUE(server.AddFilePrinter("labels", "tspl_203dpi", output)) << output;
    http_t* http = ConnectTo(server.Port());
    ASSERT_NE(http, nullptr);
    for (const char* format : {"image/pwg-raster", "image/urf", "image/jpeg"}) {
        ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                     server.PrinterUri("labels").c_str());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, format);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "copies-supported");
        ipp_t* response = cupsDoRequest(http, request, "/ipp/print/labels");
        int high = 0;
        const int low = ippGetRange(ippFindAttribute(response, "copies-supported", IPP_TAG_RANGE), 0, &high);
        EXPECT_EQ(low, 1) << format;
        EXPECT_EQ(high, 999) << format;
        ippDelete(response);
    }
    httpClose(http);
}

}  // namespace
}  // namespace testing_support
