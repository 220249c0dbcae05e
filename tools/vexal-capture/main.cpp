// vexal-capture: records the meter cable's raw input reports into a capture file, for bug
// reports and for vexal-replay.
//
//   vexal-capture [--list] [--index N] [--out FILE] [--seconds N]
//
// Lists the HID devices on standard error, picks the "USB to Serial" cable (or the device
// at --index N), sends it the 2400-baud feature report and writes every input report until
// Ctrl-C, --seconds N, or the device goes away.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <array>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "link/CableCapture.h"
#include "link/HidControllerClass.h"

namespace {

using namespace vexal;
using Clock = std::chrono::steady_clock;

// How long reads may fail without a report in between before the device counts as lost,
// even without a removal notice (which normally ends the capture first).
constexpr std::chrono::seconds kErrorLimit{1};

int gSignalFd = -1;

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(gSignalFd, &byte, 1);
}

struct Options {
  bool list = false;
  int index = -1;
  std::string out;
  std::optional<long> seconds;
};

void usage() {
  std::cerr << "usage: vexal-capture [--list] [--index N] [--out FILE] [--seconds N]\n"
               "  --list       list the HID devices and exit\n"
               "  --index N    capture from device N of the list (default: the cable,\n"
               "               \"USB to Serial\")\n"
               "  --out FILE   write the capture to FILE (default: standard output)\n"
               "  --seconds N  stop after N seconds (default: at Ctrl-C)\n";
}

std::optional<long> number(const char *text) {
  char *end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != 0 || value < 0) return std::nullopt;
  return value;
}

// 2 = bad usage, 0 = parsed.
int parse(int argc, char **argv, Options &options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--list") {
      options.list = true;
    } else if (arg == "--index" && hasValue) {
      const auto n = number(argv[++i]);
      if (!n) return 2;
      options.index = static_cast<int>(*n);
    } else if (arg == "--out" && hasValue) {
      options.out = argv[++i];
    } else if (arg == "--seconds" && hasValue) {
      options.seconds = number(argv[++i]);
      if (!options.seconds) return 2;
    } else {
      return 2;
    }
  }
  return 0;
}

std::string hexBytes(const std::uint8_t *bytes, std::size_t size) {
  std::string text;
  char digits[4];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(digits, sizeof digits, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += digits;
  }
  return text;
}

std::string localTime() {
  const std::time_t now = std::time(nullptr);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  return text;
}

void drain(int fd) {
  char buffer[64];
  while (::read(fd, buffer, sizeof buffer) > 0) {
  }
}

// The program's GUI thread: carries out hand-overs and change notices until asked to stop.
// Returns the exit status.
int captureLoop(THidDeviceController &controller, THidDevice &cable, int wakeFd, int signalFd,
                std::optional<Clock::time_point> deadline,
                const std::optional<Clock::time_point> &failingSince) {
  for (;;) {
    int timeoutMs = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
      if (left.count() <= 0) return 0;
      timeoutMs = static_cast<int>(left.count());
    }
    pollfd fds[3] = {
        {wakeFd, POLLIN, 0}, {signalFd, POLLIN, 0}, {controller.ChangeNoticeFd(), POLLIN, 0}};
    if (::poll(fds, 3, timeoutMs) < 0 && errno != EINTR) return 1;
    if (fds[0].revents & POLLIN) drain(wakeFd);
    controller.processHandOvers();
    if (fds[1].revents & POLLIN) return 0;
    if (fds[2].revents & POLLIN) controller.HandleChangeNotice();
    if (!cable.Attached()) return 1;
    if (failingSince && Clock::now() - *failingSince >= kErrorLimit) return 1;
  }
}

}  // namespace

int main(int argc, char **argv) {
  Options options;
  if (parse(argc, argv, options) != 0) {
    usage();
    return 2;
  }

  THidDeviceController controller(makeSystemHidPlatform());
  if (!controller.HidAvailable()) {
    std::cerr << "vexal-capture: the HID services of this system cannot be used\n";
    return 1;
  }
  std::optional<Clock::time_point> failingSince;  // reads fail since then, no report since
  std::string firstError;
  controller.SetOnDeviceDataError([&](THidDevice &, std::uint32_t code) {
    if (!failingSince) {
      failingSince = Clock::now();
      firstError = controller.Platform().ErrorText(code) + " (" + std::to_string(code) + ")";
    }
  });

  const std::vector<CaptureCandidate> candidates = listCaptureCandidates(controller);
  std::ostream &listing = options.list ? std::cout : std::cerr;
  if (candidates.empty()) listing << "No HID devices found.\n";
  for (const CaptureCandidate &c : candidates) listing << describeCandidate(c) << '\n';
  if (options.list) return 0;

  const int index = chooseCaptureIndex(candidates, options.index);
  if (index < 0) {
    std::cerr << (options.index >= 0 ? "vexal-capture: no device with that index\n"
                                     : "vexal-capture: no \"USB to Serial\" cable found\n");
    return 1;
  }
  const CaptureCandidate &chosen = candidates[static_cast<std::size_t>(
      std::find_if(candidates.begin(), candidates.end(),
                   [&](const CaptureCandidate &c) { return c.index == index; }) -
      candidates.begin())];
  THidDevice *cable = controller.ClaimByIndex(index);
  if (cable == nullptr) {
    std::cerr << "vexal-capture: the device cannot be taken\n";
    return 1;
  }
  if (!cable->ReadWriteAccess()) {
    std::cerr << "vexal-capture: this user may not read " << chosen.path
              << ". Install Vexal's udev rule for the cable (or run as root), then unplug the "
                 "cable and plug it in again.\n";
    cable->Release();
    return 1;
  }

  std::ofstream file;
  if (!options.out.empty()) {
    file.open(options.out, std::ios::binary | std::ios::trunc);
    if (!file) {
      std::cerr << "vexal-capture: cannot write " << options.out << '\n';
      cable->Release();
      return 1;
    }
  }
  CaptureWriter writer(options.out.empty() ? std::cout : file);
  writer.Comment("vexal-capture " + localTime() + ": " + describeCandidate(chosen));

  std::array<std::uint8_t, 10> feature = kCableFeatureReport;
  const bool sent = cable->SendFeature(feature.data(), feature.size());
  writer.Comment("feature report " + hexBytes(feature.data(), feature.size()) +
                 (sent ? ": sent" : ": refused by the device"));
  if (!sent) std::cerr << "vexal-capture: the cable refused the line-rate feature report\n";

  int wakePipe[2];
  int signalPipe[2];
  if (::pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0 ||
      ::pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    std::cerr << "vexal-capture: " << std::strerror(errno) << '\n';
    cable->Release();
    return 1;
  }
  gSignalFd = signalPipe[1];
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  controller.SetHandOverWake([fd = wakePipe[1]] {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
  });

  cable->SetDataHandler(
      [&](THidDevice &, std::uint8_t id, const std::uint8_t *data, std::uint16_t size) {
        failingSince.reset();
        writer.Report(Clock::now(), id, data, size);
      });
  std::optional<Clock::time_point> deadline;
  if (options.seconds) deadline = Clock::now() + std::chrono::seconds(*options.seconds);
  int status = captureLoop(controller, *cable, wakePipe[0], signalPipe[0], deadline, failingSince);

  cable->SetDataHandler(nullptr);
  if (status != 0) {
    const std::string why = cable->Attached() ? "reading failed: " + firstError : "device removed";
    writer.Comment(why);
    std::cerr << "vexal-capture: " << why << '\n';
  }
  std::cerr << "vexal-capture: " << writer.Reports() << " reports\n";
  cable->Release();
  controller.SetHandOverWake(nullptr);
  return status;
}
