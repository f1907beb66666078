#include "zpl/ZplParams.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace zpl {

ZplParams::ZplParams(const std::string& text, char delimiter, size_t maxItems) {
    if (text.empty() || maxItems == 0)
        return;
    size_t start = 0;
    while (m_Items.size() + 1 < maxItems) {
        const size_t end = text.find(delimiter, start);
        if (end == std::string::npos)
            break;
        m_Items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    m_Items.push_back(text.substr(start));
}

bool ZplParams::Has(size_t i) const {
    if (i >= m_Items.size())
        return false;
    for (const char c : m_Items[i])
        if (!std::isspace(static_cast<unsigned char>(c)))
            return true;
    return false;
}

const std::string& ZplParams::Text(size_t i) const {
    static const std::string kEmpty;
    return i < m_Items.size() ? m_Items[i] : kEmpty;
}

std::string StoredName(std::string name) {
    const size_t colon = name.find(':');
    if (colon != std::string::npos && colon <= 1)
        name.erase(0, colon + 1);
    const size_t dot = name.find('.');
    if (dot != std::string::npos)
        name.erase(dot);
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
        name.pop_back();
    for (char& c : name)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

bool ParseNumber(const std::string& text, double& value) {
    size_t i = 0;
    while (i < text.size() && !std::isdigit(static_cast<unsigned char>(text[i])) &&
           !((text[i] == '-' || text[i] == '.') && i + 1 < text.size() &&
             std::isdigit(static_cast<unsigned char>(text[i + 1]))))
        i++;
    if (i == text.size())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str() + i, &end);
    return std::isfinite(value);
}

double ZplParams::Number(size_t i, double fallback) const {
    double value;
    return Has(i) && ParseNumber(m_Items[i], value) ? value : fallback;
}

// Clamped: a label's numbers are at most a few thousand; the limits decide.
static double Clamped(double v) {
    const double bound = std::numeric_limits<int>::max() / 4;
    return std::max(-bound, std::min(bound, v));
}

int ZplParams::Int(size_t i, int fallback) const { return int(std::lround(Clamped(Number(i, fallback)))); }

long ZplParams::Count(size_t i) const { return long(Clamped(Number(i, 0))); }

char ZplParams::Letter(size_t i, char fallback) const {
    if (!Has(i))
        return fallback;
    for (const char c : m_Items[i])
        if (!std::isspace(static_cast<unsigned char>(c)))
            return char(std::toupper(static_cast<unsigned char>(c)));
    return fallback;
}

}  // namespace zpl
