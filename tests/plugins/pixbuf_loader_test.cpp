// The gdk-pixbuf loader as GTK programs and thumbnailers load it: registered in a
// loaders' cache of its own, read with gdk_pixbuf_new_from_file, as an animation, and
// through a GdkPixbufLoader at a thumbnail's size.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "tests/plugins/plugin_support.h"

namespace {

// The loaders' cache that names this build's loader, made once, before gdk-pixbuf
// reads its loaders.
class LoaderCache : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string cache = scratch() + "/loaders.cache";
    const std::string command =
        std::string(GDK_PIXBUF_QUERY_LOADERS) + " '" + MOXFLIC_PIXBUF_LOADER + "' > '" + cache + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    setenv("GDK_PIXBUF_MODULE_FILE", cache.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(scratch()); }
};
const auto* const cache = ::testing::AddGlobalTestEnvironment(new LoaderCache);

// The RGB bytes of a picture, rows packed.
std::vector<uint8_t> rgb(GdkPixbuf* p) {
  std::vector<uint8_t> out;
  if (p == nullptr) return out;
  const int w = gdk_pixbuf_get_width(p), h = gdk_pixbuf_get_height(p), n = gdk_pixbuf_get_n_channels(p);
  const int stride = gdk_pixbuf_get_rowstride(p);
  const guchar* pixels = gdk_pixbuf_read_pixels(p);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      out.insert(out.end(), pixels + y * stride + x * n, pixels + y * stride + x * n + 3);
  return out;
}

std::vector<uint8_t> rgb_of_file(const std::string& path) {
  GdkPixbuf* p = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  std::vector<uint8_t> out = rgb(p);
  if (p != nullptr) g_object_unref(p);
  return out;
}

}  // namespace

TEST(PixbufLoader, ReadsTheFirstFrameAsTheConverterWritesIt) {
  for (const Sample& s : samples()) {
    const std::vector<std::string> want = exported(s);
    ASSERT_FALSE(want.empty()) << s.file;
    const std::vector<uint8_t> got = rgb_of_file(data_path(s.file));
    ASSERT_FALSE(got.empty()) << s.file;
    EXPECT_TRUE(got == rgb_of_file(want[0])) << s.file;
  }
}

TEST(PixbufLoader, AFlicIsAnAnimationAtItsSpeed) {
  GError* error = nullptr;
  GdkPixbufAnimation* anim = gdk_pixbuf_animation_new_from_file(data_path("sun-146x140.flc").c_str(), &error);
  ASSERT_NE(anim, nullptr) << (error ? error->message : "");
  EXPECT_FALSE(gdk_pixbuf_animation_is_static_image(anim));
  EXPECT_EQ(gdk_pixbuf_animation_get_width(anim), 146);
  EXPECT_TRUE(rgb(gdk_pixbuf_animation_get_static_image(anim)) ==
              rgb_of_file(exported({"sun-146x140.flc", 2})[0]));
  GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(anim, nullptr);
  EXPECT_GT(gdk_pixbuf_animation_iter_get_delay_time(iter), 0);
  g_object_unref(iter);
  g_object_unref(anim);

  GdkPixbufAnimation* still =
      gdk_pixbuf_animation_new_from_file(data_path("marbles-141x99-8bit.pcx").c_str(), nullptr);
  ASSERT_NE(still, nullptr);
  EXPECT_TRUE(gdk_pixbuf_animation_is_static_image(still));
  g_object_unref(still);
}

TEST(PixbufLoader, ThumbnailsInTwoThreadsAtOnce) {
  auto thumbnails = [](std::string& failed) {
    for (int round = 0; round < 3; ++round)
      for (const Sample& s : samples()) {
        GdkPixbuf* p = gdk_pixbuf_new_from_file_at_scale(data_path(s.file).c_str(), 64, 64, TRUE, nullptr);
        if (p == nullptr || std::max(gdk_pixbuf_get_width(p), gdk_pixbuf_get_height(p)) != 64)
          failed = s.file;
        if (p != nullptr) g_object_unref(p);
      }
  };
  std::string first, second;
  std::thread a(thumbnails, std::ref(first)), b(thumbnails, std::ref(second));
  a.join();
  b.join();
  EXPECT_EQ(first, "");
  EXPECT_EQ(second, "");
}

TEST(PixbufLoader, HostileFilesEndInAnErrorForThemAlone) {
  for (const std::string& path : hostile_files()) {
    GdkPixbuf* p = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
    if (p != nullptr) g_object_unref(p);
    GdkPixbufAnimation* a = gdk_pixbuf_animation_new_from_file(path.c_str(), nullptr);
    if (a != nullptr) g_object_unref(a);
  }
  GError* error = nullptr;
  EXPECT_EQ(gdk_pixbuf_new_from_file((scratch() + "/huge.flc").c_str(), &error), nullptr);
  ASSERT_NE(error, nullptr);
  g_error_free(error);
  EXPECT_FALSE(rgb_of_file(data_path("sun-146x140.flc")).empty());
}
