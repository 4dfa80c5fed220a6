#pragma once
// A two-dimensional array indexed (x, y) with inclusive bounds chosen at creation, stored row
// by row (x fastest), all elements zero when created.

#include <cstddef>
#include <vector>

namespace orv::core {

template <typename T>
class Array2D {
public:
    // Creates (x = xLo..xHi, y = yLo..yHi), all zero.
    void create(int xLo, int xHi, int yLo, int yHi) {
        xLo_ = xLo;
        yLo_ = yLo;
        width_ = xHi - xLo + 1;
        height_ = yHi - yLo + 1;
        if (width_ <= 0 || height_ <= 0) width_ = height_ = 0;
        data_.assign(static_cast<size_t>(width_) * height_, T{});
    }
    void release() {
        data_.clear();
        data_.shrink_to_fit();
        width_ = height_ = 0;
    }

    bool empty() const { return data_.empty(); }
    int xLo() const { return xLo_; }
    int yLo() const { return yLo_; }
    int xHi() const { return xLo_ + width_ - 1; }
    int yHi() const { return yLo_ + height_ - 1; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool contains(int x, int y) const {
        return x >= xLo_ && y >= yLo_ && x < xLo_ + width_ && y < yLo_ + height_;
    }

    T& operator()(int x, int y) { return data_[index(x, y)]; }
    const T& operator()(int x, int y) const { return data_[index(x, y)]; }
    // Pointer to element (x, y); the row continues to the right.
    T* at(int x, int y) { return data_.data() + index(x, y); }
    const T* at(int x, int y) const { return data_.data() + index(x, y); }
    // Distance between (x, y) and (x, y + 1).
    size_t stride() const { return static_cast<size_t>(width_); }
    size_t bytes() const { return data_.size() * sizeof(T); }

private:
    size_t index(int x, int y) const {
        return static_cast<size_t>(y - yLo_) * width_ + static_cast<size_t>(x - xLo_);
    }

    int xLo_ = 0, yLo_ = 0, width_ = 0, height_ = 0;
    std::vector<T> data_;
};

}  // namespace orv::core
