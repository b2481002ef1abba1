#include "ui/services/qt_clipboard.h"

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QImageReader>
#include <QThread>
#include <QUrl>
#include <new>

namespace lw {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
void PutLe32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Where the pixels of a packed DIB begin, counted from its header.
uint64_t PackedPixelOffset(const uint8_t* dib) {
  uint32_t bits = dib[14] | dib[15] << 8;
  uint64_t entries = Le32(dib + 32);
  if (entries == 0 && bits <= 8) entries = uint64_t{1} << bits;
  return kInfoHeaderSize + 4 * entries + (Le32(dib + 16) == 3 ? 12 : 0);
}

// A BMP file around a packed DIB.
QByteArray BmpFile(const std::vector<uint8_t>& dib) {
  QByteArray file(kFileHeaderSize, '\0');
  file[0] = 'B';
  file[1] = 'M';
  PutLe32(file.data() + 2, static_cast<uint32_t>(kFileHeaderSize + dib.size()));
  PutLe32(file.data() + 10, static_cast<uint32_t>(kFileHeaderSize + PackedPixelOffset(dib.data())));
  file.append(reinterpret_cast<const char*>(dib.data()), static_cast<qsizetype>(dib.size()));
  return file;
}

// A BMP file or bare DIB whose pixels follow its 40-byte header and colour table: the engine
// reads it as it is. Anything else (other headers, pixels elsewhere) is left to Qt's reader.
bool TakePackedDib(const QByteArray& data, std::vector<uint8_t>* dib) {
  auto bytes = reinterpret_cast<const uint8_t*>(data.constData());
  qsizetype size = data.size();
  qsizetype start = 0;
  if (size >= kFileHeaderSize + 4 && bytes[0] == 'B' && bytes[1] == 'M') start = kFileHeaderSize;
  if (size - start < static_cast<qsizetype>(kInfoHeaderSize) ||
      Le32(bytes + start) != kInfoHeaderSize) {
    return false;
  }
  if (start && Le32(bytes + 10) != kFileHeaderSize + PackedPixelOffset(bytes + start)) return false;
  dib->assign(bytes + start, bytes + size);
  return true;
}

bool IsBmpType(const QString& format) {
  return format == QLatin1String("image/bmp") || format == QLatin1String("image/x-bmp");
}

// The first image among the mime data's formats that Qt can read.
QImage ReadAnyImage(const QMimeData* mime) {
  if (mime->hasImage()) {
    QImage image = qvariant_cast<QImage>(mime->imageData());
    if (!image.isNull()) return image;
  }
  for (const QString& format : mime->formats()) {
    if (!format.startsWith(QLatin1String("image/"))) continue;
    QImage image = QImage::fromData(mime->data(format));
    if (!image.isNull()) return image;
  }
  if (mime->hasUrls()) {
    for (const QUrl& url : mime->urls()) {
      if (!url.isLocalFile()) continue;
      QImageReader reader(url.toLocalFile());
      QImage image = reader.read();
      if (!image.isNull()) return image;
    }
  }
  return {};
}

// By the name only: enabling the command must not read files.
bool UrlLooksLikeImage(const QUrl& url) {
  if (!url.isLocalFile()) return false;
  QString path = url.toLocalFile();
  QByteArray suffix = path.mid(path.lastIndexOf('.') + 1).toLower().toLatin1();
  return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix);
}

bool OnInterfaceThread() { return qApp && QThread::currentThread() == qApp->thread(); }

class QtClipboard : public Clipboard {
 public:
  bool Put(WindowHandle, const ClipboardContents& contents) override {
    if (!OnInterfaceThread()) return false;
    QMimeData* mime = MimeDataFromContents(contents);
    if (!mime) return false;
    QApplication::clipboard()->setMimeData(mime);
    return true;
  }
  ClipboardContents Get(WindowHandle) override {
    if (!OnInterfaceThread()) return {};
    return ContentsFromMimeData(QApplication::clipboard()->mimeData());
  }
};

}  // namespace

Clipboard& DesktopClipboard() {
  static QtClipboard clipboard;
  return clipboard;
}

std::vector<uint8_t> PackedDibFromImage(const QImage& source) {
  if (source.isNull()) return {};
  const bool alpha = source.hasAlphaChannel();
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  if (image.isNull()) return {};
  const uint64_t width = static_cast<uint64_t>(image.width());
  const uint64_t height = static_cast<uint64_t>(image.height());
  const uint64_t stride = 4 * width;
  std::vector<uint8_t> dib;
  try {
    dib.assign(kInfoHeaderSize + stride * height, 0);
  } catch (const std::bad_alloc&) {
    return {};
  }
  uint8_t* p = dib.data();
  auto put = [](uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
  };
  put(p, kInfoHeaderSize);
  put(p + 4, static_cast<uint32_t>(width));
  put(p + 8, static_cast<uint32_t>(height));  // bottom-up
  p[12] = 1;
  p[14] = 32;
  for (uint64_t y = 0; y < height; ++y) {
    auto row = reinterpret_cast<const QRgb*>(image.constScanLine(static_cast<int>(y)));
    uint8_t* to = p + kInfoHeaderSize + (height - 1 - y) * stride;
    for (uint64_t x = 0; x < width; ++x) {
      QRgb c = row[x];
      to[4 * x] = static_cast<uint8_t>(qBlue(c));
      to[4 * x + 1] = static_cast<uint8_t>(qGreen(c));
      to[4 * x + 2] = static_cast<uint8_t>(qRed(c));
      to[4 * x + 3] = alpha ? static_cast<uint8_t>(qAlpha(c)) : 0;
    }
  }
  return dib;
}

QMimeData* MimeDataFromContents(const ClipboardContents& contents) {
  auto* mime = new QMimeData;
  if (!contents.frames.empty()) {
    mime->setData(QString::fromLatin1(kFramesMimeType),
                  QByteArray(reinterpret_cast<const char*>(contents.frames.data()),
                             static_cast<qsizetype>(contents.frames.size())));
  }
  if (contents.dib.size() >= kInfoHeaderSize) {
    QByteArray bmp = BmpFile(contents.dib);
    QImage image = QImage::fromData(bmp, "BMP");
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
      delete mime;
      return nullptr;
    }
    mime->setData(QStringLiteral("image/png"), png);
    mime->setData(QStringLiteral("image/bmp"), bmp);
  }
  return mime;
}

ClipboardContents ContentsFromMimeData(const QMimeData* mime) {
  ClipboardContents contents;
  if (!mime) return contents;
  try {
    QByteArray frames = mime->data(QString::fromLatin1(kFramesMimeType));
    contents.frames.assign(frames.begin(), frames.end());
    for (const QString& format : mime->formats()) {
      if (IsBmpType(format) && TakePackedDib(mime->data(format), &contents.dib)) return contents;
    }
    contents.dib = PackedDibFromImage(ReadAnyImage(mime));
  } catch (const std::bad_alloc&) {
    return {};
  }
  return contents;
}

bool MimeDataOffersFrames(const QMimeData* mime) {
  if (!mime) return false;
  if (mime->hasImage() || mime->hasFormat(QString::fromLatin1(kFramesMimeType))) return true;
  for (const QString& format : mime->formats())
    if (format.startsWith(QLatin1String("image/"))) return true;
  if (mime->hasUrls()) {
    for (const QUrl& url : mime->urls())
      if (UrlLooksLikeImage(url)) return true;
  }
  return false;
}

}  // namespace lw
