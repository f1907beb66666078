#pragma once

#include <string>
#include <vector>

// A command's parameters as the label writes them: separated by the
// delimiter, each possibly empty (keep the default), numbers possibly
// fractional or with stray letters before them (`^FOB50,660`).
namespace zpl {

class ZplParams {
public:
    // At most `maxItems` items: the last keeps the rest, delimiters included.
    ZplParams(const std::string& text, char delimiter, size_t maxItems = size_t(-1));

    size_t Size() const { return m_Items.size(); }
    bool Has(size_t i) const;  // given and not blank
    const std::string& Text(size_t i) const;
    // The item as a number (rounded for Int), `fallback` when absent or not a number.
    double Number(size_t i, double fallback) const;
    int Int(size_t i, int fallback) const;
    // A count (bytes, rows) cut to its whole part and clamped like Int: a
    // count too large for any limit stays too large, and never overflows.
    long Count(size_t i) const;
    // The item's first character in upper case, `fallback` when absent.
    char Letter(size_t i, char fallback) const;

private:
    std::vector<std::string> m_Items;
};

// A stored graphic's or format's name as the label writes it ("R:LOGO.GRF")
// reduced to what tells it apart ("LOGO").
std::string StoredName(std::string name);

// The number in `text` after any stray non-digits; false when none.
bool ParseNumber(const std::string& text, double& value);

}  // namespace zpl
