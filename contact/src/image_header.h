#pragma once
// What image data says about itself before any pixel is decoded: its format, the size it claims,
// and whether the data can hold that many pixels at all. A header may claim millions of pixels
// in a few bytes; decoding it anyway costs seconds and gigabytes and yields an image of nothing.
#include <string>
#include <string_view>

namespace contact::detail {

enum class ImageFormat { Unknown, Jpeg, Png, Gif, Bmp };

struct ImageHeader {
    ImageFormat format = ImageFormat::Unknown;
    long long width = 0;
    long long height = 0;
    std::string problem;   // why the data is not the image it claims to be; empty when it may be
};

// Reads the header of a JPEG, PNG, GIF or BMP; other data gives ImageFormat::Unknown. A JPEG is
// walked marker by marker to its end-of-image marker: data that does not parse as a JPEG (a
// truncated or damaged copy, a coding Outlook cannot show) has a problem.
ImageHeader readImageHeader(std::string_view bytes);

const char* formatName(ImageFormat format);   // "JPEG", "PNG", ...

}  // namespace contact::detail
