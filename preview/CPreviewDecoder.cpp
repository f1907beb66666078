#include "preview/CPreviewDecoder.h"

std::string PreviewError::Message() const {
    return "byte " + std::to_string(offset) + ": expected " + expected + ", found " + found;
}

// Every message of a stream that ended too soon says so: CByteReader's
// Describe, Need and the decoders' end checks.
bool PreviewError::Truncated() const { return found.compare(0, 13, "end of stream") == 0; }

bool CPreviewDecoder::Decode(const uint8_t* data, size_t size) {
    m_Commands.clear();
    m_Pages.clear();
    m_Spans.clear();
    m_Open = CPreviewPage();
    m_bPageOpen = false;
    m_bLastOpenEnded = false;
    m_Error = PreviewError();
    m_pStatus = StatusProtocol::ForLanguage(Language());
    CByteReader in(data, size);
    if (size == 0)
        return Fail(0, std::string("a ") + Language() + " stream", "an empty input");
    m_pIn = &in;
    const bool ok = Parse(in);
    m_pIn = nullptr;
    return ok;
}

CPreviewPage& CPreviewDecoder::Page() {
    if (!m_bPageOpen) {
        m_Open = CPreviewPage();
        m_iOpenBegin = m_pIn ? m_pIn->Offset() : 0;
        m_bPageOpen = true;
    }
    return m_Open;
}

void CPreviewDecoder::EndPage() {
    if (m_bPageOpen) {
        m_Pages.push_back(std::move(m_Open));
        m_Spans.emplace_back(m_iOpenBegin, m_pIn ? m_pIn->Offset() : 0);
    }
    m_Open = CPreviewPage();
    m_bPageOpen = false;
}

void CPreviewDecoder::EndLastPage() {
    m_bLastOpenEnded = m_bPageOpen;
    EndPage();
}

bool CPreviewDecoder::StatusQuery(CByteReader& in, bool& found) {
    found = false;
    if (!m_pStatus)
        return true;
    bool partial = false;
    const StatusProtocol::Query* query = m_pStatus->Match(in.Here(), in.Remaining(), &partial);
    if (!query)
        return !partial || Fail(in.Offset(), "the rest of a status query", "end of stream");
    found = true;
    Command(in.Offset(), std::string("status query ") + query->name);
    in.Skip(query->request.size());
    return true;
}

bool CPreviewDecoder::Fail(size_t offset, const std::string& expected, const std::string& found) {
    m_Error.offset = offset;
    m_Error.expected = expected;
    m_Error.found = found;
    return false;
}

bool CPreviewDecoder::Need(const CByteReader& in, size_t n, const std::string& what) {
    if (in.Remaining() >= n)
        return true;
    return Fail(in.Offset(), what,
                "end of stream" + (in.AtEnd() ? std::string() : " after " + std::to_string(in.Remaining()) + " bytes"));
}

bool CPreviewDecoder::PageTooLarge(size_t offset, int width, int height) {
    return Fail(offset, "a page of at most " + std::to_string(CPreviewPage::kMaxBytes) + " bytes",
                "an image reaching " + std::to_string(width) + " x " + std::to_string(height) + " dots");
}
