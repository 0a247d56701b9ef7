// Sound effects: the built-in wave items with stereo pan.
#pragma once

#include <memory>
#include <vector>

class TDXSound {
 public:
  bool Initialized = true;
};

class TWaveCollectionItem {
 public:
  explicit TWaveCollectionItem(int index) : index_(index) {}
  // -10000 (left only) .. 10000 (right only); the far side is attenuated by |Pan| / 100 dB.
  int Pan = 0;
  bool Looped = false;
  int MaxPlayingCount = 0;  // 0: any number of copies at once

  // Starts the effect once, from its start, over whatever else is sounding.
  void Play(bool wait);

 private:
  int index_;
};

class TDXWaveList {
 public:
  explicit TDXWaveList(TDXSound& sound);
  std::vector<std::unique_ptr<TWaveCollectionItem>> Items;
};
