// The class icon: a strip of film with a picture of a sunny hill and a play arrow,
// 32 x 32 pixels in the 16 colours below.
#include <cstring>

#include "resources/resources.h"

namespace {

constexpr int ICON_SIZE = 32;

constexpr uint8_t icon_colours[WIN_ICON_COLOURS][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},   {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {64, 64, 64},  {255, 0, 0},     {0, 255, 0}, {128, 200, 255},
    {255, 48, 32}, {255, 0, 255},   {255, 230, 0}, {255, 255, 255},
};

constexpr const char* icon_rows[ICON_SIZE] = {
    "88888888888888888888888888888888", "8ff88ff88ff88ff88ff88ff88ff88ff8",
    "8ff88ff88ff88ff88ff88ff88ff88ff8", "8ff88ff88ff88ff88ff88ff88ff88ff8",
    "88888888888888888888888888888888", "88bbbbbbbbbbbbbbbbbbbbbbbbbbbb88",
    "88bbbbbbbbbbbbbbbbbbbbbbbbbbbb88", "88bbbbbeeebbbbbbbbbbbbbbbbbbbb88",
    "88bbbbeeeeebb0bbbbbbbbbbbbbbbb88", "88bbbeeeeeeeb00bbbbbbbbbbbbbbb88",
    "88bbbeeeeeeeb0cc0bbbbbbbbbbbbb88", "88bbbeeeeeeeb0ccc0bbbbbbbbbbbb88",
    "88bbbbeeeeebb0ccccc0bbbbbbbbbb88", "88bbbbbeeebbb0ccccccc0bbbbbbbb88",
    "88bbbbbbbbbbb0cccccccc0bbbbbbb88", "88bbbbbbbbbbb0cccccccccc0bbbbb88",
    "88abbbbbbbbbb0ccccccccccc0bbbb88", "88aaabbbbbbbb0cccccccccc0bbbaa88",
    "88aaaaabbbbba0cccccccc0bbbaaaa88", "88222222222220ccccccc02222222288",
    "88222222222220ccccc0222222222288", "88222222222220ccc022222222222288",
    "88222222222220cc0222222222222288", "88222222222220022222222222222288",
    "88222222222220222222222222222288", "88222222222222222222222222222288",
    "88222222222222222222222222222288", "88888888888888888888888888888888",
    "8ff88ff88ff88ff88ff88ff88ff88ff8", "8ff88ff88ff88ff88ff88ff88ff88ff8",
    "8ff88ff88ff88ff88ff88ff88ff88ff8", "88888888888888888888888888888888",
};

constexpr win_icon main_icon = {RES_ICON_NAME, ICON_SIZE, ICON_SIZE, icon_colours, icon_rows};

}  // namespace

const win_icon* res_find_icon(const char* name) {
  return name != nullptr && std::strcmp(name, main_icon.name) == 0 ? &main_icon : nullptr;
}
