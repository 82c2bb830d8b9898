// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "ui/chart_points.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace lumas::ui {

namespace {

void widen(YExtent& extent, const YExtent& other) {
    extent.min = std::min(extent.min, other.min);
    extent.max = std::max(extent.max, other.max);
}

constexpr YExtent kNoExtent{std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()};

}  // namespace

bool ChartPoints::append(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) {
        return false;
    }
    if (size_ > 0) {
        x = std::max(x, xAt(size_ - 1));
    }
    if (size_ % kChunkPoints == 0) {
        chunks_.push_back(std::make_unique_for_overwrite<Chunk>());
    }
    Chunk& chunk = *chunks_.back();
    const auto value = static_cast<float>(y);
    chunk.x[size_ % kChunkPoints] = x;
    chunk.y[size_ % kChunkPoints] = value;
    ++size_;
    addToExtents(value);
    if (size_ == 1) {
        all_ = {value, value};
    } else {
        widen(all_, {value, value});
    }
    return true;
}

// Carries the new point's value up the tree: into the running extent of its block and, each time
// a block is complete, into the level above.
void ChartPoints::addToExtents(float y) {
    YExtent item{y, y};
    std::size_t itemsAtLevel = size_;  // points for level 0, complete entries below otherwise
    for (std::size_t level = 0;; ++level) {
        if (level == pending_.size()) {
            pending_.push_back(item);
            extents_.emplace_back();
        } else if (itemsAtLevel % kFanOut == 1) {
            pending_[level] = item;
        } else {
            widen(pending_[level], item);
        }
        if (itemsAtLevel % kFanOut != 0) {
            return;
        }
        extents_[level].push_back(pending_[level]);
        item = pending_[level];
        itemsAtLevel = extents_[level].size();
    }
}

void ChartPoints::appendGap() {
    if (size_ > 0 && (gaps_.empty() || gaps_.back() != size_)) {
        gaps_.push_back(size_);
    }
}

bool ChartPoints::gapBefore(std::size_t index) const {
    return std::binary_search(gaps_.begin(), gaps_.end(), index);
}

void ChartPoints::clear() {
    *this = ChartPoints();  // gives the memory back
}

ChartPoint ChartPoints::at(std::size_t index) const {
    return {xAt(index), yAt(index)};
}

double ChartPoints::xAt(std::size_t index) const {
    return chunks_[index / kChunkPoints]->x[index % kChunkPoints];
}

float ChartPoints::yAt(std::size_t index) const {
    return chunks_[index / kChunkPoints]->y[index % kChunkPoints];
}

std::optional<YExtent> ChartPoints::yExtent() const {
    if (size_ == 0) {
        return std::nullopt;
    }
    return all_;
}

// Walks up the tree: at each level the ragged ends of the range are read one by one and the
// whole blocks between them are left to the level above, so no level reads more than
// 2 · (kFanOut - 1) items.
YExtent ChartPoints::yExtent(std::size_t begin, std::size_t end) const {
    YExtent result = kNoExtent;
    const auto read = [&](std::size_t level, std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            if (level == 0) {
                const float y = yAt(i);
                widen(result, {y, y});
            } else {
                widen(result, extents_[level - 1][i]);
            }
        }
    };
    // Level 0 is the points themselves, level k + 1 is extents_[k].
    for (std::size_t level = 0;; ++level) {
        const std::size_t wholeBegin = (begin + kFanOut - 1) / kFanOut;
        const std::size_t wholeEnd = end / kFanOut;
        if (wholeBegin >= wholeEnd || level >= extents_.size()) {
            read(level, begin, end);
            return result;
        }
        read(level, begin, wholeBegin * kFanOut);
        read(level, wholeEnd * kFanOut, end);
        begin = wholeBegin;
        end = wholeEnd;
    }
}

std::size_t ChartPoints::firstFrom(std::size_t from, double x, bool orAt) const {
    std::size_t high = size_;
    while (from < high) {
        const std::size_t middle = from + (high - from) / 2;
        const double pointX = xAt(middle);
        if (pointX > x || (orAt && pointX == x)) {
            high = middle;
        } else {
            from = middle + 1;
        }
    }
    return from;
}

std::size_t ChartPoints::lowerBound(double x) const {
    return firstFrom(0, x, true);
}

std::size_t ChartPoints::upperBound(double x) const {
    return firstFrom(0, x, false);
}

std::vector<ColumnSummary> ChartPoints::decimate(double x0, double x1, int columns) const {
    std::vector<ColumnSummary> summaries;
    if (columns < 1 || !(x0 <= x1) || size_ == 0) {
        return summaries;
    }
    const double columnWidth = (x1 - x0) / columns;
    std::size_t begin = lowerBound(x0);
    const std::size_t end = firstFrom(begin, x1, false);
    for (int column = 0; column < columns && begin < end; ++column) {
        std::size_t columnEnd = end;
        if (column + 1 < columns) {
            columnEnd = std::min(end, firstFrom(begin, x0 + (column + 1) * columnWidth, true));
        }
        if (columnEnd > begin) {
            const YExtent extent = yExtent(begin, columnEnd);
            summaries.push_back(
                {at(begin), at(columnEnd - 1), extent.min, extent.max, begin, columnEnd - 1});
            begin = columnEnd;
        }
    }
    return summaries;
}

std::size_t ChartPoints::bytesUsed() const {
    std::size_t bytes = chunks_.size() * sizeof(Chunk) + chunks_.capacity() * sizeof(chunks_[0]) +
                        pending_.capacity() * sizeof(YExtent) +
                        gaps_.capacity() * sizeof(std::size_t) +
                        extents_.capacity() * sizeof(std::vector<YExtent>);
    for (const std::vector<YExtent>& level : extents_) {
        bytes += level.capacity() * sizeof(YExtent);
    }
    return bytes;
}

}  // namespace lumas::ui
