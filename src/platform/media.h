// MIDI music: one file open at a time.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class EMCIDeviceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TMediaPlayer {
 public:
  std::string FileName;
  bool Visible = false;

  void Open();
  void Play();
  void Stop();
  void Close();
  int Position();
  int Length();

  bool IsOpen() const { return open_; }
  bool IsPlaying() const { return playing_; }

 private:
  void Note(const char* op, bool failed);

  bool open_ = false;
  bool playing_ = false;
  std::string openFile_;
};
