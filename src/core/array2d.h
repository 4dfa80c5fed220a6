#pragma once
// A two-dimensional array indexed (x, y) with inclusive bounds chosen at creation, stored row
// by row (x fastest), all elements zero when created.
//
// The storage comes zeroed from the system (calloc), so creating a picture-sized array costs
// nothing until its pages are written, and large arrays ask for huge pages.

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>

namespace orv::core {

template <typename T>
class Array2D {
    static_assert(std::is_trivially_copyable_v<T>, "Array2D holds plain numbers");

public:
    Array2D() = default;
    Array2D(const Array2D& other) { *this = other; }
    Array2D& operator=(const Array2D& other) {
        if (this == &other) return *this;
        create(other.xLo_, other.xHi(), other.yLo_, other.yHi());
        if (size() > 0) std::copy(other.data_.get(), other.data_.get() + size(), data_.get());
        return *this;
    }
    Array2D(Array2D&&) noexcept = default;
    Array2D& operator=(Array2D&&) noexcept = default;

    // Creates (x = xLo..xHi, y = yLo..yHi), all zero. Throws std::bad_alloc when memory runs out.
    void create(int xLo, int xHi, int yLo, int yHi) {
        release();
        xLo_ = xLo;
        yLo_ = yLo;
        width_ = xHi - xLo + 1;
        height_ = yHi - yLo + 1;
        if (width_ <= 0 || height_ <= 0) {
            width_ = height_ = 0;
            return;
        }
        void* p = std::calloc(size(), sizeof(T));
        if (p == nullptr) {
            width_ = height_ = 0;
            throw std::bad_alloc();
        }
        if (bytes() >= (8u << 20)) madvise(p, bytes(), MADV_HUGEPAGE);  // a hint; may be ignored
        data_.reset(static_cast<T*>(p));
    }
    void release() {
        data_.reset();
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

    T& operator()(int x, int y) { return data_[index(x, y)]; }
    const T& operator()(int x, int y) const { return data_[index(x, y)]; }
    // Pointer to element (x, y); the row continues to the right.
    T* at(int x, int y) { return data_.get() + index(x, y); }
    const T* at(int x, int y) const { return data_.get() + index(x, y); }
    // Distance between (x, y) and (x, y + 1).
    size_t stride() const { return static_cast<size_t>(width_); }
    size_t size() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }
    size_t bytes() const { return size() * sizeof(T); }

private:
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };

    size_t index(int x, int y) const {
        return static_cast<size_t>(y - yLo_) * width_ + static_cast<size_t>(x - xLo_);
    }

    int xLo_ = 0, yLo_ = 0, width_ = 0, height_ = 0;
    std::unique_ptr<T[], Free> data_;
};

}  // namespace orv::core
