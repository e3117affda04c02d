#pragma once
// A card's photo made into a contact picture: a JPEG no larger than what Outlook shows of a
// person, decoded only when the data can hold the image it claims to be and within a bound on
// memory, and never an invalid JPEG.
#include <string>
#include <string_view>

namespace contact::detail {

// The longest side of a stored picture. Outlook's contact form shows a picture of 90 x 90 pixels
// and its contact card 96 x 96, but Office and Exchange keep a person's photo at up to 648 x 648
// (Exchange's high-resolution photo, shown by the contact card on large and high-DPI screens).
// A picture scaled to that looks the same everywhere Outlook shows it and stays near 100 KB.
constexpr int kMaxPictureSide = 648;

// The most pixels an image is decoded from (4096 x 4096, more than most phone cameras take).
// Decoding needs up to about 7 bytes per pixel at once, so about 115 MB at most.
constexpr long long kMaxDecodedPixels = 16LL << 20;

struct ContactPicture {
    std::string jpeg;      // the picture; empty when the photo cannot be used
    std::string problem;   // why it cannot be used (it is dropped)
    std::string change;    // what was done to it (converted, scaled down); empty when kept as written
};

// JPEG no larger than kMaxPictureSide is kept byte for byte once it parses as a JPEG; larger
// JPEG and PNG, GIF (first frame) and BMP are decoded, laid over white (JPEG has no alpha),
// scaled down to fit kMaxPictureSide and encoded as JPEG at `jpegQuality` (1..100).
// `mediaType` (from the card) only names what is not supported.
ContactPicture makeContactPicture(std::string_view bytes, std::string_view mediaType, int jpegQuality);

}  // namespace contact::detail
