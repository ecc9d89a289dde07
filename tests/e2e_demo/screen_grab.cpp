// screen_grab: saves what the X display shows, cropped to the windows on it
// (everything that is not the black background), as a PNG file. The
// screenshot script uses it to shoot another program's window under a
// virtual display (xvfb-run -s "... -br").
//
//   screen_grab <file.png>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

namespace {

// The smallest rectangle holding every pixel that is not black, with a
// margin; the whole image when all of it is black.
QRect ContentRect(const QImage& image) {
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if ((line[x] & 0xFFFFFF) == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return image.rect();
  constexpr int kMargin = 0;
  return QRect(QPoint(left, top), QPoint(right, bottom)).adjusted(-kMargin, -kMargin, kMargin, kMargin) &
         image.rect();
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: screen_grab <file.png>\n");
    return 2;
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    std::fprintf(stderr, "screen_grab: no screen\n");
    return 1;
  }
  const QImage image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
  if (!image.copy(ContentRect(image)).save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "screen_grab: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s\n", argv[1]);
  return 0;
}
