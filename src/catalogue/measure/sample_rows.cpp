#include "catalogue/measure/sample_rows.h"

#include <cmath>
#include <variant>

namespace orv::catalogue::measure {

namespace {

class LevelRows : public SampleRows {
public:
    LevelRows(const core::PixelPlanes& pixels, int width, int height)
        : pixels_(pixels), width_(width), height_(height) {}
    int width() const override { return width_; }
    int height() const override { return height_; }
    core::Result<void> read(int y, float* out) override {
        const uint8_t* level = pixels_.levelPlane().at(1, y + 1);
        for (int x = 0; x < width_; ++x) out[x] = level[x];
        return {};
    }
    bool wholeLevels() const override { return true; }
    bool concurrentReads() const override { return true; }

private:
    const core::PixelPlanes& pixels_;
    int width_, height_;
};

class FitsSampleRows : public SampleRows {
public:
    explicit FitsSampleRows(formats::FitsRows rows) : rows_(std::move(rows)) {}
    int width() const override { return rows_.facts().width; }
    int height() const override { return rows_.facts().height; }
    core::Result<void> read(int y, float* out) override { return rows_.read(y, out); }

private:
    formats::FitsRows rows_;
};

class DeepRows : public SampleRows {
public:
    DeepRows(std::shared_ptr<const form::DeepSamples> samples, int channel)
        : d_(std::move(samples)), channel_(channel) {}
    int width() const override { return d_->width; }
    int height() const override { return d_->height; }
    core::Result<void> read(int y, float* out) override {
        const size_t w = static_cast<size_t>(d_->width), plane = w * d_->height;
        std::visit(
            [&](const auto& v) {
                auto value = [&](int p, size_t x) {
                    const double s = static_cast<double>(v[p * plane + y * w + x]);
                    return d_->offset + d_->scale * s;
                };
                for (size_t x = 0; x < w; ++x) {
                    double s;
                    if (d_->channels < 3)
                        s = value(0, x);
                    else if (channel_ == core::kChannelY)
                        s = 0.30 * value(0, x) + 0.59 * value(1, x) + 0.11 * value(2, x);
                    else
                        s = value(channel_, x);
                    out[x] = std::isfinite(s) ? static_cast<float>(s) : NAN;
                }
            },
            d_->samples);
        return {};
    }
    bool concurrentReads() const override { return true; }

private:
    std::shared_ptr<const form::DeepSamples> d_;
    int channel_;
};

}  // namespace

std::unique_ptr<SampleRows> levelRows(const core::PixelPlanes& pixels, int width, int height) {
    return std::make_unique<LevelRows>(pixels, width, height);
}

std::unique_ptr<SampleRows> fitsRows(formats::FitsRows rows) {
    return std::make_unique<FitsSampleRows>(std::move(rows));
}

std::unique_ptr<SampleRows> deepRows(std::shared_ptr<const form::DeepSamples> samples,
                                     int channel) {
    return std::make_unique<DeepRows>(std::move(samples), channel);
}

const float* RowCache::readRow(int y) {
    std::vector<float>& r = cache_[static_cast<size_t>(y)];
    r.resize(static_cast<size_t>(width_));
    if (auto read = rows_.read(y, r.data()); !read) {
        if (error_.empty()) error_ = read.error();
        r.clear();
        return nullptr;
    }
    heldBytes_ += r.size() * sizeof(float);
    peakBytes_ = std::max(peakBytes_, heldBytes_);
    lowest_ = std::min(lowest_, y);
    return r.data();
}

void RowCache::forgetAbove(int y) {
    for (; lowest_ < y && lowest_ < height(); ++lowest_) {
        std::vector<float>& r = cache_[static_cast<size_t>(lowest_)];
        heldBytes_ -= r.size() * sizeof(float);
        std::vector<float>().swap(r);
    }
}

}  // namespace orv::catalogue::measure
