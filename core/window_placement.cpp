// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "core/window_placement.h"

#include <algorithm>

namespace lumas {

namespace {

long long overlapArea(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : static_cast<long long>(common.width()) * common.height();
}

// `start` moved the least within [low, high - length] (low when the length does not fit).
int slideWithin(int start, int length, int low, int high) {
    return std::max(low, std::min(start, high - length));
}

}  // namespace

QRect fitFrameOnScreens(const QRect& saved, const QList<QRect>& screens, QSize smallest) {
    if (screens.isEmpty()) {
        return saved;
    }
    QRect screen = screens.constFirst();
    long long best = 0;
    for (const QRect& candidate : screens) {
        const long long area = overlapArea(saved, candidate);
        if (area > best) {
            best = area;
            screen = candidate;
        }
    }
    const QSize size =
        saved.size().expandedTo(smallest).boundedTo(screen.size()).expandedTo(QSize(1, 1));
    const int left =
        slideWithin(saved.left(), size.width(), screen.left(), screen.left() + screen.width());
    const int top =
        slideWithin(saved.top(), size.height(), screen.top(), screen.top() + screen.height());
    return {QPoint(left, top), size};
}

}  // namespace lumas
