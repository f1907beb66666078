#include "zpl/ZplReader.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace zpl {

namespace {

// Commands whose single parameter character changes how the stream is read.
bool IsPrefixCommand(const std::string& name) { return name == "CC" || name == "CT" || name == "CD"; }

}  // namespace

void ZplReader::Start(char prefix, size_t offset) {
    m_Command = ZplCommand();
    m_Command.offset = offset;
    m_Command.prefix = prefix == m_Format ? '^' : '~';
    m_Phase = Phase::Name;
    m_Delimiters = 0;
    m_BinaryLeft = 0;
}

bool ZplReader::NameComplete() const {
    // Two characters; for ^A the second is the font's name.
    return m_Command.name.size() >= 2;
}

// Field data ends at either prefix too: the reference viewer drops a ~ and
// what follows from ^FD's text.
bool ZplReader::EndsAt(char c) const { return c == m_Format || c == m_Control; }

void ZplReader::Complete(const CommandSink& sink) {
    if (m_Phase == Phase::Name && m_Command.name.empty()) {
        m_Phase = Phase::Between;
        return;
    }
    m_Phase = Phase::Between;
    const std::string& n = m_Command.name;
    if (IsPrefixCommand(n) && !m_Command.params.empty()) {
        const char c = m_Command.params[0];
        if (n == "CC")
            m_Format = c;
        else if (n == "CT")
            m_Control = c;
        else
            m_Delimiter = c;
    }
    sink(m_Command);
}

// ^GF B / C: after the fourth delimiter come exactly b bytes of binary data.
void ZplReader::CheckBinaryStart() {
    if (m_Command.name != "GF" || ++m_Delimiters != 4)
        return;
    const std::string& p = m_Command.params;
    size_t i = 0;
    while (i < p.size() && p[i] == ' ')
        i++;
    const char format = i < p.size() ? char(std::toupper(static_cast<unsigned char>(p[i]))) : 'A';
    if (format != 'B' && format != 'C')
        return;
    const size_t comma = p.find(m_Delimiter);
    const long count = comma == std::string::npos ? 0 : std::strtol(p.c_str() + comma + 1, nullptr, 10);
    if (count <= 0)
        return;
    m_BinaryLeft = size_t(count);
    m_Phase = Phase::Binary;
}

void ZplReader::Feed(const char* data, size_t size, const CommandSink& sink) {
    for (size_t i = 0; i < size; i++) {
        const char c = data[i];
        switch (m_Phase) {
            case Phase::Binary: {
                // Copied in one go: graphic data can be megabytes.
                const size_t n = std::min(m_BinaryLeft, size - i);
                const size_t room =
                    m_Command.params.size() < m_MaxParamBytes ? m_MaxParamBytes - m_Command.params.size() : 0;
                m_Command.params.append(data + i, std::min(n, room));
                if (n > room)
                    m_Command.truncated = true;
                m_BinaryLeft -= n;
                i += n - 1;
                if (m_BinaryLeft == 0)
                    m_Phase = Phase::Params;
                continue;
            }
            case Phase::Between:
                if (c == m_Format || c == m_Control)
                    Start(c, m_Fed + i);
                continue;
            case Phase::Name:
                if (c == '\r' || c == '\n')
                    continue;
                if (c == m_Format || c == m_Control) {
                    Complete(sink);
                    Start(c, m_Fed + i);
                    continue;
                }
                m_Command.name += char(std::toupper(static_cast<unsigned char>(c)));
                if (NameComplete()) {
                    m_Phase = Phase::Params;
                }
                continue;
            case Phase::Params:
                if (c == '\r' || c == '\n')
                    continue;
                if (IsPrefixCommand(m_Command.name) && m_Command.params.empty()) {
                    // The new prefix may be the old one's character: take it as the parameter.
                    m_Command.params += c;
                    Complete(sink);
                    continue;
                }
                if (EndsAt(c)) {
                    Complete(sink);
                    Start(c, m_Fed + i);
                    continue;
                }
                if (m_Command.params.size() < m_MaxParamBytes)
                    m_Command.params += c;
                else
                    m_Command.truncated = true;
                if (c == m_Delimiter)
                    CheckBinaryStart();
                continue;
        }
    }
    m_Fed += size;
}

void ZplReader::Finish(const CommandSink& sink) {
    if (m_Phase != Phase::Between)
        Complete(sink);
}

}  // namespace zpl
