#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Splits a ZPL byte stream into commands, in pieces of any size: a command
// is complete when the next one starts (or, for ^GF's binary data, when its
// byte count is read), so a partial one waits for the next piece. Line ends
// between and inside commands are dropped, as printers do; binary graphic
// data is kept as it is.
namespace zpl {

struct ZplCommand {
    char prefix = '^';       // '^' for format commands, '~' for control ones, whatever ^CC / ^CT made them
    std::string name;        // upper case: "FO", "XA", and for ^A the font too: "A0", "AD", "A@"
    std::string params;      // the text after the name; for ^FD / ^FV / ^FX the data
    bool truncated = false;  // longer than the reader keeps: `params` holds only the start
    size_t offset = 0;       // where its prefix is in the stream, counted from the reader's first byte
};

class ZplReader {
public:
    using CommandSink = std::function<void(const ZplCommand&)>;
    // Commands longer than `maxParamBytes` are cut there (and marked).
    explicit ZplReader(size_t maxParamBytes) : m_MaxParamBytes(maxParamBytes) {}

    void Feed(const char* data, size_t size, const CommandSink& sink);
    // End of stream: the command still open is complete.
    void Finish(const CommandSink& sink);

    char Delimiter() const { return m_Delimiter; }
    // The bytes fed so far.
    size_t Fed() const { return m_Fed; }

private:
    enum class Phase { Between, Name, Params, Binary };
    void Start(char prefix, size_t offset);
    void Complete(const CommandSink& sink);
    bool NameComplete() const;
    bool EndsAt(char c) const;
    void CheckBinaryStart();

    size_t m_MaxParamBytes;
    char m_Format = '^', m_Control = '~', m_Delimiter = ',';
    Phase m_Phase = Phase::Between;
    ZplCommand m_Command;
    size_t m_Delimiters = 0;  // in ^GF's parameters so far
    size_t m_BinaryLeft = 0;  // ^GF B / C data bytes still to read
    size_t m_Fed = 0;
};

}  // namespace zpl
