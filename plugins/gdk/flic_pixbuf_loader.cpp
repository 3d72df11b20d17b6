// The gdk-pixbuf loader: FLIC animations (a GdkPixbufAnimation at the file's speed,
// looping, with the first frame as its still picture) and PCX pictures for the GTK
// programs of the desktop, thumbnailers included. Each file decodes in a library context
// of its own; a file that does not decode gives an error for that file alone.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf.h>
#undef GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plugins/image/image_reader.h"

namespace {

// The most bytes of decoded frames an animation keeps; later frames are left out.
constexpr size_t MAX_ANIMATION_BYTES = size_t{512} << 20;

void fail(GError** error, const std::string& message) {
  g_set_error(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, "%s", message.c_str());
}

GdkPixbuf* pixbuf_of(const ImageReader& reader, const std::vector<uint8_t>& rgba) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, reader.width(), reader.height());
  if (pixbuf == nullptr) return nullptr;
  guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const uint8_t* in = rgba.data();
  for (int y = 0; y < reader.height(); ++y) {
    guchar* out = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (int x = 0; x < reader.width(); ++x, in += 4, out += 3) std::memcpy(out, in, 3);
  }
  return pixbuf;
}

// The first frame, and for a FLIC every frame as an animation (null for a picture).
bool decode(const std::vector<uint8_t>& bytes, GdkPixbuf** first, GdkPixbufAnimation** animation,
            GError** error) {
  ImageReader reader;
  std::string reason;
  std::vector<uint8_t> rgba;
  if (!reader.open(bytes.data(), bytes.size(), reason) || !reader.next(rgba, reason)) {
    fail(error, reason);
    return false;
  }
  *first = pixbuf_of(reader, rgba);
  if (*first == nullptr) {
    g_set_error(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "no memory for the picture");
    return false;
  }
  if (animation == nullptr) return true;
  if (!reader.animated()) {
    *animation = gdk_pixbuf_non_anim_new(*first);
    return true;
  }
  const int delay = reader.delay_ms() > 0 ? reader.delay_ms() : 100;
  GdkPixbufSimpleAnim* anim =
      gdk_pixbuf_simple_anim_new(reader.width(), reader.height(), 1000.0F / float(delay));
  gdk_pixbuf_simple_anim_set_loop(anim, TRUE);
  gdk_pixbuf_simple_anim_add_frame(anim, *first);
  const size_t frame_bytes = rgba.size();
  for (size_t kept = frame_bytes; kept + frame_bytes <= MAX_ANIMATION_BYTES && reader.next(rgba, reason);
       kept += frame_bytes) {
    GdkPixbuf* frame = pixbuf_of(reader, rgba);
    if (frame == nullptr) break;
    gdk_pixbuf_simple_anim_add_frame(anim, frame);
    g_object_unref(frame);
  }
  *animation = GDK_PIXBUF_ANIMATION(anim);
  return true;
}

bool read_all(FILE* f, std::vector<uint8_t>& bytes) {
  uint8_t block[65536];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + n);
  return !std::ferror(f);
}

GdkPixbuf* load(FILE* f, GError** error) {
  std::vector<uint8_t> bytes;
  GdkPixbuf* first = nullptr;
  if (!read_all(f, bytes) || !decode(bytes, &first, nullptr, error)) return nullptr;
  return first;
}

GdkPixbufAnimation* load_animation(FILE* f, GError** error) {
  std::vector<uint8_t> bytes;
  GdkPixbuf* first = nullptr;
  GdkPixbufAnimation* animation = nullptr;
  if (!read_all(f, bytes) || !decode(bytes, &first, &animation, error)) return nullptr;
  g_object_unref(first);
  return animation;
}

// Incremental loading (GdkPixbufLoader, thumbnailers): the bytes are gathered, and
// decoded when they end.
struct Incremental {
  GdkPixbufModuleSizeFunc size_func;
  GdkPixbufModulePreparedFunc prepared_func;
  GdkPixbufModuleUpdatedFunc updated_func;
  gpointer user_data;
  std::vector<uint8_t> bytes;
};

gpointer begin_load(GdkPixbufModuleSizeFunc size_func, GdkPixbufModulePreparedFunc prepared_func,
                    GdkPixbufModuleUpdatedFunc updated_func, gpointer user_data, GError**) {
  return new Incremental{size_func, prepared_func, updated_func, user_data, {}};
}

gboolean load_increment(gpointer data, const guchar* buf, guint size, GError**) {
  auto* in = static_cast<Incremental*>(data);
  in->bytes.insert(in->bytes.end(), buf, buf + size);
  return TRUE;
}

gboolean stop_load(gpointer data, GError** error) {
  auto* in = static_cast<Incremental*>(data);
  GdkPixbuf* first = nullptr;
  GdkPixbufAnimation* animation = nullptr;
  const bool ok = decode(in->bytes, &first, &animation, error);
  if (ok) {
    int width = gdk_pixbuf_get_width(first), height = gdk_pixbuf_get_height(first);
    if (in->size_func != nullptr) in->size_func(&width, &height, in->user_data);
    // A size of 0 asks for the facts only.
    if (width != 0 && height != 0) {
      if (in->prepared_func != nullptr) in->prepared_func(first, animation, in->user_data);
      if (in->updated_func != nullptr)
        in->updated_func(first, 0, 0, gdk_pixbuf_get_width(first), gdk_pixbuf_get_height(first),
                         in->user_data);
    }
    g_object_unref(animation);
    g_object_unref(first);
  }
  delete in;
  return ok ? TRUE : FALSE;
}

}  // namespace

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module) {
  module->load = load;
  module->load_animation = load_animation;
  module->begin_load = begin_load;
  module->stop_load = stop_load;
  module->load_increment = load_increment;
}

G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info) {
  static GdkPixbufModulePattern signature[] = {
      {const_cast<char*>("    \x11\xaf"), const_cast<char*>("****  "), 100},
      {const_cast<char*>("    \x12\xaf"), const_cast<char*>("****  "), 100},
      {const_cast<char*>("\x0a\x05\x01"), nullptr, 80},
      {const_cast<char*>("\x0a\x00\x01"), nullptr, 80},
      {const_cast<char*>("\x0a\x02\x01"), nullptr, 80},
      {const_cast<char*>("\x0a\x03\x01"), nullptr, 80},
      {const_cast<char*>("\x0a\x04\x01"), nullptr, 80},
      {nullptr, nullptr, 0}};
  static gchar* mime_types[] = {const_cast<gchar*>("video/x-flic"),
                                const_cast<gchar*>("image/vnd.zbrush.pcx"), const_cast<gchar*>("image/x-pcx"),
                                nullptr};
  static gchar* extensions[] = {const_cast<gchar*>("flc"), const_cast<gchar*>("fli"),
                                const_cast<gchar*>("pcx"), nullptr};
  info->name = const_cast<gchar*>("moxflic");
  info->signature = signature;
  info->description = const_cast<gchar*>("FLIC animation and PCX picture");
  info->mime_types = mime_types;
  info->extensions = extensions;
  info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
  info->license = const_cast<gchar*>("MIT");
}
}
