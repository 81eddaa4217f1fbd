// Source texts of the palette shaders, handed to the driver byte for byte.
#pragma once

#include <string_view>

// "#version 120" vertex shader of the integer program: passes texc_in on as texc.
extern const std::string_view vertexShaderText;
// "#version 130" fragment shader: unsigned integer image, palette looked up at count / 1024.
extern const std::string_view integerFragmentText;
// "#version 110" fragment shader: normalised 16-bit image, scaled back to the count first.
extern const std::string_view normalisedFragmentText;
