#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "preview/CByteReader.h"
#include "preview/CPreviewPage.h"
#include "render/StatusProtocol.h"

// One decoded command: where it starts in the stream and one readable line.
struct PreviewCommand {
    size_t offset;
    std::string text;
};

// The first malformed place of a stream.
struct PreviewError {
    size_t offset = 0;
    std::string expected, found;
    // "byte 1234: expected ..., found ..."
    std::string Message() const;
    // Whether the stream ended where more was expected: more bytes may
    // make it well-formed (a printer that reads a stream as it arrives waits).
    bool Truncated() const;
};

// A strict decoder of one printer language: the inverse of a renderer,
// written from the wire format alone so that it checks the renderers.
// Decode reads a whole stream; it either accepts every byte or stops at the
// first malformed one. Nothing malformed is skipped.
class CPreviewDecoder {
public:
    virtual ~CPreviewDecoder() = default;

    // The --lang name, the class's kLanguage.
    virtual const char* Language() const = 0;

    // False at the first malformed byte, with Error() naming it; Commands()
    // and Pages() then hold what was decoded before it (complete pages only).
    bool Decode(const uint8_t* data, size_t size);

    const std::vector<PreviewCommand>& Commands() const { return m_Commands; }
    const std::vector<CPreviewPage>& Pages() const { return m_Pages; }
    const PreviewError& Error() const { return m_Error; }

    // Where page `i` of Pages() begins (about: where the decoder opened it)
    // and ends in the stream.
    size_t PageBegin(size_t i) const { return m_Spans[i].first; }
    size_t PageEnd(size_t i) const { return m_Spans[i].second; }
    // The pages that no later byte can change: all of Pages() but a last
    // page that only the stream's end closed (more images may stack onto
    // an ESC/POS page, more paper movements follow a Tavrin page).
    size_t SettledPages() const { return m_Pages.size() - (m_bLastOpenEnded ? 1 : 0); }

protected:
    // Reads the whole stream from the cursor to its end.
    virtual bool Parse(CByteReader& in) = 0;

    void Command(size_t offset, const std::string& text) { m_Commands.push_back({offset, text}); }
    // The page being built, begun on first use.
    CPreviewPage& Page();
    bool PageOpen() const { return m_bPageOpen; }
    void EndPage();
    // Ends the page that is open when the stream ends (see SettledPages).
    void EndLastPage();

    // Reads the language's status query (StatusProtocol) at the cursor and
    // lists it as a command; `found` false (nothing read) when none begins
    // there. False, for a query cut off by the stream's end.
    bool StatusQuery(CByteReader& in, bool& found);

    // Records the error and returns false, for `return Fail(...)`.
    bool Fail(size_t offset, const std::string& expected, const std::string& found);
    // Fails unless `n` bytes remain at the cursor; `what` names them.
    bool Need(const CByteReader& in, size_t n, const std::string& what);
    // Fails for an image at `offset` that would grow the page to width x
    // height dots, past CPreviewPage::kMaxBytes.
    bool PageTooLarge(size_t offset, int width, int height);

private:
    std::vector<PreviewCommand> m_Commands;
    std::vector<CPreviewPage> m_Pages;
    std::vector<std::pair<size_t, size_t>> m_Spans;  // each page's begin and end offsets
    CPreviewPage m_Open;
    size_t m_iOpenBegin = 0;
    bool m_bPageOpen = false;
    bool m_bLastOpenEnded = false;
    PreviewError m_Error;
    const CByteReader* m_pIn = nullptr;  // the stream being decoded, for the pages' offsets
    const StatusProtocol::Protocol* m_pStatus = nullptr;
};
