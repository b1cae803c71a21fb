// Audio faults while the whole program runs on the headless display and the capture device: no
// device for the intro's tune, the device going away under the intro's tune and under the
// magazine's song, and coming back. Every run is driven by scripted input to the end, which shows
// the loops kept running and reading it; the faults are injected from the frame hook, which also
// records the loudest sample heard during each frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/quellmark.h"
#include "display/audio.h"
#include "display/headless.h"
#include "render/buttons.h"
#include "sid/sid_player.h"

namespace {

enum class Fault { Remove, Restore };

std::map<int, Fault> Faults;  // by the frame after which they happen
std::vector<int> Peak;        // Peak[f]: the loudest sample played during frame f

void HearAndInject() {
  std::vector<int16_t> pcm(2 * MixRate / 60);
  AudioCapturePull(pcm.data(), MixRate / 60);
  int loudest = 0;
  for (int16_t v : pcm) loudest = std::max(loudest, std::abs(int{v}));
  Peak.push_back(loudest);
  const auto fault = Faults.find(Headless.Frame);
  if (fault == Faults.end()) return;
  if (fault->second == Fault::Remove)
    AudioFaultRemoveDevice();
  else
    AudioFaultRestoreDevice();
}

int RunWithFaults(const std::string& script, std::map<int, Fault> faults,
                  bool deviceAtStart = true) {
  HeadlessReset();
  AudioSetBackend(AudioBackend::Capture);
  SidResetPlayer();  // a fresh process: no box shown yet
  if (!deviceAtStart) AudioFaultRemoveDevice();
  Faults = std::move(faults);
  Peak.assign(1, 0);  // frames count from 1
  Headless.FrameHook = HearAndInject;
  std::string error;
  EXPECT_TRUE(HeadlessLoadScript(script, &error)) << error;
  const int status = RunQuellmark();
  Headless.FrameHook = nullptr;
  AudioSetBackend(AudioBackend::Sdl);
  return status;
}

// The loudest sample over frames first..last.
int Loudest(int first, int last) {
  return *std::max_element(Peak.begin() + first, Peak.begin() + last + 1);
}

// At the default 1/60 s the intro's tune starts at frame 89; an intro ended at frame 200 is
// followed by 174 frames of flashes, the first song, and the main loop from frame 375. Skin 1's
// song 2 button is at (101, 141). F1 and F2 are both pressed so that one of them changes the
// tune, whichever the intro picked.
constexpr char TunesChosen[] = "160 tap F1\n170 tap F2\n";
constexpr char Magazine[] = "200 click\n490 move 101 141\n491 click\n600 key Escape\n";

// Each run: the faults by frame, whether a device is there at the start, frame ranges that must
// be heard (loudest sample above 500) or silent, and the one message box expected, if any.
TEST(AudioFaults, TheLoopsRunOnAndTheSoundComesBackWithTheDevice) {
  struct Range {
    int First, Last;
    bool Heard;
  };
  const struct {
    const char* Name;
    std::string Script;
    std::map<int, Fault> Faults;
    bool DeviceAtStart;
    std::vector<Range> Ranges;
    const char* Message;  // "" for none
  } rows[] = {
      // Lost under the tune, silent after it came back until a new tune is chosen; lost under the
      // song, which goes silent without a box, and heard again with the song chosen afterwards.
      {"removed under the tune and the song",
       std::string(TunesChosen) + Magazine,
       {{120, Fault::Remove}, {150, Fault::Restore}, {450, Fault::Remove}, {480, Fault::Restore}},
       true,
       {{100, 120, true},
        {122, 160, false},
        {175, 200, true},
        {400, 450, true},
        {452, 491, false},
        {500, 600, true}},
       "the audio device was removed"},
      {"no device for the tune",
       Magazine,
       {{150, Fault::Restore}},
       false,
       {{1, 200, false}, {400, 490, true}, {500, 600, true}},
       "could not be opened"},
      // Gone during the closing flashes, when nothing is open: the first song cannot start,
      // quietly.
      {"no device for the first song",
       Magazine,
       {{250, Fault::Remove}, {480, Fault::Restore}},
       true,
       {{100, 200, true}, {250, 491, false}, {500, 600, true}},
       ""},
  };
  for (const auto& row : rows) {
    ASSERT_EQ(RunWithFaults(row.Script, row.Faults, row.DeviceAtStart), 0) << row.Name;
    EXPECT_EQ(Headless.Frame, 600) << row.Name;
    EXPECT_EQ(Buttons.ButtonState[8], 1) << row.Name;  // song 2 was chosen
    for (const Range& r : row.Ranges) {
      const int loudest = Loudest(r.First, r.Last);
      EXPECT_TRUE(r.Heard ? loudest > 500 : loudest == 0)
          << row.Name << ": frames " << r.First << ".." << r.Last << " peak " << loudest;
    }
    ASSERT_EQ(Headless.Messages.size(), *row.Message ? 1u : 0u) << row.Name;
    if (*row.Message) {
      EXPECT_EQ(Headless.Messages[0].caption, "Error");
      EXPECT_NE(Headless.Messages[0].text.find(row.Message), std::string::npos) << row.Name;
    }
  }
}

}  // namespace
