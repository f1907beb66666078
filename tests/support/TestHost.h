#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "filter/CCupsRender.h"
#include "support/TestFiles.h"

namespace testing_support {

// Wraps a renderer so that its spooled bytes, log lines and error reports
// are captured instead of going to standard output, syslog and stderr.
template <class Base>
class CaptureHost : public Base {
public:
    int WriteSpool(const void* data, int length) override {
        if (length < 1)
            return 0;
        const uint8_t* p = static_cast<const uint8_t*>(data);
        writes.emplace_back(p, p + length);
        spooled.insert(spooled.end(), p, p + length);
        return length;
    }

    void AddLog(const char* format, ...) override {
        va_list args;
        va_start(args, format);
        logs.push_back(Format(format, args));
        va_end(args);
    }

    void ReportError(const char* format, ...) override {
        va_list args;
        va_start(args, format);
        errors.push_back(Format(format, args));
        va_end(args);
    }

    // A prepared 1-bit page: `rows` top first, each `widthBytes` long; the
    // row tails beyond them are filled white as the pipeline leaves them.
    void SetPage(unsigned width, unsigned height, const Bytes& packed, int dpi = 203) {
        unsigned bpl = (width + 7) / 8;
        this->m_Image.CreateFromArray(const_cast<uint8_t*>(packed.data()), width, height, 1, bpl, false);
        this->m_iDpi = dpi;
        this->AdjustEffWidthBits();
    }

    Bytes spooled;
    std::vector<Bytes> writes;
    std::vector<std::string> logs;
    std::vector<std::string> errors;

private:
    static std::string Format(const char* format, va_list args) {
        char text[2048];
        vsnprintf(text, sizeof text, format, args);
        return text;
    }
};

}  // namespace testing_support
