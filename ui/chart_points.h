// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace lumas::ui {

struct ChartPoint {
    double x = 0.0;  // minutes
    double y = 0.0;  // °C

    friend bool operator==(const ChartPoint&, const ChartPoint&) = default;
};

// The smallest and largest y of a stretch of points.
struct YExtent {
    float min = 0.0F;
    float max = 0.0F;
};

// The points of one x range that fall into one pixel column, reduced to what a line through them
// shows at that width: where the line enters and leaves the column and how far it reaches, and
// the indices of the column's first and last point.
struct ColumnSummary {
    ChartPoint first;
    ChartPoint last;
    float minY = 0.0F;
    float maxY = 0.0F;
    std::size_t firstIndex = 0;
    std::size_t lastIndex = 0;
};

// The points of one chart series, kept in ascending x order. Appending costs O(1): points live in
// fixed-size chunks that never move, so there is no reallocation spike. x is a double (minutes
// of a run of up to 120 000 minutes need it), y a float (°C, far finer than the read-out's
// 0.1 °C). A tree of y extents over blocks of 64 points, then 64 blocks, and so on answers the
// extent of any index range in O(log n), so reducing a range to pixel columns costs
// O(columns · log n) whatever the number of points. About 12.2 bytes per point in all.
// Gaps (stretches without readings, where no line joins the points) are kept apart as the number
// of points before each, a few bytes per gap.
class ChartPoints {
  public:
    static constexpr std::size_t kChunkPoints = 1024;
    static constexpr std::size_t kFanOut = 64;  // points per level-1 extent, extents per parent

    ChartPoints() = default;
    ChartPoints(const ChartPoints&) = delete;
    ChartPoints& operator=(const ChartPoints&) = delete;
    ChartPoints(ChartPoints&&) noexcept = default;
    ChartPoints& operator=(ChartPoints&&) noexcept = default;
    ~ChartPoints() = default;

    // Adds a point after the others. A point whose x lies before the last point's is kept at the
    // last x, so the order the searches rely on holds; points with a coordinate that is not
    // finite are dropped. Returns whether the point was kept.
    bool append(double x, double y);
    // Marks a gap after the points so far: no line joins the last of them to the next point.
    // Before the first point, or right after another gap, there is nothing to part and the call
    // changes nothing.
    void appendGap();
    // Empties the series, gaps included.
    void clear();

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    ChartPoint at(std::size_t index) const;

    // The extent of all y values; nothing when there are no points.
    std::optional<YExtent> yExtent() const;
    // The extent of the y values of the points [begin, end); requires begin < end <= size().
    YExtent yExtent(std::size_t begin, std::size_t end) const;

    // The index of the first point whose x is not below `x`, or above `x` for upperBound;
    // size() when there is none.
    std::size_t lowerBound(double x) const;
    std::size_t upperBound(double x) const;

    // Whether a gap parts the point at `index` from the one before it (`index` may be size(),
    // for a gap after the last point).
    bool gapBefore(std::size_t index) const;
    // The gaps in ascending order, each as the number of points before it.
    const std::vector<std::size_t>& gaps() const { return gaps_; }

    // Splits [x0, x1] into `columns` equal columns (the last one includes x1) and returns one
    // summary for every column that holds a point, in x order. Nothing for columns < 1 or
    // x1 < x0. When x0 == x1, the points at exactly that x form the one column.
    std::vector<ColumnSummary> decimate(double x0, double x1, int columns) const;

    // Bytes held for the points, their extents and the gaps, for the memory figure.
    std::size_t bytesUsed() const;

  private:
    struct Chunk {
        std::array<double, kChunkPoints> x;
        std::array<float, kChunkPoints> y;
    };

    // The first index in [from, size()) whose point has x beyond `x` (or at it, with `orAt`).
    std::size_t firstFrom(std::size_t from, double x, bool orAt) const;
    double xAt(std::size_t index) const;
    float yAt(std::size_t index) const;
    void addToExtents(float y);

    std::vector<std::unique_ptr<Chunk>> chunks_;
    // extents_[0] holds the extent of each complete block of kFanOut points, extents_[k] that of
    // each complete block of kFanOut entries of extents_[k - 1]. Incomplete blocks have no entry
    // yet; their running extent is in pending_[k].
    std::vector<std::vector<YExtent>> extents_;
    std::vector<YExtent> pending_;
    std::vector<std::size_t> gaps_;
    std::size_t size_ = 0;
    YExtent all_;
};

}  // namespace lumas::ui
