#include "tests/flic/flic_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

void Flic::SetUp() {
  hl_reset();
  gfx_load_state();
  char name[] = "/tmp/flic_test_XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  dir_ = name;
}

void Flic::TearDown() {
  if (opened_) flic_close(&context_);
  EXPECT_EQ(hl_locked_surfaces(), 0) << "a surface was left locked";
  EXPECT_EQ(gfx_state().lock_count, 0);
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void Flic::start(int32_t width, int32_t height) {
  plat_dc dc = plat_get_dc(hl_window());
  gfx_set_dc(dc);
  gfx_realize_palette(gfx_default_palette());
  gfx_init();
  const int32_t slot = vb_alloc(width, height);
  ASSERT_GE(slot, 0);
  ASSERT_EQ(vb_open(slot), 0);
}

std::string Flic::save(const FlicWriter& w) { return save_bytes(w.bytes); }

std::string Flic::save_bytes(const std::vector<uint8_t>& bytes) {
  const std::string path = dir_ + "/f" + std::to_string(files_++) + ".flc";
  FlicWriter w;
  w.bytes = bytes;
  EXPECT_TRUE(fw_save(w, path));
  return path;
}

void Flic::open(const std::string& path) {
  ASSERT_EQ(flic_open(path.c_str(), &context_), 0);
  opened_ = true;
}

std::vector<uint8_t> Flic::pixels() {
  std::vector<uint8_t> out;
  if (vb_lock()) out.assign(gfx_state().pixel_address, gfx_state().pixel_address + gfx_state().buffer_size);
  vb_unlock();
  return out;
}

uint8_t Flic::pixel(int32_t x, int32_t y) {
  return pixels().at(size_t(y) * static_cast<size_t>(gfx_state().row_pitch) + static_cast<size_t>(x));
}

void Flic::fill_buffer(uint8_t value) {
  if (vb_lock()) std::memset(gfx_state().pixel_address, value, gfx_state().buffer_size);
  vb_unlock();
}

void Flic::identity_map() {
  for (int k = 0; k < 256; ++k) gfx_state().flic_colour_map[k] = uint8_t(k);
}

FlicWriter one_frame(int width, int height,
                     const std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& chunks, uint16_t magic,
                     uint32_t speed) {
  FlicWriter w;
  fw_begin(w, magic, uint16_t(width), uint16_t(height), speed);
  fw_begin_frame(w);
  for (const auto& [type, data] : chunks) fw_chunk(w, type, data);
  fw_end_frame(w);
  fw_finish(w);
  return w;
}

std::string data_file(const std::string& name) { return std::string(MOXFLIC_TEST_DATA) + "/" + name; }
