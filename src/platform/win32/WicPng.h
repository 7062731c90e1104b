// Writing pixels to a PNG file through the imaging component.
#pragma once
#include <wincodec.h>

#include <cstdint>
#include <string>

namespace vell::win {

// Straight (not premultiplied) BGRA rows to a PNG file; false when anything fails.
bool writeBgraPng(IWICImagingFactory* wic, const std::string& path, const uint8_t* data, int width, int height,
                  int stride);

}  // namespace vell::win
