#include <gtest/gtest.h>

#include <deque>

#include "render/StatusProtocol.h"

using namespace StatusProtocol;

namespace {

const Query& QueryOf(const char* language, std::vector<uint8_t> request) {
    const Protocol* p = ForLanguage(language);
    EXPECT_NE(p, nullptr) << language;
    const Query* q = p->Match(request.data(), request.size());
    EXPECT_NE(q, nullptr) << language;
    return *q;
}

// The replies the printers' manuals give, for one condition each.
struct ReplyCase {
    const char* language;
    std::vector<uint8_t> request;
    Conditions conditions;
    std::vector<uint8_t> reply;
};

// ~HQES's reply with the errors and warnings of group 1 given as hex.
std::vector<uint8_t> Hqes(const char* errors, const char* warnings) {
    const std::string text = std::string("\x02\r\n  PRINTER STATUS\r\n    ERRORS:         0 00000000 ") + errors +
                             "\r\n    WARNINGS:       0 00000000 " + warnings + "\r\n\x03\r\n";
    return std::vector<uint8_t>(text.begin(), text.end());
}

// ~HS's three strings with paper out, pause, head up and ribbon out given.
std::vector<uint8_t> Hs(char paperOut, char pause, char headUp, char ribbonOut) {
    const std::string text = std::string(
                                 "\x02"
                                 "030,") +
                             paperOut + "," + pause +
                             ",1218,000,0,0,0,000,0,0,0\x03\r\n\x02"
                             "001,0," +
                             headUp + "," + ribbonOut +
                             ",1,2,6,0,00000000,1,000\x03\r\n\x02"
                             "1234,0\x03\r\n";
    return std::vector<uint8_t>(text.begin(), text.end());
}

const std::vector<uint8_t> kHqes = {'~', 'H', 'Q', 'E', 'S'}, kHs = {'~', 'H', 'S'};

// A QL-570's reply with 62 mm continuous tape and the two error bytes.
std::vector<uint8_t> BrotherReply(uint8_t error1, uint8_t error2) {
    std::vector<uint8_t> reply = {0x80, 0x20, 'B', '4', '2', '0', 0, 0, error1, error2, 0x3E, 0x0A, 0, 0, 0x15};
    reply.resize(32, 0);
    return reply;
}

const ReplyCase kReplies[] = {
    {"zpl", kHqes, 0, Hqes("00000000", "00000000")},
    {"zpl", kHqes, kPaperOut | kCoverOpen, Hqes("00000005", "00000000")},
    {"zpl", kHqes, kPaperOut | kCutterError, Hqes("00000009", "00000000")},
    {"zpl", kHqes, kRibbonOut | kCoverOpen | kCutterError, Hqes("0000000E", "00000000")},
    {"zpl", kHqes, kHeadHot | kPaused, Hqes("00010010", "00000000")},
    {"zpl", kHqes, kPaperLow, Hqes("00000000", "00000008")},
    {"zpl", kHs, 0, Hs('0', '0', '0', '0')},
    {"zpl", kHs, kPaperOut | kRibbonOut, Hs('1', '0', '0', '1')},
    {"zpl", kHs, kCoverOpen | kPaused, Hs('0', '1', '1', '0')},
    {"tspl", {0x1B, 0x21, 0x3F}, 0, {0x00}},
    {"tspl", {0x1B, 0x21, 0x3F}, kCoverOpen, {0x41}},
    {"tspl", {0x1B, 0x21, 0x3F}, kPaperJam, {0x02}},
    {"tspl", {0x1B, 0x21, 0x3F}, kPaperOut | kRibbonOut, {0x0C}},
    {"tspl", {0x1B, 0x21, 0x3F}, kPaused, {0x10}},
    {"tspl", {0x1B, 0x21, 0x3F}, kOffline, {0x10}},
    {"tspl", {0x1B, 0x21, 0x3F}, kPrinting, {0x20}},
    {"tspl", {0x1B, 0x21, 0x3F}, kHeadHot, {0x80}},
    {"tspl", {0x1B, 0x21, 0x53}, 0, {0x02, '@', '@', '@', '@', 0x03, 0x0D, 0x0A}},
    {"tspl", {0x1B, 0x21, 0x53}, kPaperOut, {0x02, 'E', '@', '@', 'A', 0x03, 0x0D, 0x0A}},
    {"tspl", {0x1B, 0x21, 0x53}, kPrinting, {0x02, 'P', '@', '@', '@', 0x03, 0x0D, 0x0A}},
    {"tspl", {0x1B, 0x21, 0x53}, kPaused, {0x02, '`', '@', '@', '@', 0x03, 0x0D, 0x0A}},
    {"escpos", {0x10, 0x04, 0x01}, 0, {0x12}},
    {"escpos", {0x10, 0x04, 0x01}, kCoverOpen, {0x1A}},
    {"escpos", {0x10, 0x04, 0x02}, kCoverOpen, {0x16}},
    {"escpos", {0x10, 0x04, 0x02}, kPaperOut, {0x32}},
    {"escpos", {0x10, 0x04, 0x02}, kPaperJam, {0x52}},
    {"escpos", {0x10, 0x04, 0x03}, kHeadHot, {0x52}},
    {"escpos", {0x10, 0x04, 0x03}, kCutterError, {0x1A}},
    {"escpos", {0x10, 0x04, 0x04}, kPaperLow, {0x1E}},
    {"escpos", {0x10, 0x04, 0x04}, kPaperOut, {0x72}},
    {"escpos", {0x1D, 0x72, 0x01}, kPaperOut, {0x0C}},
    {"escpos", {0x1B, 0x76}, kPaperLow, {0x03}},
    {"cpcl", {0x1B, 0x68}, kPaperOut, {0x02}},
    {"cpcl", {0x1B, 0x68}, kCoverOpen | kPrinting, {0x05}},
    {"cpcl", {0x1B, 0x69}, kRibbonOut | kPaperLow, {0xC0}},
    {"cpcl", {0x1B, 0x69}, kPaperJam, {0x10}},
    // Brother QL: error information 1 and 2 in bytes 8 and 9 of 32.
    {"brother", {0x1B, 0x69, 0x53}, kCoverOpen, BrotherReply(0x00, 0x10)},
    {"brother", {0x1B, 0x69, 0x53}, kPaperOut, BrotherReply(0x03, 0x00)},
    {"brother", {0x1B, 0x69, 0x53}, kCutterError | kPaperJam, BrotherReply(0x04, 0x40)},
    {"brother", {0x1B, 0x69, 0x53}, kHeadHot, BrotherReply(0x00, 0x20)},
};

TEST(StatusProtocol, RepliesCarryTheManualsBits) {
    for (const ReplyCase& c : kReplies) {
        const Query& q = QueryOf(c.language, c.request);
        EXPECT_EQ(q.Encode(c.conditions), c.reply) << c.language << " " << q.name << " " << Describe(c.conditions);
        EXPECT_TRUE(q.CanBegin(c.reply[0])) << q.name;
        Conditions known = 0;
        const Conditions decoded = q.Decode(c.reply.data(), &known);
        EXPECT_EQ(decoded & c.conditions & known, c.conditions & known) << q.name << " " << Describe(c.conditions);
    }
}

TEST(StatusProtocol, QueriesAndLanguages) {
    EXPECT_EQ(ForLanguage("tavrin"), nullptr);
    EXPECT_EQ(ForLanguage("solvane"), nullptr);
    const Protocol& escpos = *ForLanguage("escpos");
    // Every real-time reply matches 0xx1xx10; a text byte does not.
    for (uint8_t n = 1; n <= 4; ++n)
        EXPECT_TRUE(QueryOf("escpos", {0x10, 0x04, n}).CanBegin(0x12));
    EXPECT_FALSE(QueryOf("escpos", {0x10, 0x04, 1}).CanBegin('A'));
    bool partial = false;
    const uint8_t prefix[] = {0x10, 0x04};
    EXPECT_EQ(escpos.Match(prefix, 2, &partial), nullptr);
    EXPECT_TRUE(partial);
    EXPECT_EQ(RoundBytes(*ForLanguage("tspl")), 4u);
    EXPECT_EQ(RoundBytes(escpos), 16u);
    EXPECT_EQ(RoundBytes(*ForLanguage("cpcl")), 6u);
    EXPECT_EQ(Describe(kPaperOut | kCoverOpen), "paper-out,cover-open");
    EXPECT_EQ(FromName("head-hot"), kHeadHot);
}

// A printer at the other end of a link: answers each query it is sent with
// the replies queued for it, after whatever unasked bytes come first.
class FakeLink : public Link {
public:
    std::deque<uint8_t> incoming;
    std::vector<uint8_t> sent;
    std::deque<std::vector<uint8_t>> answers;

    bool Write(const uint8_t* data, size_t size) override {
        sent.insert(sent.end(), data, data + size);
        if (!answers.empty()) {
            incoming.insert(incoming.end(), answers.front().begin(), answers.front().end());
            answers.pop_front();
        }
        return true;
    }
    long Read(uint8_t* data, size_t size, int) override {
        size_t n = 0;
        while (n < size && !incoming.empty()) {
            data[n++] = incoming.front();
            incoming.pop_front();
        }
        return static_cast<long>(n);
    }
};

TEST(StatusProtocol, AskSkipsUnaskedBytesAndNamesTheCause) {
    FakeLink link;
    link.incoming = {0x72};                                // a late reply, dropped first
    link.answers = {{0x1A}, {'x', 0x32}, {0x12}, {0x72}};  // chatter before one reply
    const Report r = Ask(*ForLanguage("escpos"), link, 50);
    EXPECT_TRUE(r.answered);
    // Offline is implied by the paper's end, which is the cause reported.
    EXPECT_EQ(r.conditions, kPaperOut);
    EXPECT_EQ(link.sent, (std::vector<uint8_t>{0x10, 4, 1, 0x10, 4, 2, 0x10, 4, 3, 0x10, 4, 4}));
}

// A round with queries left unanswered: each query's reply ({} for none),
// the queries skipped, and what the round tells.
struct DegradeCase {
    const char* what;
    const char* language;
    std::deque<std::vector<uint8_t>> answers;
    QuerySet skip;
    bool answered;
    QuerySet unanswered;
    Conditions conditions;
    QuerySet dropped;  // Unanswerable
    size_t sent;       // request bytes
};

const DegradeCase kDegrades[] = {
    {"ESC h only, ready", "cpcl", {{0x00}, {}}, 0, true, 2, 0, 2, 4},
    {"ESC h only, out of paper", "cpcl", {{0x02}, {}}, 0, true, 2, kPaperOut, 0, 4},
    {"ESC i only, paper low", "cpcl", {{}, {0x40}}, 0, true, 1, kPaperLow, 1, 4},
    {"ESC i only, jammed", "cpcl", {{}, {0x10}}, 0, true, 1, kPaperJam, 0, 4},
    {"ESC i dropped before", "cpcl", {{0x01}}, 2, true, 0, kPrinting, 0, 2},
    {"CPCL, silent", "cpcl", {{}, {}}, 0, false, 3, 0, 0, 4},
    // Every ESC/POS printer that answers knows DLE EOT 1: its silence ends
    // the round at the cost of one timeout.
    {"ESC/POS, silent", "escpos", {{}, {0x12}}, 0, false, 1, 0, 0, 3},
    {"ESC/POS without DLE EOT 4", "escpos", {{0x12}, {0x12}, {0x12}, {}}, 0, true, 8, 0, 8, 12},
};

TEST(StatusProtocol, AQueryLeftUnansweredIsPassedOverAndDroppedWhenThePrinterCanPrint) {
    for (const DegradeCase& c : kDegrades) {
        FakeLink link;
        link.answers = c.answers;
        const Report r = Ask(*ForLanguage(c.language), link, 20, c.skip);
        EXPECT_EQ(r.answered, c.answered) << c.what;
        EXPECT_EQ(r.unanswered, c.unanswered) << c.what;
        EXPECT_EQ(r.conditions, c.conditions) << c.what;
        EXPECT_EQ(Unanswerable(r), c.dropped) << c.what;
        EXPECT_EQ(link.sent.size(), c.sent) << c.what;
        // What the answered queries tell is known, and nothing else.
        Conditions told = 0;
        const std::vector<Query>& queries = ForLanguage(c.language)->queries;
        for (size_t i = 0; i < queries.size() && r.answered; i++)
            if (queries[i].asked && !((c.skip | r.unanswered) & (1u << i)))
                for (const Meaning& m : queries[i].meanings)
                    told |= m.condition;
        EXPECT_EQ(r.known, told) << c.what;
    }
    EXPECT_EQ(ForLanguage("cpcl")->Names(3), "ESC h, ESC i");
    EXPECT_EQ(ForLanguage("escpos")->Names(8), "DLE EOT 4");
    EXPECT_EQ(ForLanguage("tspl")->NameOf(0), "ESC ! ?");
}

}  // namespace
