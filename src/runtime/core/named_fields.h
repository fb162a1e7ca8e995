// Building a fixed table's rows by named field in C++17, which has no
// designated initialisers: each setter returns a copy with one field changed.
#pragma once

namespace kci {

template <class Row, class Field>
constexpr Row WithField(Row row, Field Row::*field, Field value) {
    row.*field = value;
    return row;
}

}  // namespace kci
