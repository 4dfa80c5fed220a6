#pragma once
// A two-dimensional array indexed (x, y) with inclusive bounds chosen at creation, stored row
// by row (x fastest), all elements zero when created.
//
// Large storage is taken from and given back to the block cache (core/block_cache.h); fresh
// storage comes zeroed from the system, so an array that is created but never written costs
// nothing.

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "core/block_cache.h"

namespace orv::core {

template <typename T>
class Array2D {
    static_assert(std::is_trivially_copyable_v<T>, "Array2D holds plain numbers");

public:
    Array2D() = default;
    ~Array2D() { release(); }
    Array2D(const Array2D& other) { *this = other; }
    Array2D& operator=(const Array2D& other) {
        if (this == &other) return *this;
        create(other.xLo_, other.xHi(), other.yLo_, other.yHi(), false);
        std::copy(other.data_, other.data_ + size(), data_);
        return *this;
    }
    Array2D(Array2D&& other) noexcept { swap(other); }
    Array2D& operator=(Array2D&& other) noexcept {
        Array2D moved(std::move(other));
        swap(moved);
        return *this;
    }

    // Creates (x = xLo..xHi, y = yLo..yHi), all zero (or, when `zeroed` is false, with contents
    // the caller is about to overwrite). Throws std::bad_alloc when memory runs out.
    void create(int xLo, int xHi, int yLo, int yHi, bool zeroed = true) {
        release();
        if (xHi < xLo || yHi < yLo) return;
        const size_t n = static_cast<size_t>(xHi - xLo + 1) * static_cast<size_t>(yHi - yLo + 1);
        data_ = static_cast<T*>(acquireBlock(n * sizeof(T), zeroed));
        xLo_ = xLo;
        yLo_ = yLo;
        width_ = xHi - xLo + 1;
        height_ = yHi - yLo + 1;
    }
    void release() {
        releaseBlock(data_, bytes());
        data_ = nullptr;
        width_ = height_ = 0;
    }

    bool empty() const { return size() == 0; }
    int xLo() const { return xLo_; }
    int yLo() const { return yLo_; }
    int xHi() const { return xLo_ + width_ - 1; }
    int yHi() const { return yLo_ + height_ - 1; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool contains(int x, int y) const {
        return x >= xLo_ && y >= yLo_ && x < xLo_ + width_ && y < yLo_ + height_;
    }

    // Element (x, y), which must lie inside the bounds (checked in debug builds).
    T& operator()(int x, int y) { return data_[index(x, y)]; }
    const T& operator()(int x, int y) const { return data_[index(x, y)]; }
    // Pointer to element (x, y); the row continues to the right.
    T* at(int x, int y) { return data_ + index(x, y); }
    const T* at(int x, int y) const { return data_ + index(x, y); }
    // Distance between (x, y) and (x, y + 1).
    size_t stride() const { return static_cast<size_t>(width_); }
    size_t size() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }
    size_t bytes() const { return size() * sizeof(T); }

private:
    void swap(Array2D& o) noexcept {
        std::swap(xLo_, o.xLo_);
        std::swap(yLo_, o.yLo_);
        std::swap(width_, o.width_);
        std::swap(height_, o.height_);
        std::swap(data_, o.data_);
    }

    size_t index(int x, int y) const {
        assert(contains(x, y));
        return static_cast<size_t>(y - yLo_) * width_ + static_cast<size_t>(x - xLo_);
    }

    int xLo_ = 0, yLo_ = 0, width_ = 0, height_ = 0;
    T* data_ = nullptr;
};

}  // namespace orv::core
