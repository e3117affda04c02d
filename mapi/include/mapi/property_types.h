#pragma once
// Property type codes ([MS-OXCDATA] 2.11.1) and the sizes of their stored values.
#include <cstdint>

namespace mapi {

enum PropType : uint16_t {
    kPtypInteger16 = 0x0002,
    kPtypInteger32 = 0x0003,
    kPtypFloating64 = 0x0005,
    kPtypBoolean = 0x000B,
    kPtypInteger64 = 0x0014,
    kPtypString = 0x001F,            // Unicode: UTF-16LE when stored
    kPtypTime = 0x0040,              // FILETIME, UTC
    kPtypGuid = 0x0048,
    kPtypBinary = 0x0102,
    kPtypMultipleInteger32 = 0x1003,
    kPtypMultipleString = 0x101F,
    kPtypMultipleBinary = 0x1102,
};

// Set in the code of every multi-valued type ([MS-OXCDATA] 2.11.1.2).
constexpr uint16_t kMultiValueFlag = 0x1000;

// Size of a fixed-size type's stored value (Boolean 1, Integer16 2, Integer32 4, Time 8, Guid 16,
// ...), or 0 for variable-size types (strings, binaries, objects, every multi-valued type).
uint32_t fixedValueSize(uint16_t type);
// Element size of a multi-valued fixed-size type (PtypMultipleInteger32 -> 4), 0 otherwise.
uint32_t multiValueElementSize(uint16_t type);
// Whether a multi-valued type's elements are variable-size (ulCount + rgulDataOffsets layout).
bool isMultiVariable(uint16_t type);

}  // namespace mapi
