#include "tests/pcx/pcx_support.h"

#include <cstring>

void PcxTest::SetUp() {
  hl_reset();
  gfx_load_state();
  dc_ = plat_get_dc(hl_window());
  gfx_set_dc(dc_);
  palette_ = gfx_default_palette();
  gfx_realize_palette(palette_);
  gfx_init();
}

void PcxTest::TearDown() {
  EXPECT_EQ(gfx_state().lock_count, 0) << "pcx_show left the surface locked";
  EXPECT_EQ(hl_locked_surfaces(), 0);
  EXPECT_EQ(hl_dead_handle_uses(), 0);
}

void PcxTest::open_buffer(int32_t width, int32_t height, uint8_t fill) {
  const int32_t slot = vb_alloc(width, height);
  ASSERT_GE(slot, 0);
  ASSERT_EQ(vb_open(slot), 0);
  set_pixels(std::vector<uint8_t>(
      static_cast<size_t>(gfx_state().active_width) * static_cast<size_t>(gfx_state().active_height), fill));
}

void PcxTest::close_buffer() {
  const int32_t slot = gfx_state().active_slot;
  if (slot < 0) return;
  vb_close();
  vb_free(slot);
}

std::vector<uint8_t> PcxTest::pixels() {
  std::vector<uint8_t> out(static_cast<size_t>(gfx_state().active_width) *
                           static_cast<size_t>(gfx_state().active_height));
  EXPECT_EQ(vb_lock(), 1);
  if (gfx_state().pixel_address) std::memcpy(out.data(), gfx_state().pixel_address, out.size());
  vb_unlock();
  return out;
}

void PcxTest::set_pixels(const std::vector<uint8_t>& values) {
  ASSERT_EQ(values.size(),
            static_cast<size_t>(gfx_state().active_width) * static_cast<size_t>(gfx_state().active_height));
  ASSERT_EQ(vb_lock(), 1);
  std::memcpy(gfx_state().pixel_address, values.data(), values.size());
  vb_unlock();
}

std::string PcxTest::write_file(const std::vector<uint8_t>& bytes) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("pcx_") + info->test_suite_name() + "_" + info->name() + "_" +
                     std::to_string(files_++) + ".pcx";
  for (char& c : name) {
    if (!isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_') c = '_';
  }
  const std::string path = ::testing::TempDir() + name;
  EXPECT_TRUE(pcx_writer_save(bytes, path.c_str()));
  return path;
}

int32_t PcxTest::show(const std::vector<uint8_t>& bytes, uint32_t flags, bool memory) {
  if (memory) {
    pcx_load_stream(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return pcx_show(nullptr, flags | GFX_FLAG_MEMORY);
  }
  return pcx_show(write_file(bytes).c_str(), flags);
}

std::vector<uint8_t> PcxTest::entry(int index) const {
  const plat_palette_entry& e = gfx_state().logical_palette.entries[index];
  return {e.red, e.green, e.blue};
}

std::vector<uint8_t> PcxTest::logical_colours() const {
  std::vector<uint8_t> out;
  for (int i = 0; i < GFX_COLOURS; ++i) {
    const auto c = entry(i);
    out.insert(out.end(), c.begin(), c.end());
  }
  return out;
}

PcxWriterHeader header_of(int width, int height, int bits, int planes, uint8_t version) {
  PcxWriterHeader h = pcx_writer_header(width, height, bits, planes);
  h.version = version;
  for (int k = 0; k < PCX_HEADER_PALETTE_SIZE; ++k) h.header_palette[k] = static_cast<uint8_t>(200 - k);
  return h;
}

std::vector<uint8_t> file_of(const PcxWriterHeader& h, const std::vector<uint8_t>& stream,
                             const uint8_t* colours) {
  std::vector<uint8_t> file;
  pcx_writer_put_header(file, h);
  pcx_writer_put_raw(file, stream);
  if (colours) pcx_writer_put_palette_block(file, colours);
  return file;
}

std::vector<uint8_t> picture_file(const PcxWriterHeader& h, const std::vector<uint8_t>& indices,
                                  const uint8_t* colours) {
  std::vector<uint8_t> file;
  pcx_writer_put_header(file, h);
  pcx_writer_put_image(file, h, indices.data());
  if (colours) pcx_writer_put_palette_block(file, colours);
  return file;
}

std::vector<uint8_t> distinct_colours() {
  std::vector<uint8_t> c(768);
  for (int k = 0; k < 256; ++k) {
    c[static_cast<size_t>(3 * k)] = static_cast<uint8_t>(k);
    c[static_cast<size_t>(3 * k + 1)] = static_cast<uint8_t>(255 - k);
    c[static_cast<size_t>(3 * k + 2)] = static_cast<uint8_t>(k * 7);
  }
  return c;
}
