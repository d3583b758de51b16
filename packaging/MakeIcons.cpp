// Renders the application's picture as the icons a desktop looks for: PNG files at whole
// multiples of the picture's size (pixel art stays sharp that way) and an SVG for any size.
// Usage: tolvane_icons PICTURE.xpm OUTPUT_FOLDER SIZE...
#include <QColor>
#include <QFile>
#include <QImage>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>

namespace {

bool WriteSvg(const QImage& image, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QTextStream out(&file);
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " << image.width() << ' '
      << image.height() << "\" width=\"256\" height=\"256\" shape-rendering=\"crispEdges\">\n";
  // One rectangle for each run of equal pixels in a row.
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width();) {
      const QRgb pixel = image.pixel(x, y);
      int end = x + 1;
      while (end < image.width() && image.pixel(end, y) == pixel) ++end;
      if (qAlpha(pixel) != 0) {
        out << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << end - x
            << "\" height=\"1\" fill=\"" << QColor(pixel).name() << "\"/>\n";
      }
      x = end;
    }
  }
  out << "</svg>\n";
  return out.status() == QTextStream::Ok && file.flush();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s PICTURE.xpm OUTPUT_FOLDER SIZE...\n", argv[0]);
    return 2;
  }
  const QImage picture =
      QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
  if (picture.isNull()) {
    std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  const QString folder = QString::fromLocal8Bit(argv[2]);
  for (int i = 3; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (size <= 0 || size % picture.width() != 0) {
      std::fprintf(stderr, "%s: %s is no whole multiple of the picture's size\n", argv[0], argv[i]);
      return 1;
    }
    const QImage icon = picture.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!icon.save(QStringLiteral("%1/%2.png").arg(folder).arg(size), "PNG")) {
      std::fprintf(stderr, "%s: cannot write the %d pixel icon\n", argv[0], size);
      return 1;
    }
  }
  if (!WriteSvg(picture, folder + QStringLiteral("/tolvane.svg"))) {
    std::fprintf(stderr, "%s: cannot write the SVG icon\n", argv[0]);
    return 1;
  }
  return 0;
}
