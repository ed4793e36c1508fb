// Arrays: 1-based, one dimension. An index below 1 is runtime error 4, an index past the
// end runtime error 1; both end the program through the fatal report.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "runtime/fatal.h"

namespace wavlon::runtime {

template <class T>
class Array {
public:
    Array() = default;
    Array(std::initializer_list<T> items) : m_items(items) {}
    explicit Array(std::vector<T> items) : m_items(std::move(items)) {}

    T& at(std::int64_t index) { return m_items[checked(index)]; }
    const T& at(std::int64_t index) const { return m_items[checked(index)]; }

    std::int32_t size() const { return static_cast<std::int32_t>(m_items.size()); }
    bool empty() const { return m_items.empty(); }
    void append(T item) { m_items.push_back(std::move(item)); }
    void clear() { m_items.clear(); }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }
    const std::vector<T>& items() const { return m_items; }

    friend bool operator==(const Array&, const Array&) = default;

private:
    std::size_t checked(std::int64_t index) const {
        if (index < 1) {
            report_runtime_error(4);
        }
        if (index > static_cast<std::int64_t>(m_items.size())) {
            report_runtime_error(1);
        }
        return static_cast<std::size_t>(index - 1);
    }

    std::vector<T> m_items;
};

}  // namespace wavlon::runtime
