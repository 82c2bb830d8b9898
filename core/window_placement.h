// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

namespace lumas {

// Where a window saved at `saved` (its frame: the top-left corner and the outer size) goes on the
// screens there are now (`screens`: each screen's area free of panels, the primary first).
//
// It goes on the screen that holds the largest part of it, or on the primary screen when it lies
// on none (a screen unplugged since, a smaller resolution). Its size is kept, but no larger than
// that screen and no smaller than `smallest` (unless the screen is smaller still); it is then
// moved the least that puts it wholly on that screen. Without screens, `saved` stands.
QRect fitFrameOnScreens(const QRect& saved, const QList<QRect>& screens, QSize smallest);

}  // namespace lumas
