// The Qt image plugin through QImageReader, as any Qt program reads images.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <thread>

#include "tests/plugins/plugin_support.h"

namespace {

QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB888); }

// Reads every sample and compares each frame with moxflic-export's; "" when all agree.
std::string read_all_samples() {
  for (const Sample& s : samples()) {
    const std::vector<std::string> want = exported(s);
    if (want.empty()) return std::string(s.file) + ": moxflic-export failed";
    QImageReader reader(QString::fromStdString(data_path(s.file)));
    if (!reader.canRead()) return std::string(s.file) + ": cannot be read";
    for (int n = 0; n < s.frames; ++n) {
      const QImage got = reader.read();
      if (got.isNull()) return std::string(s.file) + ": frame " + std::to_string(n + 1) + " not read";
      const QImage png(QString::fromStdString(want[size_t(n)]));
      if (rgb(got) != rgb(png)) return std::string(s.file) + ": frame " + std::to_string(n + 1) + " differs";
    }
  }
  return "";
}

}  // namespace

TEST(QtPlugin, ReadsEveryFrameAsTheConverterWritesIt) { EXPECT_EQ(read_all_samples(), ""); }

TEST(QtPlugin, TwoThreadsReadAtOnce) {
  std::string first, second;
  std::thread a([&] { first = read_all_samples(); });
  std::thread b([&] { second = read_all_samples(); });
  a.join();
  b.join();
  EXPECT_EQ(first, "");
  EXPECT_EQ(second, "");
}

TEST(QtPlugin, AnAnimationsFactsAndJumps) {
  QImageReader reader(QString::fromStdString(data_path("sun-146x140.flc")));
  EXPECT_EQ(reader.format(), "flc");
  EXPECT_TRUE(reader.supportsAnimation());
  EXPECT_EQ(reader.size(), QSize(146, 140));
  EXPECT_GT(reader.imageCount(), 3);
  EXPECT_EQ(reader.loopCount(), -1);
  const QImage first = reader.read();
  EXPECT_GT(reader.nextImageDelay(), 0);
  ASSERT_TRUE(reader.jumpToImage(2));
  const QImage third = reader.read();
  ASSERT_TRUE(reader.jumpToImage(0));
  EXPECT_EQ(reader.read(), first);
  ASSERT_TRUE(reader.jumpToNextImage());
  EXPECT_EQ(reader.read(), third);
  EXPECT_EQ(reader.currentImageNumber(), 2);
  EXPECT_FALSE(reader.jumpToImage(reader.imageCount()));

  QImageReader picture(QString::fromStdString(data_path("marbles-141x99-8bit.pcx")));
  EXPECT_EQ(picture.imageCount(), 1);
  EXPECT_FALSE(picture.supportsAnimation());
}

TEST(QtPlugin, HostileFilesEndInAnErrorForThemAlone) {
  for (const std::string& path : hostile_files()) {
    QImageReader reader(QString::fromStdString(path));
    for (int n = 0; n < 100 && !reader.read().isNull(); ++n) {
    }
  }
  QImageReader huge(QString::fromStdString(scratch() + "/huge.flc"));
  EXPECT_TRUE(huge.read().isNull());
  EXPECT_FALSE(QImageReader(QString::fromStdString(data_path("sun-146x140.flc"))).read().isNull());
}

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::filesystem::remove_all(scratch());
  return result;
}
