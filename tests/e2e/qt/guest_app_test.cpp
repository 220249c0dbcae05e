// Guest test: the running main window against the virtual meter on a real kernel HID stack.
// The window uses the machine's own HID backend (hidraw, hot-plug notices through libudev),
// its real Timer2 watchdog and the Qt event loop; only message boxes and the clock are
// scripted. Everything is checked through the window's own controls and state. Runs inside
// the QEMU guest (run-e2e.sh); skips where there is no /dev/uhid.

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GuiLoop.h"
#include "SimProcess.h"
#include "SimTest.h"
#include "app/qt/FrmTest.h"
#include "app/qt/PanelButton.h"
#include "common/Cp936.h"
#include "decode/FrameDecoder.h"
#include "record/qt/ReadingGridModel.h"
#include "support/EventPump.h"
#include "support/ScriptedDialogs.h"

namespace vexal::e2e {
namespace {

const char kFeatureHistory[] = "60 09 00 00 03 00 00 00 00 00 ";
const char kFeatureEvent[] = "feature 00 60 09 00 00 03 00 00 00 00 rate 2400";
const std::string kGigaOhm = "G" + std::string(kOhm);
const std::string kMegaOhm = "M" + std::string(kOhm);

using SteadyClock = std::chrono::steady_clock;

bool startsWith(const std::string &s, const std::string &prefix) {
  return s.rfind(prefix, 0) == 0;
}

// Milliseconds since the test began, as the time of day of the recorded rows.
class TestClock : public Clock {
 public:
  std::int32_t timeOfDayMs() override {
    return static_cast<std::int32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start_).count());
  }

 private:
  SteadyClock::time_point start_ = SteadyClock::now();
};

// What Vexal should make of the frames the sim sent: the reading and the LCD mirror after
// each, decoded in the order sent by one decoder, as unit and function texts (and digits
// that do not decode) stay from earlier frames.
struct Decoded {
  Reading reading;
  PanelState panel;
};

std::vector<Decoded> decodeSimFrames(const std::vector<std::string> &sent,
                                     const std::string &decimalSeparator) {
  Decoded state;
  FrameDecoder decoder(state.panel, state.reading);
  decoder.setDecimalSeparator(decimalSeparator);
  std::vector<Decoded> after;
  for (const std::string &hex : sent) {
    decoder.ShowDataKorv(hex);
    after.push_back(state);
  }
  return after;
}

// Names of the display elements whose look differs between two panels (the link pictures,
// which flip with every frame, aside).
std::string panelDifferences(const PanelState &a, const PanelState &b) {
  std::string names;
  for (std::size_t i = 0; i < kElementCount; ++i) {
    const auto e = static_cast<Element>(i);
    if (!isDigitElement(e) && !isClearable(e)) continue;
    if (a.visible(e) != b.visible(e) || (isDigitElement(e) && a.digit(e) != b.digit(e)))
      names += " " + std::string(elementName(e));
  }
  return names;
}

// A resistance reading in ohms ("620.0" MΩ, "1.534" GΩ); nothing for other units.
std::optional<double> ohms(const TableRow &row) {
  if (!row.value || !row.unit) return std::nullopt;
  const double v = std::strtod(row.value->c_str(), nullptr);
  if (*row.unit == kMegaOhm) return v * 1e6;
  if (*row.unit == kGigaOhm) return v * 1e9;
  return std::nullopt;
}

class AppOnHidraw : public SimTest {
 protected:
  // Closing the window with the link open must stop its reading threads, not hang.
  void closeProgram() override { frm_.reset(); }

  TFrmTest &startVexal() {
    frm_ = std::make_unique<TFrmTest>(TFrmTest::Services{&clock_, &dialogs_});
    return *frm_;
  }

  bool pumpUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout) {
    return test_events::pumpUntil(done, timeout);
  }
  void pumpFor(std::chrono::milliseconds duration) {
    pumpUntil([] { return false; }, duration);
  }

  // The window's controls.
  std::vector<std::string> devList() const {
    std::vector<std::string> lines;
    for (int i = 0; i < frm_->DevListBox->count(); ++i)
      lines.push_back(frm_->DevListBox->item(i)->text().toStdString());
    return lines;
  }
  bool cableSelected() const {
    const QListWidgetItem *item = frm_->DevListBox->currentItem();
    return frm_->DevListBox->currentRow() >= 0 && item && item->text() == kCableName;
  }
  int history(const std::string &prefix) const {
    int n = 0;
    for (int i = 0; i < frm_->HistoryListBox->count(); ++i)
      n += startsWith(frm_->HistoryListBox->item(i)->text().toStdString(), prefix);
    return n;
  }
  std::string lastHistory() const {
    const int n = frm_->HistoryListBox->count();
    return n == 0 ? "" : frm_->HistoryListBox->item(n - 1)->text().toStdString();
  }
  std::string caption() const { return frm_->Panel2->caption().toStdString(); }
  bool usbConDown() const { return frm_->USBCon->isChecked(); }
  std::size_t rows() const { return frm_->session().cds1.rowCount(); }
  // The device list and the history, for failure messages.
  std::string state() const {
    std::string text =
        "DevListBox (current " + std::to_string(frm_->DevListBox->currentRow()) + "):";
    for (const std::string &l : devList()) text += " [" + l + "]";
    text += "\nHistoryListBox:";
    for (int i = 0; i < frm_->HistoryListBox->count(); ++i)
      text += "\n  " + frm_->HistoryListBox->item(i)->text().toStdString();
    return text;
  }

  static int countEvents(const SimProcess &sim, const std::string &prefix, std::size_t from = 0) {
    const auto ev = sim.events();
    return static_cast<int>(
        std::count_if(ev.begin() + std::min(from, ev.size()), ev.end(),
                      [&](const std::string &l) { return startsWith(l, prefix); }));
  }

  // Waits until the cable is listed and selected, then presses "Connect" as a user does.
  void connectByClick(SimProcess &sim) {
    ASSERT_TRUE(pumpUntil([&] { return cableSelected(); }, 10s)) << state();
    const int features = history(kFeatureHistory);
    QTest::mouseClick(frm_->Panel2, Qt::LeftButton);
    EXPECT_EQ(caption(), "Disconnect");
    EXPECT_TRUE(usbConDown());
    EXPECT_FALSE(frm_->Comset->isEnabled());
    EXPECT_FALSE(frm_->Timer2->isActive()) << "the watchdog waits for the first decoded frame";
    EXPECT_EQ(history(kFeatureHistory), features + 1);
    EXPECT_EQ(lastHistory(), kFeatureHistory);
    EXPECT_TRUE(pumpUntil([&] { return countEvents(sim, kFeatureEvent) > 0; }, 5s))
        << "the cable receives the line rate 2400";
    EXPECT_GE(sim.waitForEvent("sending", 1s), 0);
  }

  // Every row from `first` on is a frame the sim sent, decoded as Vexal decodes it, in the
  // order sent and each frame recorded once at most. Returns the index of each row's frame
  // among those sent.
  std::vector<std::size_t> expectRowsAreSimFrames(const std::vector<Decoded> &sent,
                                                  std::size_t first = 0) {
    std::vector<std::size_t> frameOf;
    std::size_t next = 0;
    const ReadingTable &table = frm_->session().cds1;
    for (std::size_t r = first; r < table.rowCount(); ++r) {
      const TableRow row = table.row(r);
      EXPECT_EQ(row.no, static_cast<std::int32_t>(r + 1)) << "row " << r;
      if (r > 0) {
        EXPECT_GE(*row.timeMs, *table.row(r - 1).timeMs) << "row " << r;
      }
      bool found = false;
      while (!found && next < sent.size()) {
        const Reading &expected = sent[next].reading;
        found = row.value.value_or("") == expected.ValueText &&
                row.unit.value_or("") == expected.UnitText &&
                row.vRange.value_or("") == expected.FunctionText &&
                row.iRange.value_or("") == expected.ModeText;
        if (found) frameOf.push_back(next);
        ++next;
      }
      EXPECT_TRUE(found) << "row " << r << " (" << row.value.value_or("-") << " "
                         << cp936ToUtf8(row.unit.value_or("-"))
                         << ") is not one of the frames the sim sent, in order";
      if (!found) break;
    }
    return frameOf;
  }
  std::vector<Decoded> simFrames(const SimProcess &sim) const {
    return decodeSimFrames(sim.framesSent(), frm_->LocaleDecimalSeparator);
  }

  // Presses "Disconnect" at whatever moment the test has reached.
  void disconnectByClickAndExpectQuiet(SimProcess &sim) {
    QTest::mouseClick(frm_->Panel2, Qt::LeftButton);
    expectReleasedAndQuiet(sim);
  }

  // Presses "Disconnect" just as a frame ends: all its bytes are in, and the report that
  // closes it waits in the hand-over while the click stops reading. Delivered during the
  // stop, it completes a frame, and that frame must not wake the watchdog again.
  void disconnectByClickAtFrameEndAndExpectQuiet(SimProcess &sim) {
    const FrameAssembler &assembler = frm_->session().assembler;
    ASSERT_TRUE(pumpUntil([&] { return assembler.FrameBuffer().size() >= 44; }, 5s));
    QThread::msleep(60);  // the closing report arrives 12 ms later and is handed over
    const std::size_t recorded = rows();
    QTest::mouseClick(frm_->Panel2, Qt::LeftButton);
    std::cout << "[ info ] frames completed during the stop: " << rows() - recorded << "\n";
    expectReleasedAndQuiet(sim);
  }

  // After Disconnect: the link is released, the watchdog is off and nothing is read or
  // re-opened any more.
  void expectReleasedAndQuiet(SimProcess &sim) {
    EXPECT_EQ(caption(), "Connect");
    EXPECT_FALSE(usbConDown());
    EXPECT_FALSE(frm_->Timer2->isActive());
    EXPECT_TRUE(frm_->Comset->isEnabled());
    pumpFor(300ms);  // a report handed over during the stop may still complete a frame
    const std::size_t recorded = rows();
    const int features = countEvents(sim, "feature");
    const int lines = frm_->HistoryListBox->count();
    pumpFor(2500ms);
    EXPECT_EQ(rows(), recorded) << "no row after Disconnect";
    EXPECT_FALSE(frm_->Timer2->isActive()) << "the watchdog stays off after Disconnect";
    EXPECT_EQ(countEvents(sim, "feature"), features) << "and does not re-open the link";
    EXPECT_EQ(frm_->HistoryListBox->count(), lines) << state();
    EXPECT_EQ(caption(), "Connect");
  }

  TestClock clock_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<TFrmTest> frm_;
};

TEST_F(AppOnHidraw, ListsTheCableAmongOtherDevicesAndConnectsToIt) {
  startVexal();
  pumpFor(200ms);
  // No cable yet: Connect says so and the link stays released.
  QTest::mouseClick(frm_->Panel2, Qt::LeftButton);
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, QString::fromLatin1(kCableMissingText));
  EXPECT_EQ(dialogs_.boxes[0].icon, BoxIcon::Information);
  EXPECT_EQ(caption(), "Connect");
  EXPECT_FALSE(usbConDown());
  ASSERT_EQ(frm_->HistoryListBox->count(), 1);
  EXPECT_TRUE(frm_->HistoryListBox->item(0)->text().startsWith(
      QStringLiteral("NO CABLE: no \"USB to Serial\" among the ")));

  // Plugged in while the window runs: the cable, an unrelated device, and a second
  // "USB to Serial" that reports a serial number.
  SimProcess &cable = startSim({"--scenario", "steady", "--other"});
  SimProcess &serialCable = startSim({"--scenario", "steady", "--serial", "SN42"});
  ASSERT_TRUE(pumpUntil([&] { return cableSelected() && devList().size() >= 3; }, 10s)) << state();
  const auto lines = devList();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(kCableName)), 1) << state();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "HID Test Gadget"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "USB to Serial (Serial=SN42)"), lines.end());
  EXPECT_EQ(history("Arrival of USB to Serial (Serial=SN42)"), 1) << state();
  EXPECT_EQ(history("Arrival of HID Test Gadget"), 1) << state();
  EXPECT_TRUE(pumpUntil([&] { return history("Arrival of USB to Serial") == 2; }, 5s))
      << "an arrival line for each cable\n"
      << state();

  connectByClick(cable);
  ASSERT_TRUE(pumpUntil([&] { return rows() >= 2; }, 10s)) << state();
  EXPECT_EQ(countEvents(serialCable, "feature"), 0) << "the cable with a serial number is left";
  EXPECT_EQ(frm_->session().reading.ValueText, "12.34");
  EXPECT_EQ(frm_->session().reading.UnitText, kGigaOhm);
  EXPECT_EQ(dialogs_.boxes.size(), 1u);
}

TEST_F(AppOnHidraw, ConnectRecordsThePolarisationIndexTestAndDisconnectStops) {
  SimProcess &sim = startSim({"--scenario", "pi", "--repeats", "1"});
  startVexal();
  connectByClick(sim);

  // The scenario: the resistance rises from 620 MΩ for ten minutes of meter time, one step
  // a frame, then the PI verdict with COMP and GOOD. At the meter's pace it takes ~11 s.
  const ReadingTable &table = frm_->session().cds1;
  auto verdictRecorded = [&] {
    return !table.empty() && table.row(table.rowCount() - 1).iRange == "COMP:GOOD";
  };
  ASSERT_TRUE(pumpUntil(verdictRecorded, 20s))
      << rows() << " rows; the sim sent " << sim.framesSent().size() << " frames";
  EXPECT_TRUE(frm_->Timer2->isActive()) << "decoded frames start the watchdog";

  const std::vector<Decoded> sent = simFrames(sim);
  const std::vector<std::size_t> frameOf = expectRowsAreSimFrames(sent);
  ASSERT_EQ(frameOf.size(), rows());
  EXPECT_GE(rows(), 20u) << "frames at the meter's own pace are not lost (22 sent)";

  // The meter starts at 620 MΩ. The link opens as that frame goes out, and may miss its
  // start.
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0].reading.ValueText, "620.0");
  EXPECT_EQ(sent[0].reading.UnitText, kMegaOhm);
  EXPECT_LE(frameOf[0], 1u) << "the first frame read whole is recorded";
  const TableRow first = table.row(0);
  EXPECT_EQ(first.vRange, "IR:2500 100G" + std::string(kOhm));
  EXPECT_EQ(first.iRange, "PI");
  // Rising resistance; once in GΩ it stays there.
  std::optional<double> previous;
  bool gigaOhms = false;
  for (std::size_t r = 0; r + 1 < rows(); ++r) {
    const TableRow row = table.row(r);
    const auto value = ohms(row);
    ASSERT_TRUE(value.has_value()) << "row " << r;
    if (previous) {
      EXPECT_GE(*value, *previous) << "row " << r;
    }
    previous = value;
    if (gigaOhms) {
      EXPECT_EQ(row.unit, kGigaOhm) << "row " << r;
    }
    gigaOhms |= row.unit == kGigaOhm;
  }
  EXPECT_TRUE(gigaOhms);

  // The current reading and the LCD mirror show the verdict frame.
  const Decoded &verdict = sent[frameOf.back()];
  const Reading &reading = frm_->session().reading;
  EXPECT_EQ(reading.ValueText, verdict.reading.ValueText);
  EXPECT_EQ(reading.ModeText, "COMP:GOOD");
  const PanelState &panel = frm_->session().panel;
  EXPECT_TRUE(panel.visible(Element::labCOMP));
  EXPECT_TRUE(panel.visible(Element::Labgood));
  EXPECT_TRUE(panel.visible(Element::labp1));
  EXPECT_FALSE(panel.visible(Element::Labng));
  EXPECT_EQ(panelDifferences(panel, verdict.panel), "") << "the mirror shows the verdict frame";

  // The grid shows the table, units in readable text.
  ASSERT_EQ(frm_->DataSource1->rowCount(), static_cast<int>(rows()));
  const int last = static_cast<int>(rows()) - 1;
  EXPECT_EQ(frm_->DataSource1->cellText(last, 2).toStdString(), reading.ValueText);
  EXPECT_EQ(frm_->DataSource1->cellText(0, 2).toStdString(), first.value.value_or(""));
  EXPECT_EQ(frm_->DataSource1->cellText(0, 3).toStdString(), cp936ToUtf8(first.unit.value_or("")));

  disconnectByClickAndExpectQuiet(sim);
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(AppOnHidraw, TheLinkRidesOutPlugsPausesAndUnplugs) {
  // A little slower than the meter's pace, so frames arrive as they are sent rather than
  // queued behind the link's hold.
  SimProcess &sim = startSim({"--scenario", "steady", "--period-ms", "650"});
  startVexal();
  // The meter is quiet when the user connects: the link is open and waits for its first
  // frame, with no watchdog yet.
  ASSERT_TRUE(sim.command("stop"));
  ASSERT_GE(sim.waitForEvent("stopped", 5s), 0);
  connectByClick(sim);
  pumpFor(500ms);
  EXPECT_EQ(rows(), 0u);
  EXPECT_FALSE(frm_->Timer2->isActive());

  // An unrelated device arrives: the list is rebuilt around it with the cable selected
  // again, and the cable is read again at once, although no watchdog would restore it.
  ASSERT_TRUE(sim.command("other-plug"));
  ASSERT_TRUE(pumpUntil([&] { return history("Arrival of HID Test Gadget") > 0; }, 10s)) << state();
  EXPECT_EQ(devList().size(), 2u) << state();
  EXPECT_TRUE(cableSelected()) << state();
  EXPECT_TRUE(usbConDown());
  EXPECT_EQ(caption(), "Disconnect");
  ASSERT_TRUE(sim.command("resume"));
  EXPECT_TRUE(pumpUntil([&] { return rows() >= 2; }, 6s))
      << "reading resumes without pressing anything\n"
      << state();
  EXPECT_TRUE(frm_->Timer2->isActive());

  // The unrelated device goes while frames come: the same again, with the watchdog running.
  ASSERT_TRUE(sim.command("other-unplug"));
  ASSERT_TRUE(pumpUntil([&] { return history("Removal of HID Test Gadget") > 0; }, 10s)) << state();
  EXPECT_EQ(devList(), std::vector<std::string>{kCableName}) << state();
  EXPECT_TRUE(cableSelected()) << state();
  std::size_t before = rows();
  EXPECT_TRUE(pumpUntil([&] { return rows() >= before + 2; }, 6s))
      << "reading goes on without pressing anything\n"
      << state();
  EXPECT_EQ(caption(), "Disconnect");

  // The meter stops sending: a second after the last frame the watchdog releases the link,
  // a second later it opens it again with a fresh feature report, and so on.
  std::size_t events = sim.events().size();
  int features = history(kFeatureHistory);
  ASSERT_TRUE(sim.command("stop"));
  ASSERT_TRUE(pumpUntil([&] { return !usbConDown(); }, 5s)) << "released half";
  const auto released = SteadyClock::now();
  const std::size_t silent = rows();
  ASSERT_TRUE(pumpUntil([&] { return usbConDown(); }, 3s)) << "re-opened";
  const double seconds = std::chrono::duration<double>(SteadyClock::now() - released).count();
  EXPECT_GT(seconds, 0.5);
  EXPECT_LT(seconds, 2.0);
  ASSERT_TRUE(pumpUntil([&] { return !usbConDown(); }, 3s)) << "and released again";
  EXPECT_TRUE(frm_->Timer2->isActive());
  EXPECT_EQ(caption(), "Disconnect") << "the watchdog leaves the caption alone";
  EXPECT_EQ(rows(), silent);
  EXPECT_GE(history(kFeatureHistory), features + 3) << "a feature line for every tick";
  EXPECT_GE(countEvents(sim, kFeatureEvent, events), 3) << "a feature report for every tick";
  EXPECT_TRUE(dialogs_.boxes.empty());

  ASSERT_TRUE(sim.command("resume"));
  EXPECT_TRUE(pumpUntil([&] { return rows() > silent + 1; }, 6s)) << "recording resumes";
  EXPECT_TRUE(usbConDown());
  EXPECT_TRUE(frm_->Timer2->isActive());

  // The cable is pulled out halfway through a frame.
  const int arrivals = history("Arrival of USB to Serial");
  const int removals = history("Removal of ");
  ASSERT_TRUE(sim.command("unplug-mid-frame"));
  ASSERT_TRUE(pumpUntil([&] { return history("Removal of ") > removals; }, 10s)) << state();
  EXPECT_EQ(history("Removal of USB to Serial"), 1) << state();
  EXPECT_GE(sim.waitForEvent("unplugged mid-frame", 1s), 0);
  EXPECT_TRUE(pumpUntil([&] { return frm_->DevListBox->currentRow() < 0; }, 5s)) << state();
  EXPECT_TRUE(devList().empty()) << state();
  before = rows();
  pumpFor(2500ms);  // watchdog ticks without a cable: no message, no hang
  EXPECT_EQ(rows(), before);
  EXPECT_TRUE(frm_->Timer2->isActive());
  EXPECT_EQ(caption(), "Disconnect");
  EXPECT_TRUE(dialogs_.boxes.empty());

  // Plugged in again: listed and selected, and the watchdog brings the link back.
  events = sim.events().size();
  features = history(kFeatureHistory);
  ASSERT_TRUE(sim.command("plug"));
  ASSERT_TRUE(pumpUntil([&] { return history("Arrival of USB to Serial") > arrivals; }, 10s))
      << state();
  EXPECT_TRUE(pumpUntil([&] { return cableSelected(); }, 2s)) << state();
  EXPECT_TRUE(pumpUntil([&] { return rows() > before; }, 8s))
      << "the link recovers on the re-plugged cable\n"
      << state();
  EXPECT_GE(countEvents(sim, kFeatureEvent, events), 1);
  EXPECT_GT(history(kFeatureHistory), features);
  EXPECT_EQ(caption(), "Disconnect");
  EXPECT_EQ(frm_->session().reading.ValueText, "12.34");
  expectRowsAreSimFrames(simFrames(sim));

  disconnectByClickAtFrameEndAndExpectQuiet(sim);
  EXPECT_TRUE(dialogs_.boxes.empty());
}

}  // namespace
}  // namespace vexal::e2e
