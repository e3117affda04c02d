#pragma once
// Helpers around stored property values, from the MAPI vocabulary: type sizes, text conversion
// and the multi-valued layouts.
#include "mapi/utf16.h"
#include "mapi/value.h"

namespace pst::ltp {

using mapi::fixedValueSize;
using mapi::isMultiVariable;
using mapi::kMultiValueFlag;
using mapi::multiValueElementSize;
using mapi::packMultiVariable;
using mapi::unpackMultiValue;
using mapi::utf16leFromUtf8;
using mapi::utf8FromUtf16le;

}  // namespace pst::ltp
