#include "platform/x87.h"

#include <fpu_control.h>

namespace {
constexpr uint16_t precisionMask = _FPU_EXTENDED; // 0x300
constexpr uint16_t roundingMask = 0xC00;
constexpr uint16_t roundToNearest = _FPU_RC_NEAREST; // 0x000
} // namespace

uint16_t x87ControlWord()
{
    fpu_control_t word;
    _FPU_GETCW(word);
    return static_cast<uint16_t>(word);
}

bool setX87Precision(X87Precision precision)
{
    fpu_control_t word;
    _FPU_GETCW(word);
    const uint16_t wanted = static_cast<uint16_t>(precision) | roundToNearest;
    if ((word & (precisionMask | roundingMask)) == wanted)
        return false;
    word = static_cast<fpu_control_t>((word & ~(precisionMask | roundingMask)) | wanted);
    _FPU_SETCW(word);
    return true;
}
