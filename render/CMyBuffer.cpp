#include "render/CMyBuffer.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace NS_KT_CLASS {

CMyBuffer::CMyBuffer() : m_iMaxBufferSize(kDefaultMaxBufferSize) {
    SetBufferSize(1024);
    InitBuffer(0);
}

CMyBuffer::~CMyBuffer() {
    std::free(m_pBuffer);
    m_pBuffer = nullptr;
    m_iLength = 0;
    m_iBufferSize = 0;
    m_iMaxBufferSize = 0;
}

bool CMyBuffer::Grow(long long size) {
    if (size <= m_iBufferSize && m_pBuffer)
        return true;
    if (size > INT_MAX)
        return false;
    void* p = std::realloc(m_pBuffer, size > 0 ? static_cast<size_t>(size) : 1);
    if (!p)
        return false;
    m_pBuffer = static_cast<unsigned char*>(p);
    m_iBufferSize = static_cast<int>(size);
    return true;
}

long long CMyBuffer::Enlarged(long long needed) const {
    // Doubling keeps many small appends linear; the ceiling, when set, also
    // caps the capacity an append asks for (an explicit reservation may go
    // beyond it).
    long long size = std::max<long long>(needed, 2LL * m_iBufferSize);
    if (m_iMaxBufferSize > 0)
        size = std::min<long long>(size, std::max<long long>(needed, m_iMaxBufferSize));
    if (size > INT_MAX)
        size = std::max<long long>(needed, INT_MAX);
    return size;
}

void CMyBuffer::SetBufferSize(int size) {
    if (!Grow(size))
        m_bContentLost = true;
}

void CMyBuffer::InitBuffer(int length) {
    m_bContentLost = false;
    if (length >= 1 && !Grow(length)) {
        // The reservation failed: the content cannot be `length` bytes.
        m_bContentLost = true;
        length = 0;
    }
    m_iLength = length < 1 ? 0 : length;
    // Only the content is cleared: the capacity never shrinks, and clearing
    // all of it would make every page after a long one pay for that one.
    if (m_iLength > 0)
        std::memset(m_pBuffer, 0, static_cast<size_t>(m_iLength));
}

void CMyBuffer::AddBuffer(const void* data, int length) {
    if (length <= 0)
        return;
    long long needed = static_cast<long long>(m_iLength) + length;
    if (m_iBufferSize < needed) {
        if (m_iMaxBufferSize > 0 && needed > m_iMaxBufferSize) {
            InitBuffer(0);
            m_bContentLost = true;
            needed = length;
        }
        // A piece larger than the whole storage after a discard still gets
        // room: the content then holds exactly that piece.
        if (!Grow(Enlarged(needed))) {
            m_bContentLost = true;
            return;
        }
    }
    std::memcpy(m_pBuffer + m_iLength, data, static_cast<size_t>(length));
    m_iLength += length;
}

void CMyBuffer::AddStringA(const char* text) { AddBuffer(text, static_cast<int>(std::strlen(text))); }

void CMyBuffer::AddInt(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    AddStringA(text);
}

}  // namespace NS_KT_CLASS
