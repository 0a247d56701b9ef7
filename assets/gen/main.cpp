// The asset generator: paints every built-in item into the blobs that the game
// links (as BLOBDIR/blobs.cpp and BLOBDIR/later.cpp, and as plain bytes for
// the tools and the page), and writes the data folder's GIFs and MIDI files.
//   kelo-assetgen BLOBDIR DATADIR
//   kelo-assetgen --sheet OUT.png   (contact sheet and composed screens)
//   kelo-assetgen --icons DIR SIZE...   (the program's icon as DIR/SIZE.png)
//   kelo-assetgen --maskable-icon FILE SIZE   (the icon for home screens that cut it to their shape)
//   kelo-assetgen --ico FILE SIZE...    (the icon in those sizes as one Windows icon file)
//   kelo-assetgen --cut-soundfont WHOLE.sf2 OUT.sf2 PIECE.mid...
//                                       (the SoundFont with only what the pieces play)
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

#include "../catalogue.h"
#include "platform/core/types.h"
#include "gifwrite.h"
#include "ico.h"
#include "paint.h"
#include "png.h"
#include "sheet.h"
#include "soundfont.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// The blobs as a C++ source file that any compiler takes: each a string of the
// bytes, printable ones as they are and the rest as octal escapes.
void WriteBlobSource(const std::string& path, const std::vector<std::pair<std::string, std::vector<uint8_t>>>& blobs) {
  std::string out = "// Written by kelo-assetgen: the built-in pictures and sounds.\n#include \"assets/blobs.h\"\n\n";
  for (const auto& [name, bytes] : blobs) {
    out += "alignas(16) const unsigned char " + name + "[" + std::to_string(bytes.size() + 1) + "] =\n\"";
    size_t column = 0;
    for (uint8_t b : bytes) {
      if (column >= 160) out += "\"\n\"", column = 0;
      if (b >= 32 && b < 127 && b != '\\' && b != '"' && b != '?') {
        out += char(b);
        ++column;
      } else {
        const char escape[5] = {'\\', char('0' + (b >> 6)), char('0' + ((b >> 3) & 7)), char('0' + (b & 7)), 0};
        out += escape;
        column += 4;
      }
    }
    out += "\";\nconst size_t " + name + "_size = " + std::to_string(bytes.size()) + ";\n\n";
  }
  WriteFile(path, std::vector<uint8_t>(out.begin(), out.end()));
}

void AppendPicture(std::vector<uint8_t>& blob, const gen::Image& img, const assets::PictureEntry& entry) {
  if (img.w != entry.width || img.h != entry.height)
    throw std::runtime_error(std::string("wrong size for picture item ") + entry.name);
  blob.push_back(uint8_t(img.w)), blob.push_back(uint8_t(img.w >> 8));
  blob.push_back(uint8_t(img.h)), blob.push_back(uint8_t(img.h >> 8));
  for (uint32_t c : img.px) blob.push_back(uint8_t(c >> 16)), blob.push_back(uint8_t(c >> 8)), blob.push_back(uint8_t(c));
}

// The pictures as the program keeps them: each item's width and height, then
// its pixels in the display's 16 bits (low byte first), all packed with zlib
// behind the unpacked length (four bytes, low first).
std::vector<uint8_t> PackPictures(const std::vector<uint8_t>& rgbItems) {
  std::vector<uint8_t> plain;
  for (size_t at = 0; at + 4 <= rgbItems.size();) {
    const size_t n = size_t(rgbItems[at] | rgbItems[at + 1] << 8) * size_t(rgbItems[at + 2] | rgbItems[at + 3] << 8);
    plain.insert(plain.end(), rgbItems.begin() + long(at), rgbItems.begin() + long(at) + 4);
    const uint8_t* px = rgbItems.data() + at + 4;
    for (size_t k = 0; k < n; ++k) {
      const uint16_t v = PixelFromRgb(px[3 * k], px[3 * k + 1], px[3 * k + 2]);
      plain.push_back(uint8_t(v)), plain.push_back(uint8_t(v >> 8));
    }
    at += 4 + 3 * n;
  }
  uLongf packedSize = compressBound(uLong(plain.size()));
  std::vector<uint8_t> packed(4 + packedSize);
  for (int i = 0; i < 4; ++i) packed[size_t(i)] = uint8_t(plain.size() >> (8 * i));
  if (compress2(packed.data() + 4, &packedSize, plain.data(), uLong(plain.size()), Z_BEST_COMPRESSION) != Z_OK)
    throw std::runtime_error("cannot pack the pictures");
  packed.resize(4 + packedSize);
  return packed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--sheet") {
    try {
      std::fputs(gen::WriteSheets(argv[2]).c_str(), stdout);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kelo-assetgen: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  if (argc >= 3 && std::string(argv[1]) == "--icons") {
    try {
      for (int i = 3; i < argc; ++i) {
        const int size = std::stoi(argv[i]);
        gen::WritePngRgba(std::string(argv[2]) + "/" + argv[i] + ".png", size, size, gen::PaintIcon(size));
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kelo-assetgen: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  if (argc == 4 && std::string(argv[1]) == "--maskable-icon") {
    try {
      const int size = std::stoi(argv[3]);
      gen::WritePngRgba(argv[2], size, size, gen::PaintIcon(size, true));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kelo-assetgen: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  if (argc >= 3 && std::string(argv[1]) == "--ico") {
    try {
      std::vector<gen::IconImage> images;
      for (int i = 3; i < argc; ++i) {
        const int size = std::stoi(argv[i]);
        images.push_back({size, gen::PaintIcon(size)});
      }
      WriteFile(argv[2], gen::IconFile(images));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kelo-assetgen: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  if (argc >= 5 && std::string(argv[1]) == "--cut-soundfont") {
    try {
      std::vector<gen::PlayedNote> notes;
      for (int i = 4; i < argc; ++i) {
        const std::vector<uint8_t> bytes = ReadFile(argv[i]);
        for (const gen::PlayedNote& n : gen::NotesPlayed(plat::ParseMidi({reinterpret_cast<const char*>(bytes.data()), bytes.size()})))
          notes.push_back(n);
      }
      WriteFile(argv[3], gen::CutSoundFont(ReadFile(argv[2]), notes));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kelo-assetgen: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: kelo-assetgen BLOBDIR DATADIR\n       kelo-assetgen --sheet OUT.png\n"
                 "       kelo-assetgen --icons DIR SIZE...\n       kelo-assetgen --maskable-icon FILE SIZE\n"
                 "       kelo-assetgen --ico FILE SIZE...\n       kelo-assetgen --cut-soundfont WHOLE.sf2 OUT.sf2 PIECE.mid...\n");
    return 2;
  }
  const std::string blobDir = argv[1], dataDir = argv[2];
  try {
    // Every item, and packed: those the program starts with, and those that may come later.
    // Each list's first ones on their own, so that each list unpacks only its own.
    std::vector<uint8_t> pictures, imageList1, menu1, later;
    auto add = [&](const gen::Image& img, const assets::PictureEntry& entry, std::vector<uint8_t>& first) {
      AppendPicture(pictures, img, entry);
      AppendPicture(entry.later ? later : first, img, entry);
    };
    for (int i = 0; i < assets::kImageList1Count; ++i) add(gen::PaintImageList1(i), assets::kImageList1[i], imageList1);
    for (int i = 0; i < assets::kMenu1Count; ++i) add(gen::PaintMenu1(i), assets::kMenu1[i], menu1);
    WriteFile(blobDir + "/pictures.bin", pictures);
    const std::vector<uint8_t> laterPacked = PackPictures(later);
    WriteFile(blobDir + "/pictures-later.bin", laterPacked);
    WriteBlobSource(blobDir + "/later.cpp", {{"kelo_pictures_later", laterPacked}});

    std::vector<uint8_t> waves;
    for (int i = 0; i < assets::kWaveCount; ++i) {
      std::vector<uint8_t> pcm = gen::MakeWave(i);
      if (int(pcm.size()) != assets::kWaves[i].bytes) throw std::runtime_error("wrong size for a wave item");
      waves.insert(waves.end(), pcm.begin(), pcm.end());
    }
    WriteFile(blobDir + "/waves.bin", waves);
    WriteBlobSource(blobDir + "/blobs.cpp", {{"kelo_imagelist1_pictures", PackPictures(imageList1)},
                                                   {"kelo_menu1_pictures", PackPictures(menu1)},
                                                   {"kelo_waves", waves}});

    gen::WriteGif(dataDir + "/schuss.gif", gen::PaintSchuss());
    gen::WriteGif(dataDir + "/feuer.gif", gen::PaintFeuer());
    gen::WriteGif(dataDir + "/atom.gif", gen::PaintAtom());
    WriteFile(dataDir + "/1.mid", gen::MakeMidi(0));
    WriteFile(dataDir + "/back.mid", gen::MakeMidi(1));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kelo-assetgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
