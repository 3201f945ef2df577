#pragma once

#include "MainFrmLayout.h"

#include <QImage>
#include <QSize>

namespace z83::app {

// The banner's natural size in pixels.
inline constexpr QSize kBannerSize(layout::kBannerWidth, layout::kBannerHeight);

// The window's banner, drawn at run time so the program carries no artwork files: a handheld, the
// model name and a recorded event trace on a blue band. Drawn to the given size in 24-bit colour.
QImage drawBanner(const QSize& size = kBannerSize);

} // namespace z83::app
