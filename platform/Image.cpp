// Offscreen pictures on QImage, kept premultiplied for fast drawing.
#include "platform/Image.h"

#include <QBuffer>
#include <QImage>
#include <cstring>

namespace {
// Every picture of ours is 96 dots per inch, so point sizes turn into the same pixel sizes
// in an offscreen image as in a window at the standard resolution.
constexpr int kDotsPerMeter96 = 3780;

QImage MakeImage(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return image;
  image.fill(Qt::transparent);
  image.setDotsPerMeterX(kDotsPerMeter96);
  image.setDotsPerMeterY(kDotsPerMeter96);
  return image;
}
}  // namespace

CImage::CImage() : m_image(std::make_unique<QImage>()) {}

CImage::CImage(int width, int height) : m_image(std::make_unique<QImage>()) {
  if (width > 0 && height > 0) *m_image = MakeImage(width, height);
}

CImage::CImage(const CImage& other) : m_image(std::make_unique<QImage>(*other.m_image)) {}

CImage::CImage(CImage&& other) noexcept : m_image(std::make_unique<QImage>()) {
  m_image->swap(*other.m_image);
}

CImage& CImage::operator=(const CImage& other) {
  if (this != &other) *m_image = *other.m_image;
  return *this;
}

CImage& CImage::operator=(CImage&& other) noexcept {
  if (this != &other) {
    *m_image = QImage();
    m_image->swap(*other.m_image);
  }
  return *this;
}

CImage::~CImage() = default;

CImage CImage::FromBgraPixels(int width, int height, int strideBytes, const std::uint8_t* pixels) {
  CImage result;
  if (width <= 0 || height <= 0 || !pixels || strideBytes < width * 4) return result;
  QImage straight(width, height, QImage::Format_ARGB32);
  if (straight.isNull()) return result;
  // Format_ARGB32 keeps each pixel as one native-endian ARGB word, which on a little-endian
  // machine is the byte order B, G, R, A.
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = pixels + std::size_t(y) * std::size_t(strideBytes);
    auto* dst = reinterpret_cast<std::uint32_t*>(straight.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = src + x * 4;
      dst[x] = (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
    }
  }
  *result.m_image = straight.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  result.m_image->setDotsPerMeterX(kDotsPerMeter96);
  result.m_image->setDotsPerMeterY(kDotsPerMeter96);
  return result;
}

bool CImage::IsNull() const { return m_image->isNull(); }
bool CImage::IsShared() const { return !m_image->isNull() && !m_image->isDetached(); }
int CImage::Width() const { return m_image->width(); }
int CImage::Height() const { return m_image->height(); }

bool CImage::GetPixel(int x, int y, CColour& out) const {
  if (!m_image->valid(x, y)) return false;
  QRgb p = qUnpremultiply(m_image->pixel(x, y));
  out = CColour::FromArgb(std::uint8_t(qAlpha(p)), std::uint8_t(qRed(p)), std::uint8_t(qGreen(p)),
                          std::uint8_t(qBlue(p)));
  return true;
}

CColour CImage::GetPixel(int x, int y) const {
  CColour c{0};
  GetPixel(x, y, c);
  return c;
}

void CImage::SetPixel(int x, int y, CColour colour) {
  if (!m_image->valid(x, y)) return;
  m_image->setPixel(x, y, qPremultiply(colour.argb));
}

void CImage::Fill(CColour colour) {
  if (!m_image->isNull()) m_image->fill(QColor::fromRgba(colour.argb));
}

std::vector<std::uint8_t> CImage::EncodePng() const {
  std::vector<std::uint8_t> bytes;
  if (m_image->isNull()) return bytes;
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  if (!m_image->save(&buffer, "PNG")) return bytes;
  bytes.resize(std::size_t(data.size()));
  if (!bytes.empty()) std::memcpy(bytes.data(), data.constData(), bytes.size());
  return bytes;
}

bool CImage::SavePng(const std::string& path) const {
  return !m_image->isNull() && m_image->save(QString::fromStdString(path), "PNG");
}

QImage& CImage::Native() { return *m_image; }
const QImage& CImage::Native() const { return *m_image; }
