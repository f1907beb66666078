#pragma once

#include <cstring>

// The enum fields of a page header come straight from the stream and may hold
// any value, which an enum type cannot: they are read as the integers they are.
template <typename Field>
int HeaderNumber(const Field& field) {
    int value;
    static_assert(sizeof field == sizeof value, "an enum field of the page header");
    std::memcpy(&value, &field, sizeof value);
    return value;
}
