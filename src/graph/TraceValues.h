#pragma once

#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <vector>

namespace corvane {

// The values of one trace: a contiguous array that can also let go of its
// oldest values in constant time. A live trace keeps the newest points of a
// ring of 25000; moving 25000 values down for every new sample would cost
// more than everything else the sample does.
class TraceValues {
public:
    using value_type = double;
    using size_type = std::size_t;
    using const_iterator = const double*;
    using iterator = double*;

    TraceValues() = default;
    TraceValues(std::initializer_list<double> values) : data_(values) {}

    [[nodiscard]] std::size_t size() const { return data_.size() - first_; }
    [[nodiscard]] bool empty() const { return size() == 0; }

    [[nodiscard]] const double* data() const { return data_.data() + first_; }
    [[nodiscard]] double* data() { return data_.data() + first_; }
    [[nodiscard]] const double* begin() const { return data(); }
    [[nodiscard]] const double* end() const { return data_.data() + data_.size(); }
    [[nodiscard]] double* begin() { return data(); }
    [[nodiscard]] double* end() { return data_.data() + data_.size(); }

    [[nodiscard]] double operator[](std::size_t i) const { return data_[first_ + i]; }
    [[nodiscard]] double& operator[](std::size_t i) { return data_[first_ + i]; }
    [[nodiscard]] double at(std::size_t i) const {
        if (i >= size()) {
            throw std::out_of_range("TraceValues::at");
        }
        return (*this)[i];
    }
    [[nodiscard]] double front() const { return (*this)[0]; }
    [[nodiscard]] double back() const { return data_.back(); }

    // Replaces the values; the storage is kept, so a trace of steady length
    // costs no allocation.
    void assign(const double* from, const double* to) {
        first_ = 0;
        data_.assign(from, to);
    }
    void append(const double* from, const double* to) {
        compactFor(static_cast<std::size_t>(to - from));
        data_.insert(data_.end(), from, to);
    }
    void push_back(double value) { append(&value, &value + 1); }
    // Forgets the n oldest values (all of them when n is larger).
    void dropFront(std::size_t n) {
        first_ += n < size() ? n : size();
        if (first_ == data_.size()) {
            clear();
        }
    }
    void clear() {
        first_ = 0;
        data_.clear();
    }

private:
    // The dropped values are reclaimed once they are at least as many as the
    // values held, before the storage would grow: each value is moved down
    // at most once for every value dropped, so a drop costs constant time on
    // average.
    void compactFor(std::size_t adding) {
        if (first_ == 0 || data_.size() + adding <= data_.capacity() || first_ < size()) {
            return;
        }
        data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(first_));
        first_ = 0;
    }

    std::vector<double> data_;
    std::size_t first_ = 0;
};

}  // namespace corvane
