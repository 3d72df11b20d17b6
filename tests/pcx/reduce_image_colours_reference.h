// The plain, step-by-step image colour fitting the library's version is checked against.
#pragma once

#include <cstdint>

int32_t reference_reduce_image_colours(int32_t start, int32_t count, uint8_t* palette);
