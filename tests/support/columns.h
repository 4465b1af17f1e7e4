#pragma once

#include <QTest>

#include <array>
#include <cstddef>

// Declares the columns of a data-driven test's table, a type and a name each, in order:
//
//     addColumns<QString, int>({"input", "count"});
template <typename... Types>
void addColumns(const std::array<const char*, sizeof...(Types)>& names) {
    std::size_t i = 0;
    (QTest::addColumn<Types>(names[i++]), ...);
}
