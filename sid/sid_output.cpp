// The SID player's start, stop and resume, and its two rotating buffers on the audio queue.
#include <new>
#include <type_traits>

#include "display/display.h"
#include "sid/sid_player.h"

SidMachine Sid;
SidOutputState SidOutput;

static_assert(std::is_standard_layout_v<SidWaveHeader>,
              "AudioDoneCallback turns the queue buffer back into its header");

namespace {

bool IsOpen(SidAudioHandle handle) {
  return handle != 0 && handle == SidOutput.OpenDevice.load();
}

// Shows the error text in a message box captioned "Error", once per run; the player carries on.
// With the Null backend there is deliberately no device, so nothing is shown.
void ReportAudioError(int code) {
  if (code == AudioOk || AudioGetBackend() == AudioBackend::Null) return;
  if (SidOutput.ErrorShown.exchange(true)) return;
  ShowMessageBox(AudioErrorText(code).c_str(), "Error", MessageButtons::Ok);
}

void RenderBuffer(int16_t* samples) {
  for (int f = 0; f < FramesPerBuffer; ++f)
    RenderFrame(Sid, samples + f * FrameSamples, FrameSamples);
}

// A returned buffer: render the next 8 frames into it and queue it again, unless the player has
// been stopped meanwhile.
uint32_t Refill(SidAudioHandle handle, SidWaveHeader* header, int16_t* samples, CompletionProc self,
                uint32_t argument) {
  AudioUnprepareBuffer(handle, header);
  if (header->Record->Detached.load()) return 0;
  RenderBuffer(samples);
  AudioPrepareBuffer(handle, header, samples, BufferBytes);
  AudioWriteBuffer(handle, header, self, argument);
  return 0;
}

}  // namespace

// ---- Wrapper ---------------------------------------------------------------------------------

void AudioOpen(SidAudioHandle* handle) {
  int code = AudioQueueOpen(AudioDoneCallback, nullptr);
  if (code != AudioOk) {
    ReportAudioError(code);  // the handle stays as it was
    return;
  }
  *handle = ++SidOutput.LastHandle;
  SidOutput.OpenDevice.store(*handle);
}

void AudioPause(SidAudioHandle handle) {
  if (IsOpen(handle)) AudioQueuePause();
}

void AudioRestart(SidAudioHandle handle) {
  if (IsOpen(handle)) AudioQueueRestart();
}

void AudioNewBuffer(SidWaveHeader** header) {
  *header = nullptr;
  SidWaveHeader* h = new (std::nothrow) SidWaveHeader{};
  CompletionRecord* r = new (std::nothrow) CompletionRecord{};
  if (h == nullptr || r == nullptr) {
    delete h;
    delete r;
    return;
  }
  h->Record = r;
  *header = h;
}

void AudioFreeBuffer(SidWaveHeader** header) {
  if (*header == nullptr) return;
  delete (*header)->Record;
  delete *header;
  *header = nullptr;
}

void AudioPrepareBuffer(SidAudioHandle handle, SidWaveHeader* header, int16_t* samples,
                        uint32_t bytes) {
  if (header == nullptr) return;
  if (!IsOpen(handle)) {
    ReportAudioError(AudioErrNotOpen);
    return;
  }
  header->Flags = HeaderPrepared;
  header->Buffer.samples = samples;
  header->Buffer.count = bytes / 2;
}

void AudioUnprepareBuffer(SidAudioHandle, SidWaveHeader* header) {
  if (header != nullptr) header->Flags &= ~HeaderPrepared;
}

void AudioWriteBuffer(SidAudioHandle handle, SidWaveHeader* header, CompletionProc procedure,
                      uint32_t argument) {
  if (header == nullptr || handle == 0) return;
  CompletionRecord& r = *header->Record;
  r.Argument.store(argument);
  r.Procedure.store(procedure);
  // A stop that detached the record meanwhile wins: the buffer is not queued again. (The order,
  // procedure stored before Detached is read, pairs with AudioDetachBuffer's order, so either this
  // sees Detached or the stop's clearing of the procedure comes after this store.)
  if (r.Detached.load()) {
    r.Procedure.store(nullptr);
    return;
  }
  if (!(header->Flags & HeaderPrepared)) {
    ReportAudioError(AudioErrInvalid);
    return;
  }
  int code = IsOpen(handle) ? AudioQueueWrite(&header->Buffer) : AudioErrNotOpen;
  // A stop that began after the check above refuses the write while it resets: not an error.
  if (code != AudioOk && r.Detached.load()) return;
  ReportAudioError(code);
}

void AudioDetachBuffer(SidWaveHeader* header) {
  if (header == nullptr) return;
  CompletionRecord& r = *header->Record;
  r.Detached.store(true);
  r.Procedure.store(nullptr);
  r.Argument.store(0);
}

void AudioClose(SidAudioHandle handle) {
  if (!IsOpen(handle)) return;
  // The reset returns every queued buffer and waits for running completions; a refill that was
  // already past its detach check finds its write refused meanwhile, so no buffer survives it.
  AudioQueueReset();
  AudioQueueClose();
  SidOutput.OpenDevice.store(0);
}

void AudioDoneCallback(AudioQueueBuffer* buffer, void*) {
  SidWaveHeader* header = reinterpret_cast<SidWaveHeader*>(buffer);
  CompletionProc procedure = header->Record->Procedure.load();
  if (procedure != nullptr) {
    procedure(SidOutput.Device.load(), header, header->Record->Argument.load());
  }
}

uint32_t RefillFirstBuffer(SidAudioHandle handle, SidWaveHeader* header, uint32_t argument) {
  return Refill(handle, header, SidOutput.FirstBuffer, RefillFirstBuffer, argument);
}

uint32_t RefillSecondBuffer(SidAudioHandle handle, SidWaveHeader* header, uint32_t argument) {
  return Refill(handle, header, SidOutput.SecondBuffer, RefillSecondBuffer, argument);
}

// ---- Player ----------------------------------------------------------------------------------

bool SidStartTune(const uint8_t* image, uint32_t size, uint8_t song) {
  // Never re-initialise the machine under a refill of the previous start.
  SidStopTune();
  if (!SidLoadTune(Sid, image, size, song)) return false;

  SidAudioHandle device = SidOutput.Device.load();
  AudioOpen(&device);
  SidOutput.Device.store(device);
  AudioPause(device);
  AudioNewBuffer(&SidOutput.FirstHeader);
  AudioNewBuffer(&SidOutput.SecondHeader);
  RenderBuffer(SidOutput.FirstBuffer);
  RenderBuffer(SidOutput.SecondBuffer);
  AudioPrepareBuffer(device, SidOutput.FirstHeader, SidOutput.FirstBuffer, BufferBytes);
  AudioPrepareBuffer(device, SidOutput.SecondHeader, SidOutput.SecondBuffer, BufferBytes);
  AudioWriteBuffer(device, SidOutput.FirstHeader, RefillFirstBuffer, 0);
  AudioWriteBuffer(device, SidOutput.SecondHeader, RefillSecondBuffer, 0);
  return true;
}

void SidStopTune() {
  SidAudioHandle device = SidOutput.Device.load();
  if (device != 0) {
    AudioDetachBuffer(SidOutput.FirstHeader);
    AudioDetachBuffer(SidOutput.SecondHeader);
    AudioClose(device);
  }
  // The device is closed (or was never opened, so nothing was queued) and no completion runs
  // any more: the headers can go.
  AudioFreeBuffer(&SidOutput.FirstHeader);
  AudioFreeBuffer(&SidOutput.SecondHeader);
}

void SidResumeTune() {
  SidAudioHandle device = SidOutput.Device.load();
  if (device != 0) AudioRestart(device);
}

void SidResetPlayer() {
  SidStopTune();
  SidOutput.Device.store(0);
  SidOutput.ErrorShown.store(false);
}
