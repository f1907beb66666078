#pragma once

// Growable byte buffer in which page raster lines and printer command
// streams are assembled before they are spooled.
//
// Storage at least doubles when an append needs more, so that many small
// appends stay linear. A ceiling (100 MiB by default, 0 or less for none)
// bounds growth: an append that would carry the
// content past it throws the earlier content away instead of growing. The
// owner learns of such a loss through ContentLost(), so that it never sends a
// stream that silently lost its beginning.
namespace NS_KT_CLASS {

class CMyBuffer {
public:
    static const int kDefaultMaxBufferSize = 104857600;

    CMyBuffer();
    virtual ~CMyBuffer();

    CMyBuffer(const CMyBuffer&) = delete;
    CMyBuffer& operator=(const CMyBuffer&) = delete;

    unsigned char* GetBuffer() { return m_pBuffer; }
    const unsigned char* GetBuffer() const { return m_pBuffer; }
    int GetBufferLength() const { return m_iLength; }
    // Capacity of the storage; lets a caller check that a reservation held.
    int GetBufferSize() const { return m_iBufferSize; }

    void SetMaxBufferSize(int size) { m_iMaxBufferSize = size; }
    // Reserves at least `size` bytes; never shrinks, never touches the content.
    void SetBufferSize(int size);
    // length < 1: empty content. Otherwise the content becomes `length` zero
    // bytes. Clears the content-lost mark.
    void InitBuffer(int length);

    void AddBuffer(const void* data, int length);
    void AddByte(unsigned char value) { AddBuffer(&value, 1); }
    void AddStringA(const char* text);
    void AddInt(int value);

    // True when the ceiling (or a failed allocation) discarded content or
    // refused a piece since the last InitBuffer.
    bool ContentLost() const { return m_bContentLost; }

private:
    bool Grow(long long size);
    long long Enlarged(long long needed) const;

    int m_iLength = 0;
    unsigned char* m_pBuffer = nullptr;
    int m_iBufferSize = 0;
    int m_iMaxBufferSize = 0;
    bool m_bContentLost = false;
};

}  // namespace NS_KT_CLASS
