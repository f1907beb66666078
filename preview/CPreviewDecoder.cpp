#include "preview/CPreviewDecoder.h"

std::string PreviewError::Message() const {
    return "byte " + std::to_string(offset) + ": expected " + expected + ", found " + found;
}

bool CPreviewDecoder::Decode(const uint8_t* data, size_t size) {
    m_Commands.clear();
    m_Pages.clear();
    m_Open = CPreviewPage();
    m_bPageOpen = false;
    m_Error = PreviewError();
    CByteReader in(data, size);
    if (size == 0)
        return Fail(0, std::string("a ") + Language() + " stream", "an empty input");
    return Parse(in);
}

CPreviewPage& CPreviewDecoder::Page() {
    if (!m_bPageOpen) {
        m_Open = CPreviewPage();
        m_bPageOpen = true;
    }
    return m_Open;
}

void CPreviewDecoder::EndPage() {
    if (m_bPageOpen)
        m_Pages.push_back(std::move(m_Open));
    m_Open = CPreviewPage();
    m_bPageOpen = false;
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
