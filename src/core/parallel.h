#pragma once
// Work inside one picture shared by a few threads, in parts whose results do not depend on how
// many there are: each part is a run of consecutive indices, and the caller combines the parts'
// results in part order (or in a way that does not depend on order, such as integer counts).

#include <algorithm>
#include <cstdint>
#include <exception>
#include <thread>
#include <vector>

namespace orv::core {

// The number of threads a picture's work may use: `setting` when it is above 0, else the
// number of cores.
inline int pictureWorkers(int setting) {
    if (setting > 0) return setting;
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// The first index of part k of `parts` over [0, count).
inline int64_t partBegin(int64_t count, int parts, int k) {
    return count * k / parts;
}

// The parts forEachPart cuts [0, count) into when asked for `parts`: at least one, at most one
// for each element.
inline int partsOf(int64_t count, int parts) {
    return static_cast<int>(std::clamp<int64_t>(count, 1, std::max(parts, 1)));
}

// Calls body(k, begin, end) for parts k = 0 .. parts-1 of [0, count), part 0 on the calling
// thread (so that only it pumps the event queue or shows progress) and the others on threads of
// their own; returns when all are done. An exception of any part is thrown again here (the first
// by part order) after all have ended.
template <typename Body>
void forEachPart(int parts, int64_t count, Body&& body) {
    parts = partsOf(count, parts);
    if (parts == 1) {
        body(0, int64_t{0}, count);
        return;
    }
    std::vector<std::exception_ptr> failed(static_cast<size_t>(parts));
    auto run = [&](int k) {
        try {
            body(k, partBegin(count, parts, k), partBegin(count, parts, k + 1));
        } catch (...) {
            failed[static_cast<size_t>(k)] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(parts) - 1);
    for (int k = 1; k < parts; ++k) threads.emplace_back(run, k);
    run(0);
    for (auto& t : threads) t.join();
    for (auto& e : failed)
        if (e) std::rethrow_exception(e);
}

// Lines of text from which making them is worth a second thread.
inline constexpr int64_t kManyLines = 4096;

// f(i) for i = 0 .. count-1, in that order, made in parts as forEachPart makes them: on `parts`
// threads when there are at least `from` of them, else on the calling thread.
template <typename F>
auto collectInParts(int parts, int64_t count, int64_t from, F&& f) {
    std::vector<decltype(f(int64_t{}))> out(static_cast<size_t>(std::max<int64_t>(count, 0)));
    forEachPart(count >= from ? parts : 1, count, [&](int, int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) out[static_cast<size_t>(i)] = f(i);
    });
    return out;
}

}  // namespace orv::core
