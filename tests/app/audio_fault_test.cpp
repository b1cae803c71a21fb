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

TEST(AudioFaults, DeviceRemovedUnderTheTuneAndTheSongThenBack) {
  ASSERT_EQ(RunWithFaults(std::string(TunesChosen) + Magazine, {{120, Fault::Remove},
                                                                {150, Fault::Restore},
                                                                {450, Fault::Remove},
                                                                {480, Fault::Restore}}),
            0);
  EXPECT_EQ(Headless.Frame, 600);
  EXPECT_GT(Loudest(100, 120), 500);  // the intro's tune
  EXPECT_EQ(Loudest(122, 160), 0);    // lost, and still silent after the device came back
  EXPECT_GT(Loudest(175, 200), 500);  // the next tune chosen plays
  EXPECT_GT(Loudest(400, 450), 500);  // the first song
  EXPECT_EQ(Loudest(452, 491), 0);    // lost
  EXPECT_GT(Loudest(500, 600), 500);  // the song chosen after the device came back
  EXPECT_EQ(Buttons.ButtonState[8], 1);
  // One box, for the tune; the song goes silent without one.
  ASSERT_EQ(Headless.Messages.size(), 1u);
  EXPECT_EQ(Headless.Messages[0].caption, "Error");
  EXPECT_EQ(Headless.Messages[0].text, "the audio device was removed");
}

TEST(AudioFaults, NoDeviceForTheTuneButOneForTheSong) {
  ASSERT_EQ(RunWithFaults(Magazine, {{150, Fault::Restore}}, false), 0);
  EXPECT_EQ(Headless.Frame, 600);
  EXPECT_EQ(Loudest(1, 200), 0);
  EXPECT_GT(Loudest(400, 490), 500);
  EXPECT_GT(Loudest(500, 600), 500);
  ASSERT_EQ(Headless.Messages.size(), 1u);
  EXPECT_EQ(Headless.Messages[0].caption, "Error");
  EXPECT_NE(Headless.Messages[0].text.find("could not be opened"), std::string::npos);
}

TEST(AudioFaults, DeviceForTheTuneButNoneForTheFirstSong) {
  // Gone during the closing flashes, when nothing is open: the first song cannot start, quietly.
  ASSERT_EQ(RunWithFaults(Magazine, {{250, Fault::Remove}, {480, Fault::Restore}}), 0);
  EXPECT_EQ(Headless.Frame, 600);
  EXPECT_GT(Loudest(100, 200), 500);
  EXPECT_EQ(Loudest(250, 491), 0);
  EXPECT_GT(Loudest(500, 600), 500);
  EXPECT_TRUE(Headless.Messages.empty());
}

}  // namespace
