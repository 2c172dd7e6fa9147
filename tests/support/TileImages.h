// Offscreen renderings of device tiles for tests checked by pixels.
#pragma once

#include <gtest/gtest.h>

#include "core/model/Device.h"
#include "platform/Graphics.h"
#include "platform/Image.h"

// A picture of that size filled with one colour.
inline CImage BlankImage(int w, int h, CColour fill) {
  CImage image(w, h);
  image.Fill(fill);
  return image;
}

// The device's rack tile, width x 30, drawn over fill with the blink phase.
inline CImage RenderTile(CDevice& d, int width, int phase, CColour fill) {
  CImage image = BlankImage(width, 30, fill);
  Graphics g(image);
  EXPECT_EQ(d.DrawTile(&g, CRect{0, 0, width, 30}, phase), 30);
  return image;
}

// Pixels of the area brighter than grey in every channel (drawn white text).
inline int BrightPixels(const CImage& image, const CRect& area) {
  int n = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      const CColour c = image.GetPixel(x, y);
      if (c.R() > 180 && c.G() > 180 && c.B() > 180) ++n;
    }
  return n;
}
