#include "render/StatusProtocol.h"

#include <chrono>
#include <cstring>
#include <string>

namespace StatusProtocol {

namespace {

struct Named {
    Condition condition;
    const char* name;
    const char* words;
    const char* ipp;
};

const Named kNames[] = {
    {kPaperOut, "paper-out", "out of paper", "media-empty"},
    {kPaperLow, "paper-low", "paper low", "media-low"},
    {kPaperJam, "paper-jam", "paper jam", "media-jam"},
    {kCoverOpen, "cover-open", "cover open", "cover-open"},
    {kOffline, "offline", "offline", "offline"},
    {kRibbonOut, "ribbon-out", "out of ribbon", "marker-supply-empty"},
    {kHeadHot, "head-hot", "print head too hot", "other"},
    {kPaused, "paused", "paused", "paused"},
    {kPrinting, "printing", "printing", nullptr},
    {kCutterError, "cutter-error", "cutter jammed", "other"},
    {kError, "error", "printer error", "other"},
    {kBatteryLow, "battery-low", "battery low", nullptr},
    {kLabelNotTaken, "label-not-taken", "waiting for the label to be taken", nullptr},
};

// A flag bit of a one-byte reply.
Meaning Bit(int bit, Condition condition, Conditions shownFor = 0) {
    const auto mask = static_cast<uint8_t>(1u << bit);
    return {0, mask, mask, condition, shownFor};
}

// The faults an ESC/POS printer reports only as "an error".
constexpr Conditions kFaults = kError | kPaperJam | kHeadHot | kCutterError;

// ESC/POS's real-time replies all match 0xx1xx10.
constexpr uint8_t kEscposMask = 0x93, kEscposFixed = 0x12;

Query EscposRealTime(uint8_t n, std::vector<Meaning> meanings) {
    return {"DLE EOT", {0x10, 0x04, n}, {kEscposFixed}, kEscposMask, kEscposFixed, std::move(meanings)};
}

// ~HQES: STX, "PRINTER STATUS", the errors and the warnings, ETX, laid out
// as Zebra's guide shows it; each line's flag and two groups of 8 hex
// digits, group 2 first. A flag bit b of group 1 is bit b % 4 of the digit
// 7 - b / 4 of its group. The line's leading flag (any bit set) is left to
// the groups.
Query ZplHostQuery() {
    const std::string reply =
        "\x02\r\n  PRINTER STATUS\r\n    ERRORS:         0 00000000 00000000\r\n"
        "    WARNINGS:       0 00000000 00000000\r\n\x03\r\n";
    const uint8_t errors = uint8_t(reply.find("ERRORS:") + 34), warnings = uint8_t(reply.find("WARNINGS:") + 34);
    const auto flag = [](uint8_t group, int bit, Condition condition, Conditions shownFor = 0) {
        const auto mask = static_cast<uint8_t>(1u << (bit % 4));
        return Meaning{static_cast<uint8_t>(group - bit / 4), mask, mask, condition, shownFor};
    };
    Query q{
        "~HQES",
        {'~', 'H', 'Q', 'E', 'S'},
        std::vector<uint8_t>(reply.begin(), reply.end()),
        0xFF,
        0x02,
        {flag(errors, 0, kPaperOut), flag(errors, 1, kRibbonOut), flag(errors, 2, kCoverOpen),
         flag(errors, 3, kCutterError), flag(errors, 4, kHeadHot), flag(errors, 5, kError), flag(errors, 14, kPaperJam),
         flag(errors, 15, kPaperJam), flag(errors, 16, kPaused, kPaused | kOffline), flag(warnings, 3, kPaperLow)},
        true,
        true,
        false};
    q.hexDigits = true;
    return q;
}

// ~HS: three strings, STX ... ETX CR LF each, of fixed-width fields: paper
// out (byte 5), pause (7), head under and over temperature (30, 32); head up
// (43), ribbon out (45), a label waiting to be taken (53).
Query ZplHostStatus() {
    const std::string reply =
        "\x02"
        "030,0,0,1218,000,0,0,0,000,0,0,0\x03\r\n"
        "\x02"
        "001,0,0,0,1,2,6,0,00000000,1,000\x03\r\n"
        "\x02"
        "1234,0\x03\r\n";
    const auto one = [](uint8_t index, Condition condition, Conditions shownFor = 0) {
        return Meaning{index, 0x01, 0x01, condition, shownFor};
    };
    return {"~HS",
            {'~', 'H', 'S'},
            std::vector<uint8_t>(reply.begin(), reply.end()),
            0xFF,
            0x02,
            {one(5, kPaperOut), one(7, kPaused, kPaused | kOffline), one(30, kHeadHot), one(32, kHeadHot),
             one(43, kCoverOpen), one(45, kRibbonOut), one(53, kLabelNotTaken)},
            true,
            true,
            true};
}

const std::vector<Protocol>& Protocols() {
    static const std::vector<Protocol> protocols = {
        {"tspl",
         {
             {"ESC ! ?",
              {0x1B, 0x21, 0x3F},
              {0x00},
              0,
              0,
              {Bit(0, kCoverOpen), Bit(1, kPaperJam), Bit(2, kPaperOut), Bit(3, kRibbonOut),
               Bit(4, kPaused, kPaused | kOffline), Bit(5, kPrinting), Bit(6, kCoverOpen), Bit(7, kHeadHot)}},
             // Newer firmware only: STX, four state letters (0x40 set in
             // each), ETX CR LF. Letter 1 is a code, letters 3 and 4 flags.
             {"ESC ! S",
              {0x1B, 0x21, 0x53},
              {0x02, 0x40, 0x40, 0x40, 0x40, 0x03, 0x0D, 0x0A},
              0xFF,
              0x02,
              {{1, 0xFF, 'E', kError, kStopsPrinting & ~(kPaused | kOffline)},
               {1, 0xFF, '`', kPaused, kPaused | kOffline},
               {1, 0xFF, 'P', kPrinting},
               {3, 0x41, 0x41, kHeadHot},
               {3, 0x48, 0x48, kCutterError},
               {4, 0x41, 0x41, kPaperOut},
               {4, 0x42, 0x42, kPaperJam}},
              true,
              false},
         }},
        {"escpos",
         {
             EscposRealTime(1, {Bit(3, kOffline, kStopsPrinting)}),
             EscposRealTime(2, {Bit(2, kCoverOpen), Bit(5, kPaperOut), Bit(6, kError, kFaults)}),
             // Mechanical error (a jam among them), cutter, unrecoverable,
             // recoverable (the head's temperature).
             EscposRealTime(
                 3, {Bit(2, kError, kError | kPaperJam), Bit(3, kCutterError), Bit(5, kError), Bit(6, kHeadHot)}),
             EscposRealTime(4, {{0, 0x0C, 0x0C, kPaperLow}, {0, 0x60, 0x60, kPaperOut}}),
             // Answered in turn, after the data queued before them.
             {"GS r 1",
              {0x1D, 0x72, 0x01},
              {0x00},
              0,
              0,
              {{0, 0x03, 0x03, kPaperLow}, {0, 0x0C, 0x0C, kPaperOut}},
              false,
              false},
             {"ESC v",
              {0x1B, 0x76},
              {0x00},
              0,
              0,
              {{0, 0x03, 0x03, kPaperLow}, {0, 0x0C, 0x0C, kPaperOut}},
              false,
              false},
         }},
        // A model may know only one of the two: neither's silence is the
        // printer's.
        {"cpcl",
         {
             {"ESC h",
              {0x1B, 0x68},
              {0x00},
              0,
              0,
              {Bit(0, kPrinting), Bit(1, kPaperOut), Bit(2, kCoverOpen), Bit(3, kBatteryLow)},
              true,
              true,
              false},
             {"ESC i",
              {0x1B, 0x69},
              {0x00},
              0,
              0,
              {Bit(7, kRibbonOut), Bit(6, kPaperLow), Bit(5, kLabelNotTaken), Bit(4, kPaperJam)},
              true,
              true,
              false},
         }},
        // ~HQES first, which older models lack; then ~HS, which every ZPL
        // printer answers, though not while out of paper or ribbon, with the
        // head open or too hot.
        {"zpl", {ZplHostQuery(), ZplHostStatus()}},
        // DYMO LabelWriter 4xx: bit 0 (ready) is always set, bit 1 at the top
        // of a label; bit 7 comes with paper out and jams as well.
        {"dymo",
         {
             {"ESC A",
              {0x1B, 0x41},
              {0x03},
              0x01,
              0x01,
              {Bit(5, kPaperOut), Bit(6, kPaperJam), Bit(7, kError, kError | kPaperOut | kPaperJam)}},
         }},
        // Brother QL: ESC i S, answered on arrival (the hosts ask between
        // pages, before the page end that prints); a 32-byte reply, 80 20 'B' and the series and model codes, then
        // error information 1 and 2 in bytes 8 and 9. The idle reply is a
        // QL-570's with 62 mm continuous tape loaded.
        {"brother",
         {
             {"ESC i S",
              {0x1B, 0x69, 0x53},
              {0x80, 0x20, 0x42, 0x34, 0x32, 0x30, 0x00, 0x00, 0x00, 0x00, 0x3E, 0x0A, 0x00, 0x00, 0x15, 0x00,
               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
              0xFF,
              0x80,
              // No media, end of media; cutter jam; turned off; fan.
              // Wrong media (replace it), buffer and communication errors;
              // cover open; overheating; feed error; system error.
              {{8, 0x01, 0x01, kPaperOut},
               {8, 0x02, 0x02, kPaperOut},
               {8, 0x04, 0x04, kCutterError},
               {8, 0x20, 0x20, kOffline},
               {8, 0x80, 0x80, kError},
               {9, 0x01, 0x01, kError},
               {9, 0x02, 0x02, kError},
               {9, 0x04, 0x04, kError},
               {9, 0x08, 0x08, kError},
               {9, 0x10, 0x10, kCoverOpen},
               {9, 0x20, 0x20, kHeadHot},
               {9, 0x40, 0x40, kPaperJam},
               {9, 0x80, 0x80, kError}}},
         }},
    };
    return protocols;
}

}  // namespace

const std::vector<Condition>& AllConditions() {
    static const std::vector<Condition> all = [] {
        std::vector<Condition> v;
        for (const Named& n : kNames)
            v.push_back(n.condition);
        return v;
    }();
    return all;
}

namespace {
const Named* Of(Condition condition) {
    for (const Named& n : kNames)
        if (n.condition == condition)
            return &n;
    return nullptr;
}
}  // namespace

const char* Name(Condition condition) {
    const Named* n = Of(condition);
    return n ? n->name : "";
}

const char* Words(Condition condition) {
    const Named* n = Of(condition);
    return n ? n->words : "";
}

const char* IppReason(Condition condition) {
    const Named* n = Of(condition);
    return n ? n->ipp : nullptr;
}

Conditions FromName(const std::string& name) {
    for (const Named& n : kNames)
        if (name == n.name)
            return n.condition;
    return 0;
}

std::string Describe(Conditions conditions) {
    std::string text;
    for (const Named& n : kNames)
        if (conditions & n.condition)
            text += (text.empty() ? "" : ",") + std::string(n.name);
    return text.empty() ? "ready" : text;
}

namespace {

uint8_t DigitValue(uint8_t c) {
    if (c >= '0' && c <= '9')
        return uint8_t(c - '0');
    if (c >= 'A' && c <= 'F')
        return uint8_t(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return uint8_t(c - 'a' + 10);
    return 0;
}

}  // namespace

Conditions Query::Decode(const uint8_t* reply, Conditions* known) const {
    Conditions told = 0, found = 0;
    for (const Meaning& m : meanings) {
        told |= m.condition;
        const uint8_t byte = hexDigits ? DigitValue(reply[m.index]) : reply[m.index];
        if ((byte & m.mask) == m.value)
            found |= m.condition;
    }
    if (known)
        *known = told;
    return found;
}

std::vector<uint8_t> Query::Encode(Conditions conditions) const {
    std::vector<uint8_t> reply = idle;
    std::vector<bool> coded(reply.size(), false);
    for (const Meaning& m : meanings) {
        if (!(conditions & m.ShownFor()) || (m.mask == 0xFF && coded[m.index]))
            continue;
        if (hexDigits)
            reply[m.index] =
                static_cast<uint8_t>("0123456789ABCDEF"[((DigitValue(reply[m.index]) & ~m.mask) | m.value) & 0xF]);
        else
            reply[m.index] = static_cast<uint8_t>((reply[m.index] & ~m.mask) | m.value);
        coded[m.index] = coded[m.index] || m.mask == 0xFF;
    }
    return reply;
}

Conditions Protocol::Known() const {
    Conditions all = 0;
    for (const Query& q : queries)
        if (q.asked)
            for (const Meaning& m : q.meanings)
                all |= m.condition;
    return all;
}

const Query* Protocol::Match(const uint8_t* data, size_t size, bool* partial) const {
    if (partial)
        *partial = false;
    for (const Query& q : queries) {
        const size_t n = q.request.size();
        if (size >= n && std::memcmp(data, q.request.data(), n) == 0)
            return &q;
        if (size < n && std::memcmp(data, q.request.data(), size) == 0 && partial)
            *partial = true;
    }
    return nullptr;
}

std::string Protocol::NameOf(size_t index) const {
    if (index >= queries.size())
        return "";
    const Query& q = queries[index];
    for (const Query& other : queries)
        if (&other != &q && std::strcmp(other.name, q.name) == 0)
            return std::string(q.name) + " " + std::to_string(q.request.back());
    return q.name;
}

std::string Protocol::Names(QuerySet set) const {
    std::string names;
    for (size_t i = 0; i < queries.size(); i++)
        if (set & (1u << i))
            names += (names.empty() ? "" : ", ") + NameOf(i);
    return names;
}

const Protocol* ForLanguage(const std::string& language) {
    for (const Protocol& p : Protocols())
        if (language == p.language)
            return &p;
    return nullptr;
}

size_t RoundBytes(const Protocol& protocol) {
    size_t bytes = 0;
    for (const Query& q : protocol.queries)
        if (q.asked)
            bytes += q.request.size() + q.ReplyLength();
    return bytes;
}

namespace {

// Replies that arrived unasked, or late, after their query's timeout.
void DropStale(Link& link) {
    uint8_t stale[64];
    while (link.Read(stale, sizeof stale, 0) > 0) {
    }
}

enum class Reply { kGot, kNone, kLinkFailed };

// Waits at most `timeoutMs` for `query`'s reply, skipping bytes that
// cannot begin it.
Reply Await(const Query& query, Link& link, int timeoutMs, std::vector<uint8_t>& reply) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (reply.size() < query.ReplyLength()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return Reply::kNone;
        uint8_t byte;
        const long n = link.Read(&byte, 1, static_cast<int>(left));
        if (n < 0)
            return Reply::kLinkFailed;
        if (n == 0 || (reply.empty() && !query.CanBegin(byte)))
            continue;
        reply.push_back(byte);
    }
    return Reply::kGot;
}

}  // namespace

Report Ask(const Protocol& protocol, Link& link, int timeoutMs, QuerySet skip) {
    Report report;
    DropStale(link);
    for (size_t i = 0; i < protocol.queries.size(); i++) {
        const Query& q = protocol.queries[i];
        if (!q.asked || (skip & (1u << i)))
            continue;
        if (!link.Write(q.request.data(), q.request.size()))
            return Report{};
        std::vector<uint8_t> reply;
        const Reply got = Await(q, link, timeoutMs, reply);
        if (got == Reply::kLinkFailed)
            return Report{};
        if (got == Reply::kNone) {
            report.unanswered |= 1u << i;
            if (!report.answered && q.everyModel)
                return report;
            // A late reply must not pass for the next query's.
            DropStale(link);
            continue;
        }
        Conditions known = 0;
        report.conditions |= q.Decode(reply.data(), &known);
        report.known |= known;
        report.answered = true;
    }
    // Offline is worth reporting only when no reply names its cause.
    if (report.conditions & kStopsPrinting & ~(kOffline | kError))
        report.conditions &= ~(kOffline | kError);
    return report;
}

QuerySet Unanswerable(const Report& report) {
    return report.answered && !(report.conditions & kStopsPrinting) ? report.unanswered : 0;
}

}  // namespace StatusProtocol
