// Converts the window's XPM icons into the PNG files a desktop's icon theme takes.
//   xpm_to_png INPUT.xpm OUTPUT.png
#include <QImage>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: xpm_to_png INPUT.xpm OUTPUT.png\n");
    return 2;
  }
  const QImage image(QString::fromLocal8Bit(argv[1]), "XPM");
  if (image.isNull()) {
    std::fprintf(stderr, "xpm_to_png: %s is no XPM image\n", argv[1]);
    return 1;
  }
  if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "xpm_to_png: %s cannot be written\n", argv[2]);
    return 1;
  }
  return 0;
}
