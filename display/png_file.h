#pragma once
// PNG files of pixel words: the headless display's screenshots, the golden pictures of the
// tests, and the asset generators' previews and icons.

#include <cstdint>
#include <string>
#include <vector>

// How the words are stored: 0x00RRGGBB as 8-bit RGB, or 0xAARRGGBB as 8-bit RGBA.
enum class PngLayout { Rgb, Rgba };

// Writes width x height words as a PNG at zlib level `compression` (-1: libpng's default); the
// file appears under its name only when complete. False on any failure, with the reason in
// `reason` when one is given.
bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height,
              std::string* reason = nullptr, PngLayout layout = PngLayout::Rgb,
              int compression = -1);
// Reads a PNG written by WritePng (or any 8-bit RGB/RGBA PNG) into words 0x00RRGGBB.
bool ReadPng(const std::string& path, std::vector<uint32_t>* pixels, int* width, int* height);
