#pragma once
// The PSID tunes built into the program, from assets/sid/tuneNN.sid (generated list).
struct EmbeddedTune {
  int Number;  // NN of the file name; 0 ends the list
  const unsigned char* Image;
  const unsigned long* Size;
};
extern const EmbeddedTune EmbeddedTunes[];
