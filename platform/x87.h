// The calling thread's x87 control word: precision and rounding fields.
#pragma once

#include <cstdint>

enum class X87Precision : uint16_t {
    Single = 0x000,   // 24-bit significand
    Double = 0x200,   // 53-bit significand
    Extended = 0x300, // 64-bit significand
};

// Reads the calling thread's x87 control word.
uint16_t x87ControlWord();

// Sets the precision field and rounds to nearest on the calling thread. The word is written
// only when its precision or rounding field differs; returns true when it was written.
bool setX87Precision(X87Precision precision);
