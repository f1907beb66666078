#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "preview/CPreviewDecoder.h"

// The quorvant-preview program: reads a printer stream (a file or standard
// input), decodes it strictly, prints one line per command and a summary
// per page, and with --png writes each page as PREFIX-1.png, PREFIX-2.png ...
// Exit status: 0 for a well-formed stream, 1 for a malformed one (with one
// line naming the byte offset, what was expected and what was found), 2 for
// a usage or file error.
class CPreviewTool {
public:
    CPreviewTool(std::FILE* out, std::FILE* err) : m_pOut(out), m_pErr(err) {}

    int Run(int argc, char** argv);

private:
    bool ParseArguments(int argc, char** argv);
    bool ReadInput(std::vector<uint8_t>& data);
    void Report(const CPreviewDecoder& decoder);
    bool WritePages(const CPreviewDecoder& decoder);
    int Usage();

    std::FILE* m_pOut;
    std::FILE* m_pErr;
    std::string m_strPngPrefix, m_strLanguage, m_strFile, m_strSize;
    int m_iDpi = 203;
    bool m_bHelp = false;
};
