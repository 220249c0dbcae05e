// vexal-panel-shot: renders the virtual front panel to a PNG file.
//
//   vexal-panel-shot [--frame HEXTEXT]... [--scale N] OUT.png
//
// Without --frame the panel shows its start-up test pattern. Each --frame is decoded in
// turn (as the meter would send them) before the picture is taken. --scale enlarges the
// picture by a whole factor for close inspection.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "common/Cp936.h"
#include "decode/FrameDecoder.h"
#include "decode/PanelState.h"
#include "decode/Reading.h"
#include "decode/qt/PanelRenderer.h"

namespace {

struct Options {
  std::vector<std::string> frames;
  int scale = 1;
  std::string output;
};

int usage() {
  std::fprintf(stderr, "usage: vexal-panel-shot [--frame HEXTEXT]... [--scale N] OUT.png\n");
  return 2;
}

bool parse(int argc, char **argv, Options &options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--frame" || arg == "--scale") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "--frame") {
        options.frames.push_back(value);
      } else {
        try {
          options.scale = std::stoi(value);
        } catch (const std::exception &) {
          return false;
        }
        if (options.scale < 1 || options.scale > 8) return false;
      }
    } else if (!arg.empty() && arg[0] != '-' && options.output.empty()) {
      options.output = arg;
    } else {
      return false;
    }
  }
  return !options.output.empty();
}

QImage scaled(const QImage &image, int scale) {
  if (scale == 1) return image;
  return image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  Options options;
  if (!parse(argc, argv, options)) return usage();

  vexal::PanelState panel;
  vexal::Reading reading;
  vexal::FrameDecoder decoder(panel, reading);
  for (const std::string &frame : options.frames) {
    try {
      decoder.ShowDataKorv(frame);
    } catch (const std::exception &error) {
      std::fprintf(stderr, "vexal-panel-shot: frame %s: %s\n", frame.c_str(), error.what());
      return 1;
    }
  }
  if (!options.frames.empty())
    std::printf("value \"%s\" unit \"%s\" function \"%s\" mode \"%s\"\n",
                vexal::cp936ToUtf8(reading.ValueText).c_str(),
                vexal::cp936ToUtf8(reading.UnitText).c_str(),
                vexal::cp936ToUtf8(reading.FunctionText).c_str(),
                vexal::cp936ToUtf8(reading.ModeText).c_str());

  const QImage image = scaled(vexal::renderPanel(panel), options.scale);
  if (!image.save(QString::fromLocal8Bit(options.output.c_str()), "PNG")) {
    std::fprintf(stderr, "vexal-panel-shot: cannot write %s\n", options.output.c_str());
    return 1;
  }
  return 0;
}
