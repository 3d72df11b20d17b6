// The Qt image plugin: FLIC animations (every frame, at the file's speed, looping) and
// PCX pictures for any Qt program, through QImageReader and QMovie. Each handler decodes
// in a library context of its own, so Qt may read several files at once.
#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QImageIOHandler>
#include <QImageIOPlugin>
#include <QVariant>
#include <memory>
#include <string>
#include <vector>

#include "plugins/image/image_reader.h"

namespace {

class Handler : public QImageIOHandler {
 public:
  bool canRead() const override {
    if (device() == nullptr) return false;
    const QByteArray head = device()->peek(128);
    if (!ImageReader::recognises(reinterpret_cast<const uint8_t*>(head.constData()), size_t(head.size())))
      return false;
    setFormat(head.at(0) == 10 ? "pcx" : "flc");
    return true;
  }

  bool read(QImage* image) override {
    if (!load()) return false;
    std::string error;
    if (!reader_->next(rgba_, error)) return false;
    QImage frame(reader_->width(), reader_->height(), QImage::Format_RGBA8888);
    if (frame.isNull()) return false;
    for (int y = 0; y < frame.height(); ++y)
      std::memcpy(frame.scanLine(y), rgba_.data() + size_t(y) * size_t(frame.width()) * 4,
                  size_t(frame.width()) * 4);
    *image = frame;
    return true;
  }

  bool supportsOption(ImageOption option) const override { return option == Size || option == Animation; }

  QVariant option(ImageOption option) const override {
    if (!const_cast<Handler*>(this)->load()) return {};
    if (option == Size) return QSize(reader_->width(), reader_->height());
    if (option == Animation) return reader_->animated();
    return {};
  }

  int imageCount() const override { return const_cast<Handler*>(this)->load() ? reader_->frame_count() : 0; }
  int loopCount() const override { return reader_ && reader_->animated() ? -1 : 0; }
  int nextImageDelay() const override { return reader_ ? reader_->delay_ms() : 0; }
  int currentImageNumber() const override { return reader_ ? reader_->position() : -1; }

  bool jumpToNextImage() override {
    if (!load()) return false;
    std::string error;
    return reader_->next(rgba_, error);
  }

  bool jumpToImage(int number) override {
    if (!load() || number < 0 || number >= reader_->frame_count()) return false;
    // read() decodes the frame after the current one: go to the one before the one asked for.
    if (number <= reader_->position() && !reader_->rewind()) return false;
    std::string error;
    while (reader_->position() < number - 1)
      if (!reader_->next(rgba_, error)) return false;
    return true;
  }

 private:
  // Reads the whole device into a reader on first use; false when it does not decode.
  bool load() {
    if (reader_) return true;
    if (failed_ || device() == nullptr) return false;
    const QByteArray bytes = device()->readAll();
    auto reader = std::make_unique<ImageReader>();
    std::string error;
    if (!reader->open(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), error)) {
      failed_ = true;
      return false;
    }
    reader_ = std::move(reader);
    return true;
  }

  std::unique_ptr<ImageReader> reader_;
  std::vector<uint8_t> rgba_;
  bool failed_ = false;
};

}  // namespace

class FlicImagePlugin : public QImageIOPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "moxflic.json")

 public:
  Capabilities capabilities(QIODevice* device, const QByteArray& format) const override {
    const QByteArray f = format.toLower();
    if (f == "flc" || f == "fli" || f == "pcx") return CanRead;
    if (!format.isEmpty() || device == nullptr || !device->isOpen() || !device->isReadable()) return {};
    const QByteArray head = device->peek(128);
    return ImageReader::recognises(reinterpret_cast<const uint8_t*>(head.constData()), size_t(head.size()))
               ? Capabilities(CanRead)
               : Capabilities();
  }

  QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override {
    auto* handler = new Handler;
    handler->setDevice(device);
    handler->setFormat(format);
    return handler;
  }
};

#include "flic_image_plugin.moc"
