#pragma once

#include <string>

#include "render/CBaseRender.h"
#include "render/StatusProtocol.h"

// The filter asks the printer about its state through CUPS's back channel:
// before the first page, after each page and before it exits. While the
// printer reports something that stops printing it tells CUPS ("STATE:"
// and "INFO:" lines) and waits, polling, so that no label is sent into a
// printer that cannot print it; at the end it waits until the printer has
// printed what it was sent. On only when the PPD's "qvStatusCheck" is on,
// the family answers status queries and the backend relays replies. A
// query the printer leaves unanswered while it answers others is not asked
// again in this job (the next job tries it afresh: the queue may have got
// another printer); the others go on being asked.
class CStatusCheck {
public:
    // Decides whether to ask at all; a printer that left a query unanswered
    // in the last few minutes is not asked (RestFile remembers it).
    void Start(const CBaseRender& render, int modelNumber);

    // One check: reports what the printer says and waits while it cannot
    // print. `atEnd`: also waits (within a bound that grows with the
    // `labels` printed, copies included) until it stops printing.
    // Returns at once when the job is canceled.
    void Check(bool atEnd, int labels = 0);

    // Where the queue's unanswered query is remembered.
    static std::string RestFile();

private:
    // Whether the backend relays replies, asked over the side channel.
    bool Relayed();
    StatusProtocol::Report Round();
    // Stops asking the queries `report` shows the printer does not answer.
    void Drop(const StatusProtocol::Report& report);
    // Prints the STATE: lines of what changed and an INFO: line in words.
    void Show(const StatusProtocol::Report& report);
    void GiveUp();

    const StatusProtocol::Protocol* m_candidate = nullptr;  // the family's, if asking is on
    const StatusProtocol::Protocol* m_protocol = nullptr;   // once the backend relays replies
    bool m_asked = false;
    StatusProtocol::QuerySet m_dropped = 0;  // not asked again in this job
    std::string m_shown;                     // the reasons set, comma-separated
    bool m_waiting = false;
};
