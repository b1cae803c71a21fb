// The magazine's sound output, on the browser's audio thread: plays the blocks of 16-bit stereo
// frames that the page posts through the node's port, in order, so that the page's thread may be
// busy for as long as the queue lasts (about a quarter second; see display/audio_web.cpp). A
// queue that runs dry plays silence and goes on where it stopped when the next block comes.
//
// Messages from the page: {samples: Int16Array of interleaved left/right} appends a block;
// {drop: true} forgets every block (a stop or a song change); {stop: true} ends the node.
// Reports to the page, every 4096 frames put out (93 ms): {taken, at, samples, level}: the frames
// taken from the queue (played or dropped) by audio time `at`, the frames put out in all, and the
// peak (0..1) of the last 4096. The page carries `taken` forward by the audio clock meanwhile.
'use strict';

const ReportFrames = 4096;

class QuellmarkOutput extends AudioWorkletProcessor {
  constructor() {
    super();
    this.blocks = [];
    this.head = 0;  // frames of blocks[0] already played
    this.taken = 0;
    this.samples = 0;
    this.peak = 0;
    this.unreported = 0;
    this.running = true;
    this.port.onmessage = (event) => {
      const message = event.data;
      if (message.samples) {
        this.blocks.push(message.samples);
      } else if (message.drop) {
        for (const block of this.blocks) this.taken += block.length / 2;
        this.taken -= this.head;
        this.blocks = [];
        this.head = 0;
      } else if (message.stop) {
        this.running = false;
      }
    };
  }

  process(inputs, outputs) {
    const left = outputs[0][0];
    const right = outputs[0][1];
    const count = left.length;
    let at = 0;
    let peak = this.peak;
    while (at < count && this.blocks.length) {
      const block = this.blocks[0];
      const frames = block.length / 2;
      const take = Math.min(frames - this.head, count - at);
      for (let i = 0; i < take; ++i) {
        const l = block[2 * (this.head + i)] / 32768;
        const r = block[2 * (this.head + i) + 1] / 32768;
        left[at + i] = l;
        right[at + i] = r;
        peak = Math.max(peak, Math.abs(l), Math.abs(r));
      }
      at += take;
      this.head += take;
      if (this.head === frames) {
        this.blocks.shift();
        this.head = 0;
      }
    }
    // The rest of a quantum the queue could not fill stays silent (outputs start zeroed).
    this.taken += at;
    this.samples += count;
    this.peak = peak;
    this.unreported += count;
    if (this.unreported >= ReportFrames) {
      this.port.postMessage({taken: this.taken, at: currentTime + count / sampleRate,
                             samples: this.samples, level: this.peak});
      this.unreported = 0;
      this.peak = 0;
    }
    return this.running;
  }
}

registerProcessor('quellmark-output', QuellmarkOutput);
