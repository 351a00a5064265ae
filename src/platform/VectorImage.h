#pragma once

#include <QByteArray>
#include <QImage>

#include <atomic>
#include <chrono>
#include <optional>

namespace ondrel::platform {

// Vector images are drawn no larger than this on either side: the history
// shows thumbnails, and drawing at the declared size can take minutes.
inline constexpr int kVectorImageSide = 1024;

// An SVG drawn at thumbnail size (kVectorImageSide at most), or none when
// it is not a drawing. Drawing stops at `deadline` or once `stop` is set:
// `overran` then says so and no image comes back.
std::optional<QImage> drawVectorImage(const QByteArray& svg, std::chrono::steady_clock::time_point deadline,
                                      const std::atomic<bool>& stop, bool& overran);

} // namespace ondrel::platform
