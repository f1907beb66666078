#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the printers of a language answer when asked about their state: the
// query bytes, the reply's length and its bits. One table per language is the
// only place these facts live. The hosts decode replies with it (bytes in, a
// set of conditions out), the virtual printer encodes its state with it, and
// the preview recognises the queries in a stream with it.
namespace StatusProtocol {

// What a printer reports, as bits of `Conditions`.
enum Condition : uint32_t {
    kPaperOut = 1u << 0,     // out of paper or labels
    kPaperLow = 1u << 1,     // near the end of the roll
    kPaperJam = 1u << 2,     // paper jam
    kCoverOpen = 1u << 3,    // cover, head or latch open
    kOffline = 1u << 4,      // offline, cause not told
    kRibbonOut = 1u << 5,    // out of ribbon
    kHeadHot = 1u << 6,      // head temperature out of range
    kPaused = 1u << 7,       // paused at the printer
    kPrinting = 1u << 8,     // still printing what it was sent
    kCutterError = 1u << 9,  // cutter jammed
    kError = 1u << 10,       // another error the printer does not name
    kBatteryLow = 1u << 11,
    kLabelNotTaken = 1u << 12,  // waits for the printed label to be taken
};
using Conditions = uint32_t;

// The conditions under which a printer prints nothing more until someone
// acts (or, for the head's temperature, until it cools).
constexpr Conditions kStopsPrinting =
    kPaperOut | kPaperJam | kCoverOpen | kOffline | kRibbonOut | kHeadHot | kPaused | kCutterError | kError;

// Every condition, in the order they are named.
const std::vector<Condition>& AllConditions();
// "paper-out", "cover-open", ...: the virtual printer's words for them.
const char* Name(Condition condition);
// "out of paper", "cover open", ...: words for a user.
const char* Words(Condition condition);
// The IPP printer-state-reasons keyword that reports it, without a
// severity suffix ("media-empty"); null for what IPP has no word for.
const char* IppReason(Condition condition);
// The condition named `name`, or 0.
Conditions FromName(const std::string& name);
// The conditions in words, comma-separated ("paper-out,cover-open"), or
// "ready" when there are none.
std::string Describe(Conditions conditions);

// One meaning in a reply: byte `index` of the reply, masked with `mask`,
// equals `value` when `condition` holds. A printer shows it for any of
// `shownFor` (0: for `condition` alone), as an ESC/POS printer goes offline
// whatever stops it. A mask of 0xFF makes the byte a code (one of several
// values, the first that applies) rather than a set of flags.
struct Meaning {
    uint8_t index;
    uint8_t mask;
    uint8_t value;
    Condition condition;
    Conditions shownFor = 0;

    Conditions ShownFor() const { return shownFor ? shownFor : condition; }
};

struct Query {
    const char* name;              // "ESC ! ?"
    std::vector<uint8_t> request;  // the bytes a host sends
    std::vector<uint8_t> idle;     // the reply when no condition holds
    // Bits every reply has and no other byte on the line is sure to have,
    // so that replies that arrive unasked can be told apart (0 when the
    // language has none).
    uint8_t fixedMask = 0;
    uint8_t fixedValue = 0;
    std::vector<Meaning> meanings;
    // Answered on arrival, ahead of the data queued before it, even while
    // the printer cannot print; otherwise answered in turn, when the
    // printer has taken the data before it.
    bool realTime = true;
    // Whether the hosts ask it: the printers answer every query, the hosts
    // send the ones every printer of the language understands.
    bool asked = true;
    // Whether every model that answers at all answers it, so that its
    // silence is the printer's: Ask then asks no further. A query some
    // models lack is followed by the next even when left unanswered.
    bool everyModel = true;
    // Whether the reply writes its flags as hex digits ('0'-'9', 'A'-'F' or
    // 'a'-'f'), as ZPL's ~HQES does: a meaning's mask and value then apply
    // to the digit's value, not to its character.
    bool hexDigits = false;

    size_t ReplyLength() const { return idle.size(); }
    // Whether `byte` can be the first byte of this query's reply.
    bool CanBegin(uint8_t byte) const { return (byte & fixedMask) == fixedValue; }
    // The conditions a whole reply tells; `known` gets those it can tell at
    // all, so that a condition it does not cover is not taken as cleared.
    Conditions Decode(const uint8_t* reply, Conditions* known = nullptr) const;
    // The reply of a printer in `conditions`.
    std::vector<uint8_t> Encode(Conditions conditions) const;
};

// A set of a protocol's queries: bit i for queries[i].
using QuerySet = uint32_t;

struct Protocol {
    const char* language;  // the preview's language name
    std::vector<Query> queries;

    // The name of queries[index], told apart from the others that share
    // it by the request's last byte ("DLE EOT 4"); "" past the end.
    std::string NameOf(size_t index) const;
    // "ESC h, ESC i": the names of the queries in `set`.
    std::string Names(QuerySet set) const;

    // Every condition some asked query can tell.
    Conditions Known() const;
    // The query whose request starts at `data` (`size` bytes there), or
    // null; `*partial` is set when `data` is a proper prefix of a request.
    const Query* Match(const uint8_t* data, size_t size, bool* partial = nullptr) const;
};

// The protocol of a language, or null for a language that answers nothing
// the project relies on.
const Protocol* ForLanguage(const std::string& language);

// The bytes a status round costs: every asked query's request and reply.
size_t RoundBytes(const Protocol& protocol);

// How both hosts ask: the longest wait for a reply; the rest from queries
// for a printer that left one unanswered; the pause between two rounds
// while a job waits for the printer; and how long the end of a job waits
// for the printer to finish printing, plus as much again per page.
constexpr int kReplyTimeoutMs = 1000;
constexpr int kRestSeconds = 300;
constexpr int kPollMs = 1000;
constexpr int kFinishSeconds = 60;
constexpr int kFinishSecondsPerPage = 10;

// How a host reaches the printer: writes go out at once (a host that
// buffers flushes before it reads), reads wait at most `timeoutMs`.
class Link {
public:
    virtual ~Link() = default;
    virtual bool Write(const uint8_t* data, size_t size) = 0;
    // Bytes read (up to `size`), 0 when none arrived in time, -1 when the
    // link failed.
    virtual long Read(uint8_t* data, size_t size, int timeoutMs) = 0;
};

struct Report {
    bool answered = false;  // some query got its reply: the printer answers
    Conditions conditions = 0;
    Conditions known = 0;     // what the replies could tell
    QuerySet unanswered = 0;  // the queries that got no reply in time
};

// Asks every asked query of `protocol` but those in `skip` in turn and
// waits at most `timeoutMs` for each reply. Bytes that cannot begin the
// expected reply (replies that arrived unasked, a printer's chatter) are
// skipped. A query left unanswered is passed over once the printer has
// answered another in the round, or when some models lack it; otherwise
// (or when the link fails) the round ends unanswered, and a printer that
// answers nothing costs one timeout for each query some models lack, and
// one for the first that every model knows.
Report Ask(const Protocol& protocol, Link& link, int timeoutMs, QuerySet skip = 0);

// The queries a host no longer asks the printer after `report`: those it
// left unanswered in a round it answered, unless the replies say it cannot
// print, as some printers ignore a query while their paper is out. What
// only those queries tell is then unknown, never taken as cleared.
QuerySet Unanswerable(const Report& report);

}  // namespace StatusProtocol
