// MIDI music: one file open at a time. Positions and the length are in
// milliseconds; the length is read from the file when it is opened.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace plat {
class MusicStream;
}

class EMCIDeviceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TMediaPlayer {
 public:
  TMediaPlayer();
  ~TMediaPlayer();

  std::string FileName;
  bool Visible = false;

  // Opens FileName (closing what was open; a file of a data folder is looked
  // up as plat::DataFile says); a missing, unreadable or invalid file, or no
  // MIDI device, throws EMCIDeviceError.
  void Open();
  // Starts or resumes; at the end starts again from the beginning.
  void Play();
  // Pauses; the position stays.
  void Stop();
  void Close();
  int Position();
  int Length();

  bool IsOpen() const { return music_ != nullptr; }
  bool IsPlaying() const;

 private:
  void Note(const char* op, bool failed);
  void RequireOpen(const char* op);

  std::unique_ptr<plat::MusicStream> music_;
  std::string openFile_;
  int length_ = 0;
};
