// Save and open of a system file that carries pictures: 24 of them (8 PNG 512 x 384, 8 JPEG
// 640 x 480, 8 BMP 256 x 256) used by 10 panels of 30 widgets. Each is measured beside a raw
// write (or read) of the same bytes in the same run: ratio_to_raw is the system's time over the
// raw time (goals: save <= 2, open <= 3). A further run draws every picture once after the
// open (ratio_to_raw of open plus first draw).
// And the image library manager walked through the forty 4000 x 4000 JPEG pictures of an open
// file: the most memory the process holds during the walk over the memory the open file holds
// (walk_to_open, goal <= 2).
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "benchmarks/BenchmarkMain.h"
#include "benchmarks/FileBenchmark.h"
#include "custom/CPData.h"
#include "core/file/ImageTree.h"
#include "core/system/System.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "platform/Bitmap.h"
#include "ui/images/ImageLibraryManagerDlg.h"

namespace {

// A photograph-like picture: smooth colour fields, rings and grain of that strength, different
// for each seed.
CImage MakePicture(int width, int height, unsigned seed, int grainStrength = 4) {
  std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height) * 4);
  unsigned noise = seed * 2654435761u + 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      const int grain = int((noise >> 16) % unsigned(2 * grainStrength + 1)) - grainStrength;
      const double rings = std::sin(std::hypot(x - width / 2.0, y - height / 3.0) / (9.0 + seed));
      auto clamp = [](double v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
      std::uint8_t* p = &pixels[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
      p[0] = clamp(128 + 90 * rings + grain);                        // blue
      p[1] = clamp(255.0 * y / height + 20 * rings + grain);        // green
      p[2] = clamp(255.0 * x / width - 30 * rings + grain + seed);  // red
      p[3] = 255;
    }
  }
  return CImage::FromBgraPixels(width, height, width * 4, pixels.data());
}

// The file's pictures, each stored in its format, and the panels that use them.
void Populate(CSystem& s) {
  RegisterCustomControls();
  std::vector<CCCImage*> images;
  struct Kind {
    std::int32_t format;
    int width, height;
    const char* folder;
  };
  for (const Kind& kind : {Kind{kImageFormatPng, 512, 384, "PNG"}, Kind{kImageFormatJpeg, 640, 480, "JPEG"},
                           Kind{kImageFormatBmp, 256, 256, "BMP"}}) {
    auto* folder = new CCCImageDirectory(kind.folder);
    s.Images().GetFileImages().AddChild(folder);
    for (int i = 0; i < 8; ++i) {
      auto* image = new CCCImage;
      image->m_name = std::string(kind.folder) + " " + std::to_string(i);
      image->m_format = kind.format;
      image->SetBitmap(MakePicture(kind.width, kind.height, unsigned(images.size())));
      folder->AddChild(image);
      images.push_back(image);
    }
  }
  for (int p = 0; p < 10; ++p) {
    CCPData* panel = s.Panels().AddCustomPanel();
    panel->m_name = "Panel " + std::to_string(p);
    panel->m_pBackgroundImage = images[std::size_t(p) % images.size()];
    for (int i = 0; i < 30; ++i) {
      const int x = (i % 6) * 80, y = (i / 6) * 90;
      CCCImage* image = images[std::size_t(p * 30 + i) % images.size()];
      CCustomControlObject* widget = nullptr;
      switch (i % 5) {
        case 0: {
          auto* bitmap = new CCCBitmap(nullptr, CRect{x, y, x + 70, y + 70});
          bitmap->m_pImage = image;
          widget = bitmap;
          break;
        }
        case 1: {
          auto* knob = new CCCKnob(nullptr, CRect{x, y, x + 60, y + 60});
          knob->m_flags |= kKnobDrawLeds;
          widget = knob;
          break;
        }
        case 2: widget = new CCCFader(nullptr, CRect{x + 20, y, x + 40, y + 85}); break;
        case 3: {
          auto* button = new CCCButton(nullptr, CRect{x, y + 30, x + 70, y + 50});
          button->m_text = "Mute";
          widget = button;
          break;
        }
        default: {
          auto* text = new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags, CRect{x, y, x + 70, y + 20});
          text->m_caption = "Input " + std::to_string(i);
          widget = text;
          break;
        }
      }
      panel->m_widgets.push_back(widget);
    }
  }
}

// Every picture of the tree, depth first.
void CollectImages(const CCCImageDirectory& folder, std::vector<const CCCImage*>& out) {
  for (const CCCImageBase* child : folder.GetChildren()) {
    if (child->IsDirectory()) CollectImages(*static_cast<const CCCImageDirectory*>(child), out);
    else out.push_back(static_cast<const CCCImage*>(child));
  }
}

void BM_SavePictureFile(benchmark::State& state) {
  CSystem s;
  Populate(s);
  file_benchmark::MeasureSave(state, s);
}
BENCHMARK(BM_SavePictureFile)->Unit(benchmark::kMillisecond);

// Open alone (argument 0), or open and the first draw of every picture (argument 1).
void BM_OpenPictureFile(benchmark::State& state) {
  if (state.range(0) == 0) {
    file_benchmark::MeasureOpen(state, Populate);
    return;
  }
  std::vector<const CCCImage*> images;
  file_benchmark::MeasureOpen(state, Populate, [&images](CSystem& s) {
    images.clear();
    CollectImages(s.Images().GetFileImages(), images);
    for (const CCCImage* image : images) benchmark::DoNotOptimize(image->GetBitmap().Width());
  });
}
BENCHMARK(BM_OpenPictureFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The walk: a file of forty pictures, each the bytes of one 4000 x 4000 photograph stored as
// JPEG, opened; then the manager shows each in turn, as a person going down the list does.
// Memory is resident memory against the process before the open; step_ms is one step.
void BM_ManagerWalksLargePictures(benchmark::State& state) {
  constexpr int kCount = 40;
  QTemporaryDir dir;
  const std::string path = dir.filePath("large.ovd").toStdString();
  {
    CSystem writer;
    std::vector<std::uint8_t> jpeg;
    // Grain as a camera's: about 4 MB a picture, as photographs of that size take.
    if (!EncodeBitmap(MakePicture(4000, 4000, 7, 24), BitmapFormat::Jpeg, jpeg)) state.SkipWithError("no JPEG");
    const std::string photo = dir.filePath("photo.jpg").toStdString();
    std::FILE* out = std::fopen(photo.c_str(), "wb");
    if (!out || std::fwrite(jpeg.data(), 1, jpeg.size(), out) != jpeg.size() || std::fclose(out) != 0)
      state.SkipWithError("photo not written");
    CCCImage first;
    if (!first.LoadFromFile(photo, kImageFormatJpeg)) state.SkipWithError("photo not read");
    for (int i = 0; i < kCount; ++i) {
      auto* image = new CCCImage(first);  // the bytes, not the pixels
      image->m_id = MakeUuid();
      image->m_name = "pic" + std::to_string(100000 + i);
      writer.Images().GetFileImages().AddChild(image);
    }
    if (!writer.File().SaveFile(path)) state.SkipWithError("save failed");
  }
  const double fileBytes = double(GetFileSize(path));
  malloc_trim(0);
  if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", clear);
    std::fclose(clear);
  }
  const double before = file_benchmark::ResidentBytes();
  CSystem system;
  if (!system.File().OpenFile(path)) state.SkipWithError("open failed");
  const double opened = file_benchmark::ResidentBytes() - before;
  CImageLibraryManagerDlg manager(&system.Images());
  manager.show();
  manager.FileRootItem()->setExpanded(true);
  std::vector<double> steps;
  for (auto _ : state) {
    for (CCCImageBase* node : system.Images().GetFileImages().GetChildren()) {
      const auto t = file_benchmark::Clock::now();
      manager.Tree()->setCurrentItem(manager.ItemOf(node));
      QApplication::processEvents();
      steps.push_back(file_benchmark::Seconds(t) * 1000);
    }
  }
  const double peak = file_benchmark::ResidentBytes("VmHWM:") - before;
  state.counters["file_mb"] = fileBytes / 1e6;
  state.counters["open_mb"] = opened / 1e6;
  state.counters["peak_mb"] = peak / 1e6;
  state.counters["walk_to_open"] = peak / opened;
  state.counters["decoded_mb"] = double(GetDecodedPictureBytes()) / 1e6;
  state.counters["step_ms"] = file_benchmark::Median(steps);
}
BENCHMARK(BM_ManagerWalksLargePictures)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return RunBenchmarks<QApplication>(argc, argv); }
