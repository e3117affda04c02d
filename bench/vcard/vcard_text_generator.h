#pragma once
// Generates typical vCard text: a mix of 2.1, 3.0 and 4.0 cards with several e-mail
// addresses, phones and addresses, non-ASCII names, some quoted-printable and folded lines.
#include <cstddef>
#include <string>

namespace zentra::bench {

// Appends cards to `out` until it holds at least `bytes` bytes; returns the number of cards.
std::size_t generateVCards(std::string& out, std::size_t bytes, unsigned startValue = 20261207);

}  // namespace zentra::bench
