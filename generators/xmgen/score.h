#pragma once
// Reads a module's score and builds the module: instruments synthesised from their parameters,
// patterns assembled from named tracks, the order list, and a size fitted to the target.
//
// The score notation (files under generators/xmgen/songs/). Lines starting with a word are
// directives; indented lines continue the directive above; "//" starts a comment.
//
//   title "Name"          module name, at most 20 characters
//   size N                the module file comes out at exactly N bytes (see fit below)
//   restart N             order position that follows the last one
//   instrument N key=value ...
//                         instruments numbered 1, 2, 3, ... in order, one sample each:
//     name="..." sample="..."   instrument and sample names, at most 22 characters
//     vol=0..64 pan=0..255      default volume and panning of the sample
//     kind=kick|snare|hat|tone  synthesis model; seed=N for the noise generator
//     octave=0..2               sample rate 8363 x 2^octave; base=C-4 the note that plays the
//                               sample at that rate (tones: the pitch the tone is built at)
//     len, decay, ndecay, sweep (ms), f1, f2 (Hz), click, drive, colour   drum shaping
//     wave=sine|tri|saw|square|pulse width pwm voices detune (cents) chord=0,4,7
//     attack body loop (ms; loop=0 makes a one-shot that decays over body) sustain
//     bright0 bright1 (harmonic roll-off at the start and in the loop) sub (sub-octave)
//     gain (peak level 0..1)
//     fit=1                     this tone's unlooped part grows or shrinks to meet `size`
//   track NAME cell ...   a channel's rows; every cell word takes one row unless it says more
//   pattern NAME 1: TRACK ... 2: TRACK ... 3: ... 4: ...
//                         channel k plays the listed tracks one after the other; all used
//                         channels must come out at the same row count, unused ones stay empty
//   order NAME ...        the order list (several order lines append)
//
// A cell word starts with a note "C-4", "F#2" (octaves 0..7), "^" (key-off) or "." (no note),
// followed by any of:
//   iN     instrument N; it stays for the track's later notes
//   vN     volume column: set volume N (0..64)
//   Vhh    volume column: raw byte in hex (slides, panning, ...)
//   #Epp   effect E (0-9, A-Z) with a two-digit hex parameter: #037 arpeggio, #304 tone
//          portamento, #443 vibrato, #A04 volume slide, #B02 jump, #D00 break, #F05 speed
//   *N     the cell, then N - 1 empty rows
//   ~N     the cell, then N - 1 rows that repeat its effect (arpeggio, vibrato, slides)
// A lone "|" is a bar line and takes no row.
// Track references in patterns: NAME, NAME+5 / NAME-3 (transposed in semitones), NAME@7
// (notes played by instrument 7), both as NAME-3@7; _N is N empty rows.
#include <string>

#include "generators/xmgen/xm_writer.h"

// Parses `text` and fills `module`. On failure returns false with "line N: what" in `error`.
bool BuildModule(const std::string& text, XmModule& module, std::string& error);

// Reads the score at `song_path` and writes the module file to `xm_path`.
bool GenerateModuleFile(const std::string& song_path, const std::string& xm_path,
                        std::string& error);
