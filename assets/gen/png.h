// A small PNG writer (stored deflate blocks) for the contact sheet and the
// previews; no compression, no dependencies.
#pragma once

#include <string>

#include "image.h"

namespace gen {

// Writes 24-bit RGB; throws on failure.
void WritePng(const std::string& path, const Image& img);

}  // namespace gen
