#include "core/skin/window_shape.h"

#include <algorithm>

namespace quillet {

WindowShape::WindowShape(std::int32_t width, std::int32_t height)
    : width_(std::max(0, width)), height_(std::max(0, height)), rows_(static_cast<std::size_t>(height_)) {}

bool WindowShape::contains(std::int32_t x, std::int32_t y) const {
  if (y < 0 || y >= height_) {
    return false;
  }
  const auto& row = rows_[static_cast<std::size_t>(y)];
  return std::any_of(row.begin(), row.end(), [x](const Span& s) { return x >= s.left && x < s.right; });
}

bool WindowShape::containsRect(const SkinRect& rect) const {
  if (rect.right <= rect.left || rect.bottom <= rect.top) {
    return true;
  }
  if (rect.top < 0 || rect.bottom > height_) {
    return false;
  }
  for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
    const auto& row = rows_[static_cast<std::size_t>(y)];
    const bool covered = std::any_of(row.begin(), row.end(),
                                     [&](const Span& s) { return s.left <= rect.left && rect.right <= s.right; });
    if (!covered) {
      return false;
    }
  }
  return true;
}

bool WindowShape::empty() const {
  return std::all_of(rows_.begin(), rows_.end(), [](const auto& row) { return row.empty(); });
}

void WindowShape::subtract(const SkinRect& rect) {
  const std::int32_t top = std::max(rect.top, 0);
  const std::int32_t bottom = std::min(rect.bottom, height_);
  if (rect.right <= rect.left) {
    return;
  }
  for (std::int32_t y = top; y < bottom; ++y) {
    std::vector<Span>& row = rows_[static_cast<std::size_t>(y)];
    std::vector<Span> kept;
    kept.reserve(row.size() + 1);
    for (const Span& s : row) {
      if (s.right <= rect.left || s.left >= rect.right) {
        kept.push_back(s);
        continue;
      }
      if (s.left < rect.left) {
        kept.push_back({s.left, rect.left});
      }
      if (s.right > rect.right) {
        kept.push_back({rect.right, s.right});
      }
    }
    row = std::move(kept);
  }
}

std::vector<SkinRect> WindowShape::bands() const {
  std::vector<SkinRect> out;
  std::int32_t y = 0;
  while (y < height_) {
    const auto& row = rows_[static_cast<std::size_t>(y)];
    std::int32_t end = y + 1;
    while (end < height_ && rows_[static_cast<std::size_t>(end)] == row) {
      ++end;
    }
    for (const Span& s : row) {
      out.push_back({s.left, y, s.right, end});
    }
    y = end;
  }
  return out;
}

MainWindowShapes mainWindowShapes(const WindowShape& mask, std::span<const SkinRect> macroControlRects) {
  MainWindowShapes out{mask, mask, mask};
  for (const SkinRect& r : macroControlRects) {
    out.macroPage.subtract(r);
  }
  for (const SkinRect& r : kAdvancedValueBoxes) {
    out.advancedPage.subtract(r);
  }
  return out;
}

}  // namespace quillet
